#pragma once

#include "TSha512.h"

#include <cstdint>
#include <string>

namespace quorvel {

// The vendor's side of a delta package: what changed from one release's
// package to the next, as patches or whole files in a cabinet with its
// manifest first.
namespace DeltaMaker {

struct TOptions {
    int level = 19;       // compression level of the patches, 1 to 19
    std::string workRoot; // where the temporary folder goes; empty: beside the output
};

struct TResult {
    bool ok = false;
    std::string error;
    std::uint64_t size = 0; // of the delta package
    TSha512::Digest digest{};
    std::size_t patches = 0, wholes = 0, unchanged = 0;
};

// Unpacks both cabinets into a temporary folder, compares them file by file
// by digest and writes the delta package to outDelta (through a temporary
// name, so a failure leaves no package there). A file is carried whole when
// it is new, too large for a patch within the applier's memory bound, or
// when its patch would not be smaller. Files the new package lacks are left
// out: a delta removes nothing.
TResult Make(const std::string& oldCab, const std::string& newCab, const std::string& outDelta,
             const TOptions& options = {});

} // namespace DeltaMaker

} // namespace quorvel
