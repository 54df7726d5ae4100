#include "LocalSourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace quorvel {

namespace {
constexpr std::size_t kChunk = 256 * 1024;
} // namespace

std::unique_ptr<LocalSourceFile> LocalSourceFile::Open(const std::string& path) {
    // Non-blocking open so that a FIFO named as source cannot hang the job;
    // anything but a regular file is refused.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::unique_ptr<LocalSourceFile>(new LocalSourceFile(fd));
}

LocalSourceFile::LocalSourceFile(int fd) : m_fd(fd), m_buffer(kChunk) {}

LocalSourceFile::~LocalSourceFile() {
    ::close(m_fd);
}

bool LocalSourceFile::FillBuffer(std::size_t& read) {
    ssize_t n;
    do
        n = ::read(m_fd, m_buffer.data() + m_fill, m_buffer.size() - m_fill);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    read = static_cast<std::size_t>(n);
    m_fill += read;
    return true;
}

bool LocalSourceFile::Read(char* buffer, std::size_t size, std::size_t& got) {
    got = 0;
    if (m_head == m_fill) {
        m_head = m_fill = 0;
        std::size_t read = 0;
        if (!FillBuffer(read))
            return false;
    }
    got = std::min(size, m_fill - m_head);
    std::memcpy(buffer, m_buffer.data() + m_head, got);
    m_head += got;
    return true;
}

bool LocalSourceFile::ReadBlock(std::size_t size, const char*& data, std::size_t& got) {
    size = std::min(size, m_buffer.size());
    got = 0;
    if (m_fill - m_head < size) {
        // Too little left for a whole block: the rest moves to the front and
        // the buffer is filled up, until the block is whole or the file ends.
        std::memmove(m_buffer.data(), m_buffer.data() + m_head, m_fill - m_head);
        m_fill -= m_head;
        m_head = 0;
        std::size_t read = 1;
        while (m_fill < size && read > 0)
            if (!FillBuffer(read))
                return false;
    }
    data = m_buffer.data() + m_head;
    got = std::min(size, m_fill - m_head);
    m_head += got;
    return true;
}

bool LocalSourceFile::Size(std::uint64_t& size) {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return false;
    size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

bool LocalSourceFile::LastWriteTime(std::int64_t& seconds, int& milliseconds) {
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        return false;
    seconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    milliseconds = static_cast<int>(st.st_mtim.tv_nsec / 1000000);
    return true;
}

} // namespace quorvel
