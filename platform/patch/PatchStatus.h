#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace quorvel {

// What making or applying a patch frame ended with.
enum class TPatchStatus {
    Ok,
    ReadFailed,     // the reference or the new file could not be read or mapped
    WriteFailed,    // the caller's output refused the bytes
    BadFrame,       // not one whole, intact frame made against this reference
    WindowTooLarge, // the frame needs more memory than an applier allows
    TooLarge,       // the files are too large for a patch within that bound
    Library,        // the compression library failed (out of memory)
};

namespace Patch {

// Receives output bytes in order; false stops the work (WriteFailed).
using TWrite = std::function<bool(const void* data, std::size_t size)>;

// Largest window (log2 bytes) a frame may ask for. The applier holds at most
// one window of output and maps the reference, so a patch is made only when
// reference and result together fit in it: both stay within 32 MiB each.
constexpr int kMaxWindowLog = 25;

} // namespace Patch

} // namespace quorvel
