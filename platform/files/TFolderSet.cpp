#include "TFolderSet.h"

#include "FileMetadata.h"
#include "TFileOps.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

int OpenChild(int dir, const std::string& name) {
    return openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Open folders kept per set: a few dozen spare most reopening, and an
// install (three sets at once) stays far below even a low descriptor limit.
std::size_t MaxOpen() {
    rlimit limit{};
    std::size_t max = 32;
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        max = std::min<std::size_t>(max, limit.rlim_cur / 16);
    return std::max<std::size_t>(max, 1);
}

} // namespace

TFolderSet::TFolderSet(int root) : m_root(root), m_maxOpen(MaxOpen()) {}

int TFolderSet::Keep(const std::string& path, int fd) {
    TOpenFolder& kept = m_open[path];
    kept.fd = TUniqueFd(fd);
    kept.lastUse = ++m_uses;
    // The folder used longest ago goes; never the one just opened.
    while (m_open.size() > m_maxOpen) {
        auto oldest = m_open.end();
        for (auto it = m_open.begin(); it != m_open.end(); ++it)
            if (it->first != path && (oldest == m_open.end() || it->second.lastUse < oldest->second.lastUse))
                oldest = it;
        m_open.erase(oldest);
    }
    return fd;
}

int TFolderSet::Open(const std::vector<std::string>& parts, std::size_t count, TFileOps& ops,
                     const TMayCreate& mayCreate) {
    count = std::min(count, parts.size());
    // The deepest folder on the way that is still open is where the walk starts.
    std::size_t start = count;
    std::string path;
    int dir = m_root;
    for (; start > 0; --start) {
        path.clear();
        for (std::size_t i = 0; i < start; ++i)
            path += (i ? "/" : "") + parts[i];
        if (const auto it = m_open.find(path); it != m_open.end()) {
            it->second.lastUse = ++m_uses;
            dir = it->second.fd.Get();
            break;
        }
    }
    if (start == 0)
        path.clear();
    for (std::size_t i = start; i < count; ++i) {
        path += (i ? "/" : "") + parts[i];
        int next = OpenChild(dir, parts[i]);
        if (next < 0 && errno == ENOENT && mayCreate && mayCreate(path)) {
            // A new folder takes the mode (and a set-group-id folder's group)
            // of the folder it is made in, not the umask.
            struct stat parent {};
            if (fstat(dir, &parent) != 0 || ops.MakeDir(dir, parts[i].c_str(), parent.st_mode & 07777) != 0)
                return -1;
            next = OpenChild(dir, parts[i]);
            if (next >= 0 && !FileMetadata::TakeFromFolder(next, dir, parent.st_mode & 07777)) {
                close(next);
                return -1;
            }
        }
        if (next < 0)
            return -1;
        dir = Keep(path, next);
    }
    return dir;
}

} // namespace quorvel
