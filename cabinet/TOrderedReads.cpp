#include "TOrderedReads.h"

#include "ReadAt.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace quorvel {

TOrderedReads::TOrderedReads(int fd, TSink sink, std::size_t kept)
    : m_fd(fd), m_sink(std::move(sink)), m_bound(kept) {}

std::int64_t TOrderedReads::ReadOn(char* buffer, std::size_t count) {
    const std::int64_t got = ReadAt(m_fd, buffer, count, m_next);
    if (got < 0) {
        m_failed = true;
        return -1;
    }
    const std::size_t done = static_cast<std::size_t>(got);
    if (!m_broken) {
        m_sink(buffer, done);
        if (m_kept.size() == static_cast<std::size_t>(m_next) && m_kept.size() < m_bound)
            m_kept.append(buffer, std::min(done, m_bound - m_kept.size()));
    }
    m_next += static_cast<std::int64_t>(done);
    return static_cast<std::int64_t>(done);
}

bool TOrderedReads::ReadAgain(std::int64_t offset, char* buffer, std::size_t count) {
    if (offset < 0 || static_cast<std::size_t>(offset) + count > m_kept.size())
        return false;
    std::memcpy(buffer, m_kept.data() + offset, count);
    return true;
}

bool TOrderedReads::Skip(std::int64_t offset) {
    char gap[65536];
    while (m_next < offset) {
        const std::int64_t got =
            ReadOn(gap, static_cast<std::size_t>(std::min<std::int64_t>(offset - m_next, sizeof gap)));
        if (got <= 0)
            return got == 0; // the file ends before offset: there is nothing more to read
    }
    return true;
}

std::int64_t TOrderedReads::Read(std::int64_t offset, void* buffer, std::uint32_t count) {
    char* out = static_cast<char*>(buffer);
    if (offset < 0)
        return -1;
    if (m_broken) {
        // Nothing is handed on any more: a plain read.
        return ReadAt(m_fd, out, count, offset);
    }
    std::uint32_t done = 0;
    if (offset < m_next) {
        // Read before: served from the copy, so it is what was handed on.
        const auto again = static_cast<std::uint32_t>(std::min<std::int64_t>(count, m_next - offset));
        if (!ReadAgain(offset, out, again)) {
            m_broken = true;
            return Read(offset, buffer, count);
        }
        done = again;
    } else if (!Skip(offset)) {
        return -1;
    }
    if (done == count || m_next < offset)
        return done; // all from the copy, or past the end of the file
    const std::int64_t got = ReadOn(out + done, count - done);
    return got < 0 ? -1 : done + got;
}

bool TOrderedReads::Finish() {
    char rest[65536];
    for (;;) {
        if (m_broken || m_failed)
            return false;
        const std::int64_t got = ReadOn(rest, sizeof rest);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
    }
}

} // namespace quorvel
