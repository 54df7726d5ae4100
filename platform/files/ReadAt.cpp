#include "ReadAt.h"

#include <cerrno>
#include <unistd.h>

namespace quorvel {

std::int64_t ReadAt(int fd, void* buffer, std::size_t count, std::int64_t offset) {
    char* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(done);
}

} // namespace quorvel
