#include "TFileOps.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ssize_t TFileOps::Write(int fd, const void* buffer, std::size_t count) {
    return write(fd, buffer, count);
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
