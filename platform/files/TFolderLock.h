#pragma once

#include "QuorvelExport.h"

#include "TUniqueFd.h"

#include <string>
#include <sys/types.h>

namespace quorvel {

// Keeps one updater at a time acting in a folder: a write lock on a lock file
// of ours in it (an open-file-description lock, which goes with the process,
// a killed one included, and which network file systems pass on to the
// server). The lock file is created with mode 0600 when missing and never
// removed, so two updaters always lock the same file. It is trusted only as a
// regular file of the running user with one link, opened without following a
// link: any other user who could make it could hold the folder for ever.
//
// Within one process the lock is counted: a second TFolderLock on the same
// lock file shares the first one's hold, so that a job holding the folder for
// a whole run can hand it to the steps that take it again. The hold ends with
// the last of them.
class QUORVEL_EXPORT TFolderLock {
public:
    enum class TState {
        Released,    // not taken (yet), or given back
        Held,        // this process holds the folder
        Busy,        // another process holds it
        Untrusted,   // something not ours stands at the lock file's name
        Unavailable, // no lock can be taken there (no such folder, no locks on its file system, an I/O error)
    };

    TFolderLock() = default;
    ~TFolderLock();
    TFolderLock(const TFolderLock&) = delete;
    TFolderLock& operator=(const TFolderLock&) = delete;

    // Takes the lock file `name` in the open folder `dir` without waiting.
    TState Acquire(int dir, const std::string& name);
    // The same for a folder by path.
    TState Acquire(const std::string& folder, const std::string& name);
    // Gives the hold back (the destructor does too).
    void Release();

    TState State() const { return m_state; }
    bool Held() const { return m_state == TState::Held; }

private:
    TState m_state = TState::Released;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

} // namespace quorvel
