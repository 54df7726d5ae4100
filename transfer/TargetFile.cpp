#include "TargetFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

TargetFile::TargetFile(const std::string& path, std::size_t capacity) : m_buffer(capacity) {
    Open(path);
}

TargetFile::TargetFile(std::size_t capacity) : m_buffer(capacity) {}

bool TargetFile::Open(const std::string& path) {
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    return m_fd >= 0;
}

TargetFile::~TargetFile() {
    Close();
}

bool TargetFile::Commit(std::size_t length, std::size_t blockSize) {
    m_fill += length;
    return m_fill + blockSize <= m_buffer.size() || Flush();
}

bool TargetFile::Append(const char* bytes, std::size_t length) {
    while (length > 0) {
        if (m_fill == m_buffer.size() && !Flush())
            return false;
        const std::size_t part = std::min(length, m_buffer.size() - m_fill);
        std::memcpy(m_buffer.data() + m_fill, bytes, part);
        m_fill += part;
        bytes += part;
        length -= part;
    }
    return m_ok;
}

TargetFile::CopyResult TargetFile::CopyFrom(int fd, std::size_t length, std::size_t& got) {
    got = 0;
    if (m_fill > 0 && !Flush())
        return CopyResult::WriteFailed;
    if (!m_ok)
        return CopyResult::WriteFailed;
    ssize_t n;
    do
        n = ::copy_file_range(fd, nullptr, m_fd, nullptr, length, 0);
    while (n < 0 && errno == EINTR);
    if (n >= 0) {
        got = static_cast<std::size_t>(n);
        return CopyResult::Copied;
    }
    switch (errno) {
    case EXDEV:
    case ENOSYS:
    case EINVAL:
    case EOPNOTSUPP:
    case EBADF:
        return CopyResult::Unsupported;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EPERM:
        m_ok = false;
        return CopyResult::WriteFailed;
    default:
        return CopyResult::ReadFailed;
    }
}

bool TargetFile::Close() {
    if (m_fd < 0)
        return m_ok;
    Flush();
    if (::close(m_fd) != 0)
        m_ok = false;
    m_fd = -1;
    return m_ok;
}

bool TargetFile::Flush() {
    std::size_t done = 0;
    while (m_ok && done < m_fill) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_fill - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            m_ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    m_fill = 0;
    return m_ok;
}
