#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace quorvel {

// Reads a file through a descriptor for an extraction and hands every byte of
// it on once, in file order, whatever order the extraction reads it in: bytes
// it skips are read here and handed on before the ones it asks for, and bytes
// it reads again are served from a copy of the file's first bytes, so that
// what it decompresses is exactly what was handed on. A digest of the bytes
// handed on is then the digest of what was unpacked, with no second reading
// of the file. A second reading past the copy cannot be served so: from then
// on nothing more is handed on and the chain is broken (Finish says so).
class TOrderedReads {
public:
    using TSink = std::function<void(const char* data, std::size_t size)>;
    // The bytes copied for reading again: a cabinet's header and file table
    // are read more than once, its data once.
    static constexpr std::size_t kKept = 1 << 20;

    TOrderedReads(int fd, TSink sink, std::size_t kept = kKept);

    // Reads up to count bytes at offset, as pread does over short reads:
    // fewer at the end of the file, -1 on an error.
    std::int64_t Read(std::int64_t offset, void* buffer, std::uint32_t count);
    // Hands on the bytes after the last one read, to the end of the file.
    // True when every byte of the file was handed on once, in order.
    bool Finish();

private:
    // Reads from the file at the next byte to hand on, hands the bytes on and keeps them while under the
    // bound.
    std::int64_t ReadOn(char* buffer, std::size_t count);
    // Serves a second reading from the copy; false when it is not there.
    bool ReadAgain(std::int64_t offset, char* buffer, std::size_t count);
    // Hands on the bytes up to offset that no one asked for.
    bool Skip(std::int64_t offset);

    int m_fd;
    TSink m_sink;
    std::size_t m_bound;
    std::string m_kept;
    std::int64_t m_next = 0; // the first byte not handed on yet
    bool m_broken = false;
    bool m_failed = false;
};

} // namespace quorvel
