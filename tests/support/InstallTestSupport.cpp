#include "InstallTestSupport.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

FolderSnapshot TakeSnapshot(const fs::path& root, const std::vector<std::string>& without) {
    FolderSnapshot entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = fs::relative(it->path(), root).string();
        if (name == kLockName || std::find(without.begin(), without.end(), name) != without.end()) {
            if (std::error_code ec; it->is_directory(ec))
                it.disable_recursion_pending();
            continue;
        }
        struct stat st {};
        lstat(it->path().c_str(), &st);
        SnapshotEntry e;
        e.mode = st.st_mode & 07777;
        if (S_ISDIR(st.st_mode)) {
            e.kind = 'd';
        } else {
            e.mtime = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
            e.kind = S_ISLNK(st.st_mode) ? 'l' : 'f';
            e.data = S_ISLNK(st.st_mode) ? fs::read_symlink(it->path()).string() : ReadFile(it->path());
        }
        entries[name] = e;
    }
    return entries;
}

void MakeCabinetFile(const fs::path& cab, const fs::path& source,
                     const std::map<std::string, std::string>& files) {
    std::string command = "cd '" + source.string() + "' && gcab -c -z '" + cab.string() + "'";
    for (const auto& [name, bytes] : files) {
        WriteFile(source / name, bytes);
        command += " '" + name + "'";
    }
    ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0);
}

void MarkExecutable(const fs::path& cab, const std::string& name) {
    std::string bytes = ReadFile(cab), stored = name;
    std::replace(stored.begin(), stored.end(), '/', '\\'); // the cabinet's separator
    auto number = [&](std::size_t at, int size) {
        unsigned value = 0;
        for (int i = size - 1; i >= 0; --i)
            value = value << 8 | static_cast<unsigned char>(bytes.at(at + i));
        return value;
    };
    ASSERT_EQ(number(30, 2) & 4, 0u) << "a cabinet with reserved fields";
    // Each file entry: size, offset, folder, date, time, attributes (2
    // bytes at 14), then the name ended by a zero byte.
    std::size_t entry = number(16, 4);
    for (unsigned files = number(28, 2); files > 0; --files) {
        const std::size_t end = bytes.find('\0', entry + 16);
        ASSERT_NE(end, std::string::npos);
        if (bytes.compare(entry + 16, end - entry - 16, stored) == 0) {
            bytes[entry + 14] = static_cast<char>(number(entry + 14, 2) | 0x40);
            WriteFile(cab, bytes);
            return;
        }
        entry = end + 1;
    }
    FAIL() << name << " is not in " << cab;
}

int RunInChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(60);
        _exit(body());
    }
    int status = -1;
    if (child > 0)
        waitpid(child, &status, 0);
    return status;
}

std::ptrdiff_t EntriesBesideTheLock(const fs::path& root) {
    return std::count_if(
        fs::directory_iterator(root), fs::directory_iterator(),
        [](const fs::directory_entry& entry) { return entry.path().filename() != kLockName; });
}

int KillAtEveryCall(const std::function<void()>& prepare, const std::function<bool(TFileOps&)>& install,
                    const std::function<void(bool killed, bool installed)>& check, int limit) {
    int killed = 0;
    for (int n = 1; n < limit; ++n) {
        SCOPED_TRACE(n);
        prepare();
        FaultyOps ops;
        ops.killAfterCall = n;
        const int status = RunInChild([&] { return install(ops) ? 0 : 1; });
        if (WIFEXITED(status)) {
            // Fewer calls than n: the install ran to its end.
            check(false, WEXITSTATUS(status) == 0);
            return killed;
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the child ended with wait status " << status;
        ++killed;
        check(true, false);
    }
    ADD_FAILURE() << "the install was still killed after " << limit << " calls";
    return killed;
}

std::vector<std::string> LeftoversOfOurs(const fs::path& root) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        // Names set aside for a person to look at are kept on purpose.
        if (name.find(".damaged-") != std::string::npos)
            continue;
        // The record of the installed release is kept with the product.
        if (name == ".DirevidUreziv.release" || name == kLockName)
            continue;
        if (name == "DirevidUreziv_bu.cab" || name.starts_with(".DirevidUreziv"))
            found.push_back(name);
    }
    return found;
}

int FaultyOps::Called(int result) {
    if (++calls == killAfterCall)
        raise(SIGKILL);
    return result;
}

ssize_t FaultyOps::Write(int fd, const void* buffer, std::size_t count) {
    if (writeBudget >= 0) {
        if (static_cast<long long>(count) > writeBudget) {
            errno = ENOSPC;
            return -1;
        }
        writeBudget -= static_cast<long long>(count);
    }
    const ssize_t result = TFileOps::Write(fd, buffer, count);
    Called(0);
    return result;
}

ssize_t FaultyOps::Copy(int from, off_t offset, int to, std::size_t count) {
    count = std::min<std::size_t>(count, 128 * 1024);
    if (writeBudget == 0) {
        errno = ENOSPC;
        return -1;
    }
    if (writeBudget > 0)
        count = std::min(count, static_cast<std::size_t>(writeBudget));
    const ssize_t result = TFileOps::Copy(from, offset, to, count);
    if (writeBudget > 0 && result > 0)
        writeBudget -= result;
    Called(0);
    return result;
}

int FaultyOps::Rename(int fromDir, const char* from, int toDir, const char* to) {
    return CountedRename(fromDir, from, toDir, to, false);
}

int FaultyOps::RenameOver(int fromDir, const char* from, int toDir, const char* to) {
    return CountedRename(fromDir, from, toDir, to, true);
}

int FaultyOps::CountedRename(int fromDir, const char* from, int toDir, const char* to, bool over) {
    if (++renames == failRename) {
        errno = renameError;
        return -1;
    }
    const int result =
        over ? TFileOps::RenameOver(fromDir, from, toDir, to) : TFileOps::Rename(fromDir, from, toDir, to);
    if (renames == killAfterRename)
        raise(SIGKILL);
    return Called(result);
}

int FaultyOps::MakeDir(int dir, const char* name, mode_t mode) {
    return Called(TFileOps::MakeDir(dir, name, mode));
}

int FaultyOps::Unlink(int dir, const char* name, int flags) {
    return Called(TFileOps::Unlink(dir, name, flags));
}

int FaultyOps::Sync(int fd) {
    return Called(TFileOps::Sync(fd));
}

int FaultyOps::SyncFileSystem(int fd) {
    return Called(TFileOps::SyncFileSystem(fd));
}
