#include "FileMetadata.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace quorvel {

namespace FileMetadata {

namespace {

// A failure that only says the running user may not set this.
bool NotPermitted(int error) {
    return error == EPERM || error == EACCES || error == ENOTSUP;
}

// The names of the extended attributes of `fd`, NUL separated.
bool ListNames(int fd, std::vector<char>& names) {
    for (;;) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0)
            return errno == ENOTSUP; // a file system without attributes has none
        names.resize(static_cast<std::size_t>(size));
        const ssize_t got = size == 0 ? 0 : flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) // grown in between: ask again
            return false;
    }
}

bool CopyAttribute(int from, int to, const char* name) {
    std::vector<char> value;
    for (;;) {
        const ssize_t size = fgetxattr(from, name, nullptr, 0);
        if (size < 0)
            return errno == ENODATA; // gone in between
        value.resize(static_cast<std::size_t>(size));
        const ssize_t got = size == 0 ? 0 : fgetxattr(from, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE)
            return false;
    }
    return fsetxattr(to, name, value.data(), value.size(), 0) == 0 || NotPermitted(errno);
}

} // namespace

bool CopyOwnerAndMode(const struct stat& st, int to) {
    // Another owner needs the right to give files away; the group alone may
    // still be ours to give.
    if (fchown(to, st.st_uid, st.st_gid) != 0 &&
        (!NotPermitted(errno) ||
         (fchown(to, static_cast<uid_t>(-1), st.st_gid) != 0 && !NotPermitted(errno))))
        return false;
    return fchmod(to, st.st_mode & 07777) == 0;
}

bool Copy(int from, int to) {
    struct stat st {};
    if (fstat(from, &st) != 0 || !CopyOwnerAndMode(st, to))
        return false;
    std::vector<char> names;
    if (!ListNames(from, names))
        return false;
    for (std::size_t at = 0; at < names.size();) {
        const char* name = names.data() + at;
        const std::size_t length = std::char_traits<char>::length(name);
        if (length > 0 && !CopyAttribute(from, to, name))
            return false;
        at += length + 1;
    }
    // Setting an access list may have dropped a set-group-id bit the caller
    // could not keep otherwise; the mode is the source's in the end.
    struct stat now {};
    return fstat(to, &now) == 0 &&
           ((now.st_mode & 07777) == (st.st_mode & 07777) || fchmod(to, st.st_mode & 07777) == 0);
}

bool TakeFromFolder(int fd, int folder, mode_t mode) {
    struct stat dir {};
    if (fstat(folder, &dir) != 0)
        return false;
    if ((dir.st_mode & S_ISGID) != 0 && fchown(fd, static_cast<uid_t>(-1), dir.st_gid) != 0 &&
        !NotPermitted(errno))
        return false;
    return fchmod(fd, mode) == 0;
}

bool MakeRunnable(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && fchmod(fd, (st.st_mode & 0777) | ((st.st_mode & 0444) >> 2)) == 0;
}

} // namespace FileMetadata

} // namespace quorvel
