#pragma once

#include "PatchStatus.h"

#include <cstdint>

namespace quorvel {

// Makes a patch: the new file compressed as one Zstandard frame that uses the
// reference file as its prefix (the reference is mapped, never read into the
// heap), with long-distance matching and a window that reaches back over the
// whole reference. The frame records the result's size and a checksum, and
// is what `zstd -d --patch-from=REFERENCE` also applies.
namespace TPatchEncoder {

// Whether a patch of a result of newSize bytes against a reference of
// referenceSize bytes stays within the applier's memory bound.
bool Fits(std::uint64_t referenceSize, std::uint64_t newSize);

// Writes the frame of the file open at newFd (read from its current position
// to its end) against the file open at referenceFd. level: 1 to 19.
TPatchStatus Make(int referenceFd, int newFd, const Patch::TWrite& write, int level = 19);

} // namespace TPatchEncoder

} // namespace quorvel
