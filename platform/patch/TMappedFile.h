#pragma once

#include <cstddef>
#include <cstdint>

namespace quorvel {

// The whole of an open regular file mapped read-only, so a patch can refer to
// any of its bytes without reading it into the heap: its pages come from the
// page cache as they are touched and can be dropped again under pressure. An
// empty file maps to no bytes.
class TMappedFile {
public:
    TMappedFile() = default;
    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    // Maps the file open at fd (it may be closed afterwards); false with errno
    // set when it is no regular file or cannot be mapped.
    bool Map(int fd);

    const void* Data() const { return m_data; }
    std::uint64_t Size() const { return m_size; }

private:
    void* m_data = nullptr;
    std::uint64_t m_size = 0;
};

} // namespace quorvel
