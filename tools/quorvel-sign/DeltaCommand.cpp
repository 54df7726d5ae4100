#include "DeltaCommand.h"

#include "DeltaCheck.h"
#include "DeltaMaker.h"

#include <charconv>
#include <filesystem>
#include <iostream>
#include <map>

namespace quorvel {

namespace {

const char* const kUsage = R"usage(Usage:
  quorvel-sign delta OLD.cab NEW.cab --from-release N --release M --out DIR [--level L]
      write DIR/<NEW.cab's name>.from-N, the delta package that turns the
      installed files of release N (OLD.cab) into those of release M
      (NEW.cab): per changed file a patch against the installed file or the
      whole new file, and a manifest with the digest of each file before and
      after. Prints the delta's size and SHA-512 digest for its statement,
      which is made as for the full package, with the base release N.
      --level L: compression level of the patches, 1 to 19 (default 19).
  quorvel-sign check-delta OLD.cab DELTA
      apply DELTA to OLD.cab's files in a temporary folder, as an updater
      does, and confirm every result; exit status 0 when it holds.
)usage";

int Usage() {
    std::cerr << kUsage;
    return 2;
}

bool Number(const std::string& text, unsigned long long& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

int MakeDelta(const std::vector<std::string>& positional, const std::map<std::string, std::string>& options) {
    unsigned long long from = 0, release = 0, level = 19;
    if (positional.size() != 2 || !options.contains("--from-release") || !options.contains("--release") ||
        !options.contains("--out") || !Number(options.at("--from-release"), from) ||
        !Number(options.at("--release"), release) || from == 0 || release <= from ||
        (options.contains("--level") && (!Number(options.at("--level"), level) || level < 1 || level > 19)))
        return Usage();
    const std::filesystem::path newCab(positional[1]);
    const std::string name = newCab.filename().string() + ".from-" + std::to_string(from);
    const std::string out = (std::filesystem::path(options.at("--out")) / name).string();
    DeltaMaker::TOptions settings;
    settings.level = static_cast<int>(level);
    const DeltaMaker::TResult made = DeltaMaker::Make(positional[0], positional[1], out, settings);
    if (!made.ok) {
        std::cerr << "quorvel-sign: " << made.error << "\n";
        return 1;
    }
    std::cout << "delta: " << out << "\nfrom-release: " << from << "\nrelease: " << release
              << "\nsize: " << made.size << "\nsha512: " << TSha512::Hex(made.digest)
              << "\nfiles: " << made.patches << " patched, " << made.wholes << " whole, " << made.unchanged
              << " unchanged\n";
    return 0;
}

int CheckDelta(const std::vector<std::string>& positional,
               const std::map<std::string, std::string>& options) {
    if (positional.size() != 2 || !options.empty())
        return Usage();
    std::string report;
    const bool ok = DeltaCheck::Run(positional[0], positional[1], report);
    (ok ? std::cout : std::cerr) << (ok ? "" : "quorvel-sign: ") << report << "\n";
    return ok ? 0 : 1;
}

} // namespace

int RunDeltaCommand(const std::vector<std::string>& words) {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (words[i] == "--help")
            return Usage();
        if (!words[i].starts_with("--")) {
            positional.push_back(words[i]);
            continue;
        }
        if (i + 1 == words.size() || !options.emplace(words[i], words[i + 1]).second)
            return Usage();
        ++i;
    }
    return words[0] == "delta" ? MakeDelta(positional, options) : CheckDelta(positional, options);
}

} // namespace quorvel
