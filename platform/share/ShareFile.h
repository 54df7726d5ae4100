#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvel {

// A file on a network share open for reading; read through a buffer of
// large chunks.
class ShareFile {
public:
    ~ShareFile();
    ShareFile(const ShareFile&) = delete;
    ShareFile& operator=(const ShareFile&) = delete;

    // Up to size bytes; true with got == 0 at the end, false on failure.
    bool Read(char* buffer, std::size_t size, std::size_t& got);
    std::uint64_t Size() const;
    // Last-write time: seconds since the Unix epoch (UTC) and milliseconds.
    std::int64_t LastWriteSeconds() const;
    int LastWriteMilliseconds() const;

    struct Impl;

private:
    friend class ShareConnection;
    explicit ShareFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
