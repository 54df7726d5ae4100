#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// A file read from start to end by a transfer routine: a local file or one
// on a network share.
class SourceFile {
public:
    virtual ~SourceFile() = default;

    // Up to size bytes; true with got == 0 at the end, false on a failed read.
    virtual bool Read(char* buffer, std::size_t size, std::size_t& got) = 0;
    virtual bool Size(std::uint64_t& size) = 0;
    // Last-write time: seconds since the Unix epoch (UTC) and milliseconds.
    virtual bool LastWriteTime(std::int64_t& seconds, int& milliseconds) = 0;
    // A local file's descriptor, positioned where Read would go on, so that a
    // copy can move the bytes inside the kernel; -1 when there is none (or
    // Read has buffered ahead of it).
    virtual int Descriptor() const { return -1; }
};

} // namespace quorvel
