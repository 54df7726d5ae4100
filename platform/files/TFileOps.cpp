#include "TFileOps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

ssize_t TFileOps::Write(int fd, const void* buffer, std::size_t count) {
    return write(fd, buffer, count);
}

ssize_t TFileOps::Copy(int from, off_t offset, int to, std::size_t count) {
    loff_t in = offset;
    const ssize_t copied = copy_file_range(from, &in, to, nullptr, count, 0);
    if (copied >= 0 || (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP))
        return copied;
    char buffer[65536];
    const ssize_t got = pread(from, buffer, std::min(count, sizeof buffer), offset);
    if (got <= 0)
        return got;
    for (ssize_t done = 0; done < got;) {
        const ssize_t put = Write(to, buffer + done, static_cast<std::size_t>(got - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return done > 0 ? done : -1;
        done += put;
    }
    return got;
}

int TFileOps::Rename(int fromDir, const char* from, int toDir, const char* to) {
    if (renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system without the no-replace flag: check, then rename. Only
    // this program writes our names, so nothing appears in between.
    struct stat st {};
    if (fstatat(toDir, to, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return -1;
    }
    return renameat(fromDir, from, toDir, to);
}

int TFileOps::RenameOver(int fromDir, const char* from, int toDir, const char* to) {
    return renameat(fromDir, from, toDir, to);
}

int TFileOps::MakeDir(int dir, const char* name, mode_t mode) {
    return mkdirat(dir, name, mode);
}

int TFileOps::Unlink(int dir, const char* name, int flags) {
    return unlinkat(dir, name, flags);
}

int TFileOps::Sync(int fd) {
    return fsync(fd);
}

int TFileOps::SyncFileSystem(int fd) {
    return syncfs(fd);
}

void TFileOps::Closing(int) {}

TFileOps& TFileOps::System() {
    static TFileOps system;
    return system;
}

} // namespace quorvel
