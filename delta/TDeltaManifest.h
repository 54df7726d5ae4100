#pragma once

#include "TSha512.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// One file a delta builds: either a patch against the installed file at the
// same path or the whole new file, and what the result must be.
struct TDeltaEntry {
    enum class TKind { Patch, Whole };

    std::string path; // below the product folder, "/" between names
    TKind kind = TKind::Whole;
    TSha512::Digest base{}; // the installed file a patch applies to
    TSha512::Digest result{};
    std::uint64_t size = 0;  // of the result
    std::string entry;       // the cabinet entry holding the patch or the file
    bool executable = false; // the new release marks the file as a program to run

    bool operator==(const TDeltaEntry&) const = default;
};

// The list of what a delta package builds, stored in the package under a
// reserved name. A line-based text, one text per list:
//   quorvel-delta 1
//   patch BASE-SHA512 RESULT-SHA512 SIZE ENTRY PATH
//   whole RESULT-SHA512 SIZE ENTRY PATH
//   end
// A file the new release marks as a program to run is listed as "patch+x"
// or "whole+x"; a list holding such a line starts "quorvel-delta 2" instead
// (and only such a list does), so a reader that knows only the first form
// refuses it and takes the full package, which gives the execute bits.
// Digests in lower-case hex, sizes in decimal without leading zeros, entry
// names of letters, digits, ".", "_" and "-"; in a path, bytes below 0x20,
// 0x7F and "%" are written as %XX (upper-case hex) and nothing else is.
// Files the new release lacks are not listed: a delta removes nothing.
class TDeltaManifest {
public:
    // The manifest's entry name in the package; no file entry may take it.
    static constexpr const char* kName = ".delta-manifest";
    // Bounds a reader holds to whatever the package says.
    static constexpr std::size_t kMaxText = 8u << 20;
    static constexpr std::size_t kMaxLine = 16384;
    static constexpr std::size_t kMaxEntries = 65000; // a cabinet holds at most 65535 files
    static constexpr std::size_t kMaxEntryName = 64;
    static constexpr std::uint64_t kMaxSize = std::uint64_t{1} << 40;

    std::vector<TDeltaEntry> entries;

    std::string Format() const;
    // True only for a whole, well-formed text: every line known, values in
    // bounds, paths valid and below the folder, no path or entry twice, no
    // path inside another listed as a file.
    static bool Parse(std::string_view text, TDeltaManifest& manifest);

    static bool ValidEntryName(std::string_view name);
};

} // namespace quorvel
