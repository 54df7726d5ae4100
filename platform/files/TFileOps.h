#pragma once

#include "QuorvelExport.h"

#include <cstddef>
#include <sys/types.h>

namespace quorvel {

// The file operations that change a folder or a file's contents, on POSIX
// descriptors relative to open folders. They return what the system call
// returns (-1 with errno set on failure). The default implementation calls
// the system; tests derive from it to make one operation fail (a full disk,
// a refused rename) or to stop the process at a chosen point.
class QUORVEL_EXPORT TFileOps {
public:
    virtual ~TFileOps() = default;

    // Writes up to count bytes; the caller loops over short writes.
    virtual ssize_t Write(int fd, const void* buffer, std::size_t count);
    // Copies up to count bytes of the file `from`, starting at `offset`, to
    // the file `to` at its position, inside the kernel where the file system
    // can (through Write where it cannot); returns the bytes copied, 0 at the
    // end of `from`. The caller loops.
    virtual ssize_t Copy(int from, off_t offset, int to, std::size_t count);
    // Renames without replacing: fails with EEXIST when `to` exists.
    virtual int Rename(int fromDir, const char* from, int toDir, const char* to);
    // Renames over whatever stands at `to` (a link is replaced, not
    // followed), in one step.
    virtual int RenameOver(int fromDir, const char* from, int toDir, const char* to);
    virtual int MakeDir(int dir, const char* name, mode_t mode);
    // flags: 0 for a file or link, AT_REMOVEDIR for an empty folder.
    virtual int Unlink(int dir, const char* name, int flags);
    // Flushes a file's data or a folder's entries to the disk. Called from
    // several threads at once.
    virtual int Sync(int fd);
    // Flushes everything written to the file system that holds `fd`: the
    // data of every file and the entries of every folder, in one call rather
    // than one per file. Reports a write error met on that file system since
    // `fd` was opened, so `fd` must be opened before the writes it covers.
    virtual int SyncFileSystem(int fd);
    // Told that an extracted file is complete (contents and times), just
    // before it is closed. The default does nothing.
    virtual void Closing(int fd);

    // The operations of the system itself.
    static TFileOps& System();
};

} // namespace quorvel
