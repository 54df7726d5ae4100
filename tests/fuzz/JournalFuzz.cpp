// Feeds arbitrary bytes as an install journal to its reader. An accepted
// journal must name only paths that stay below the folder and must read back
// the same after being written again.
#include "InstallJournal.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace quorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TInstallPlan plan;
    if (!TInstallJournal::Parse(std::string_view(reinterpret_cast<const char*>(data), size), plan))
        return 0;
    for (const std::string& folder : plan.newFolders)
        if (!TInstallJournal::ValidPath(folder))
            std::abort();
    for (const TInstallPlan::TFile& file : plan.files)
        if (!TInstallJournal::ValidPath(file.path))
            std::abort();
    TInstallPlan again;
    if (!TInstallJournal::Parse(TInstallJournal::Format(plan), again) || !(again == plan))
        std::abort();
    return 0;
}
