#include "ShareFile.h"

#include "ShareFileImpl.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

ShareFile::ShareFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

ShareFile::~ShareFile() = default;

bool ShareFile::Read(char* buffer, std::size_t size, std::size_t& got) {
    Impl& f = *m_impl;
    got = 0;
    if (f.head == f.fill) {
        f.head = f.fill = 0;
        const ssize_t n =
            f.lib.getFunctionRead(f.context)(f.context, f.file, f.buffer.data(), f.buffer.size());
        if (n < 0)
            return false;
        f.fill = static_cast<std::size_t>(n);
    }
    got = std::min(size, f.fill - f.head);
    std::memcpy(buffer, f.buffer.data() + f.head, got);
    f.head += got;
    return true;
}

std::uint64_t ShareFile::Size() const {
    return static_cast<std::uint64_t>(m_impl->info.st_size);
}

std::int64_t ShareFile::LastWriteSeconds() const {
    return static_cast<std::int64_t>(m_impl->info.st_mtim.tv_sec);
}

int ShareFile::LastWriteMilliseconds() const {
    return static_cast<int>(m_impl->info.st_mtim.tv_nsec / 1000000);
}

} // namespace quorvel
