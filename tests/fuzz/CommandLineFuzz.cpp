// Feeds webcopy's option parser arbitrary argument lists: the input is split
// at zero bytes into arguments. The parser must never crash, and a result is
// either an error, a request for help or the version, or a usable list of
// jobs.
#include "CommandLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size && args.size() < 64; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back() += static_cast<char>(data[i]);
    }
    const TCommandLine line = TCommandLine::Parse(args);
    if (line.error.empty() && !line.help && !line.version) {
        if (line.jobs.empty())
            std::abort();
        for (const TCommandLineJob& job : line.jobs)
            if (job.url.empty() || job.port <= 0 || job.port > 65535)
                std::abort();
    }
    return 0;
}
