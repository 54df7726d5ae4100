#pragma once

#include "TFileOps.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

// One entry of a folder as a snapshot keeps it: kind, permissions, the
// modification time of files and links, and the bytes of files (or the
// target of links). Folders compare by kind and permissions.
struct SnapshotEntry {
    char kind = '?';
    unsigned mode = 0;
    long long mtime = 0;
    std::string data;
    bool operator==(const SnapshotEntry&) const = default;
};
using FolderSnapshot = std::map<std::string, SnapshotEntry>;

// Everything below root, links not followed; `without` names top-level
// entries to leave out (with what is below them). The folder's lock file,
// which stays once made, is left out too.
FolderSnapshot TakeSnapshot(const std::filesystem::path& root, const std::vector<std::string>& without = {});

// Packs files (name -> bytes) into the cabinet `cab` with gcab (MSZIP),
// writing them below `source` first.
void MakeCabinetFile(const std::filesystem::path& cab, const std::filesystem::path& source,
                     const std::map<std::string, std::string>& files);

// Marks the entry `name` of a cabinet made by gcab executable: gcab never
// sets that attribute, so its bytes in the file table are set in place.
void MarkExecutable(const std::filesystem::path& cab, const std::string& name);

// Runs body in a forked child and returns its wait status. A child that
// runs for over a minute is ended by SIGALRM, so a hang fails the test at
// once rather than at its time-out. Fork only while the test runs no other
// thread (a server of the test's lives in an HttpServerProcess then): a lock
// another thread holds at that moment stays held for ever in the child.
int RunInChild(const std::function<int()>& body);

// The lock file of the test package's folder.
inline const char* const kLockName = ".DirevidUreziv.lock";

// How many entries stand in the folder, the lock file aside.
std::ptrdiff_t EntriesBesideTheLock(const std::filesystem::path& root);

// The names of ours an install or a download may leave in the update folder
// that still stand below root (not those set aside on purpose).
std::vector<std::string> LeftoversOfOurs(const std::filesystem::path& root);

// File operations that fail or stop the process where a test says.
struct FaultyOps : quorvel::TFileOps {
    long long writeBudget = -1; // bytes written before the disk is "full"; -1 for no limit
    int failRename = 0;         // this rename (counted from 1) fails with renameError
    int renameError = EACCES;
    int killAfterRename = 0; // the process kills itself right after this rename
    int killAfterCall = 0;   // ... or right after this call of any operation
    int renames = 0;
    std::atomic<int> calls{0};

    ssize_t Write(int fd, const void* buffer, std::size_t count) override;
    // At most 128 KiB a call, so that a copy takes several calls to stop after.
    ssize_t Copy(int from, off_t offset, int to, std::size_t count) override;
    int Rename(int fromDir, const char* from, int toDir, const char* to) override;
    int RenameOver(int fromDir, const char* from, int toDir, const char* to) override;
    int MakeDir(int dir, const char* name, mode_t mode) override;
    int Unlink(int dir, const char* name, int flags) override;
    int Sync(int fd) override;
    int SyncFileSystem(int fd) override;

private:
    int Called(int result);
    int CountedRename(int fromDir, const char* from, int toDir, const char* to, bool over);
};

// Kills an install at every file operation in turn: for n = 1, 2, ... lays
// out the folder with `prepare`, runs `install` in a child whose operations
// kill it right after the n-th call, and hands the outcome to `check`
// (killed: true when the child was killed, false when it ran to its end,
// which ends the loop; installed: what it returned then). Returns the
// number of kills; fails the test past `limit` tries.
int KillAtEveryCall(const std::function<void()>& prepare,
                    const std::function<bool(quorvel::TFileOps&)>& install,
                    const std::function<void(bool killed, bool installed)>& check, int limit = 500);
