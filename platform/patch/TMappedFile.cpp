#include "TMappedFile.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>

namespace quorvel {

TMappedFile::~TMappedFile() {
    if (m_data)
        munmap(m_data, m_size);
}

bool TMappedFile::Map(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return false;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return false;
    }
    if (st.st_size == 0)
        return true;
    void* data = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (data == MAP_FAILED)
        return false;
    // The patch walks the reference mostly forwards.
    madvise(data, static_cast<std::size_t>(st.st_size), MADV_SEQUENTIAL);
    m_data = data;
    m_size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

} // namespace quorvel
