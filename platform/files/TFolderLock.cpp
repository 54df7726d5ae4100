#include "TFolderLock.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <utility>

namespace quorvel {

namespace {

// The lock files this process holds: one open description each, and how
// many TFolderLock objects share it.
struct THold {
    TUniqueFd fd;
    int count = 0;
};
std::mutex g_mutex;
std::map<std::pair<dev_t, ino_t>, THold>& Holds() {
    static std::map<std::pair<dev_t, ino_t>, THold> holds;
    return holds;
}

} // namespace

TFolderLock::~TFolderLock() {
    Release();
}

TFolderLock::TState TFolderLock::Acquire(const std::string& folder, const std::string& name) {
    const TUniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir.Valid()) {
        Release();
        m_state = TState::Unavailable;
        return m_state;
    }
    return Acquire(dir.Get(), name);
}

TFolderLock::TState TFolderLock::Acquire(int dir, const std::string& name) {
    Release();
    // Non-blocking, so that a FIFO planted at the name cannot hold the open.
    TUniqueFd fd(
        openat(dir, name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600));
    struct stat st {};
    if (!fd.Valid()) {
        // A link at the name, or a name we may not open: not ours.
        m_state = errno == ELOOP || errno == EACCES || errno == EPERM || errno == EISDIR
                      ? TState::Untrusted
                      : TState::Unavailable;
        return m_state;
    }
    if (fstat(fd.Get(), &st) != 0) {
        m_state = TState::Unavailable;
        return m_state;
    }
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1) {
        m_state = TState::Untrusted;
        return m_state;
    }
    const std::lock_guard lock(g_mutex);
    const std::pair key{st.st_dev, st.st_ino};
    if (const auto it = Holds().find(key); it != Holds().end()) {
        // Held here already: closing this second description leaves the
        // first one's lock in place.
        ++it->second.count;
    } else {
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        if (fcntl(fd.Get(), F_OFD_SETLK, &whole) != 0) {
            // Any failure but "held elsewhere" means no lock can be had here:
            // the folder is not acted on unlocked.
            m_state = errno == EAGAIN || errno == EACCES ? TState::Busy : TState::Unavailable;
            return m_state;
        }
        Holds()[key] = THold{std::move(fd), 1};
    }
    m_device = st.st_dev;
    m_inode = st.st_ino;
    m_state = TState::Held;
    return m_state;
}

void TFolderLock::Release() {
    if (m_state == TState::Held) {
        const std::lock_guard lock(g_mutex);
        const auto it = Holds().find({m_device, m_inode});
        if (it != Holds().end() && --it->second.count == 0)
            Holds().erase(it); // closing the description releases the lock
    }
    m_state = TState::Released;
}

} // namespace quorvel
