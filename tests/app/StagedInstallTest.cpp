#include "TempDir.h"

#include "InstallJournal.h"
#include "MessageBoxRecorder.h"
#include "PackageInstall.h"
#include "TCABFile.h"
#include "TFileOps.h"
#include "TUniqueFd.h"
#include "softwareupdate.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const QString kPackage = QStringLiteral("DirevidUreziv.cab");
const QString kBackup = QStringLiteral("DirevidUreziv_bu.cab");

// One entry of a folder as a snapshot keeps it: kind, permissions, the
// modification time of files and links, and the bytes of files (or the
// target of links). Folders compare by kind and permissions.
struct Entry {
    char kind = '?';
    unsigned mode = 0;
    long long mtime = 0;
    std::string data;
    bool operator==(const Entry&) const = default;
};

std::map<std::string, Entry> Snapshot(const fs::path& root) {
    std::map<std::string, Entry> entries;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        struct stat st {};
        lstat(it->path().c_str(), &st);
        Entry e;
        e.mode = st.st_mode & 07777;
        if (S_ISDIR(st.st_mode)) {
            e.kind = 'd';
        } else {
            e.mtime = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
            e.kind = S_ISLNK(st.st_mode) ? 'l' : 'f';
            e.data = S_ISLNK(st.st_mode) ? fs::read_symlink(it->path()).string() : ReadFile(it->path());
        }
        entries[fs::relative(it->path(), root).string()] = e;
    }
    return entries;
}

// File operations that fail or stop the process where a test says.
struct FaultyOps : TFileOps {
    long long writeBudget = -1; // bytes written before the disk is "full"; -1 for no limit
    int failRename = 0;         // this rename (counted from 1) fails with renameError
    int renameError = EACCES;
    int killAfterRename = 0; // the process kills itself right after this rename
    int renames = 0;

    ssize_t Write(int fd, const void* buffer, std::size_t count) override {
        if (writeBudget >= 0) {
            if (static_cast<long long>(count) > writeBudget) {
                errno = ENOSPC;
                return -1;
            }
            writeBudget -= static_cast<long long>(count);
        }
        return TFileOps::Write(fd, buffer, count);
    }
    int Rename(int fromDir, const char* from, int toDir, const char* to) override {
        if (++renames == failRename) {
            errno = renameError;
            return -1;
        }
        const int result = TFileOps::Rename(fromDir, from, toDir, to);
        if (renames == killAfterRename)
            raise(SIGKILL);
        return result;
    }
};

// Notes which staged files and folders stood when the file system was
// flushed (by inode) and, at the first rename (the journal going into
// place), which staged entries were not covered by a flush; can make flushes
// of files or of the file system fail.
struct FlushOps : TFileOps {
    int failFlushes = 0; // flushes that fail: -1 every one, n the first n
    fs::path staging;
    std::vector<std::string> unflushedAtJournal;
    bool journalSeen = false;

    int Sync(int fd) override {
        struct stat st {};
        fstat(fd, &st);
        if (S_ISREG(st.st_mode) && Fail())
            return -1;
        const int result = TFileOps::Sync(fd);
        const std::lock_guard lock(m_mutex);
        if (result == 0)
            m_flushed.insert({st.st_dev, st.st_ino});
        return result;
    }
    int SyncFileSystem(int fd) override {
        if (Fail())
            return -1;
        const int result = TFileOps::SyncFileSystem(fd);
        if (result == 0 && !staging.empty() && fs::exists(staging)) {
            const std::lock_guard lock(m_mutex);
            auto note = [&](const fs::path& path) {
                struct stat st {};
                if (lstat(path.c_str(), &st) == 0)
                    m_flushed.insert({st.st_dev, st.st_ino});
            };
            note(staging);
            for (const auto& entry : fs::recursive_directory_iterator(staging))
                note(entry.path());
        }
        return result;
    }
    int Rename(int fromDir, const char* from, int toDir, const char* to) override {
        if (!journalSeen) {
            journalSeen = true;
            if (!staging.empty())
                CheckStaging();
        }
        return TFileOps::Rename(fromDir, from, toDir, to);
    }

private:
    void CheckStaging() {
        const std::lock_guard lock(m_mutex);
        auto check = [&](const fs::path& path) {
            struct stat st {};
            if (lstat(path.c_str(), &st) != 0 || !m_flushed.count({st.st_dev, st.st_ino}))
                unflushedAtJournal.push_back(fs::relative(path, staging).string());
        };
        check(staging);
        for (const auto& entry : fs::recursive_directory_iterator(staging))
            check(entry.path());
    }

    bool Fail() {
        const std::lock_guard lock(m_mutex);
        if (failFlushes == 0)
            return false;
        if (failFlushes > 0)
            --failFlushes;
        errno = EIO;
        return true;
    }

    std::mutex m_mutex;
    std::set<std::pair<dev_t, ino_t>> m_flushed;
};

class StagedInstall : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = RecordMessageBoxes(messages, boxes);
        WriteFile(folder / "bin/run.sh", "old run");
        fs::permissions(folder / "bin/run.sh", fs::perms(0750));
        WriteFile(folder / "docs/readme.txt", "old readme");
        WriteFile(folder / "version.txt", "1.0");
        WriteFile(folder / "keep.txt", "not in the package");
        newFiles = {{"bin/run.sh", "new run"},
                    {"docs/readme.txt", "new readme"},
                    {"docs/new/notes.txt", "notes"},
                    {"extra/added.txt", "added"},
                    {"version.txt", std::string(70000, 'v')},
                    {"zz_last.txt", "last"}};
        MakePackage(newFiles);
    }
    void TearDown() override { SetMessageBoxHandler(m_previousBox); }

    // Packs the files (name -> bytes) into the package of the update folder.
    void MakePackage(const std::map<std::string, std::string>& files, const fs::path& into = {}) {
        const fs::path source = work / ("src" + std::to_string(++m_sources));
        std::string command =
            "cd '" + source.string() + "' && gcab -c -z '" + (work / "pkg.cab").string() + "'";
        for (const auto& [name, bytes] : files) {
            WriteFile(source / name, bytes);
            command += " '" + name + "'";
        }
        ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0);
        fs::copy_file(work / "pkg.cab", (into.empty() ? folder.Path() : into) / "DirevidUreziv.cab",
                      fs::copy_options::overwrite_existing);
    }
    bool Install(TFileOps& ops, const fs::path& where = {}) {
        TCABFile cab;
        const QString path = QString::fromStdString((where.empty() ? folder.Path() : where).string() + "/");
        return InstallPackage(cab, path, kPackage, kBackup, ops);
    }
    bool Install() { return Install(TFileOps::System()); }
    void ExpectInstalled(const fs::path& root) {
        for (const auto& [name, bytes] : newFiles)
            EXPECT_EQ(ReadFile(root / name), bytes) << name;
    }
    // Nothing of the install is left beside the product files.
    void ExpectNoLeftovers(const fs::path& root) {
        for (const char* name :
             {".DirevidUreziv.staging", ".DirevidUreziv.rollback", ".DirevidUreziv.journal",
              ".DirevidUreziv.journal.new", "DirevidUreziv_bu.cab"})
            EXPECT_FALSE(fs::exists(fs::symlink_status(root / name))) << name;
    }

    TempDir work;
    TempDir folder;
    std::map<std::string, std::string> newFiles;
    std::vector<std::string> messages;
    TShownBoxes boxes;

private:
    MessageBoxHandler m_previousBox;
    int m_sources = 0;
};

TEST_F(StagedInstall, InstallsEveryFileKeepsPermissionsAndTouchesNothingElse) {
    const auto before = Snapshot(folder.Path());
    ASSERT_TRUE(Install());
    ExpectInstalled(folder.Path());
    ExpectNoLeftovers(folder.Path());
    const auto after = Snapshot(folder.Path());
    EXPECT_EQ(after.at("bin/run.sh").mode, 0750u);
    EXPECT_EQ(after.at("keep.txt"), before.at("keep.txt"));
    EXPECT_EQ(after.at("DirevidUreziv.cab"), before.at("DirevidUreziv.cab"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(StagedInstall, FolderWhereAFileGoesUndoesTheFilesAlreadyCommitted) {
    WriteFile(folder / "zz_last.txt/inside.txt", "a folder, not a file");
    const auto before = Snapshot(folder.Path());
    EXPECT_FALSE(Install());
    EXPECT_EQ(Snapshot(folder.Path()), before);
}

TEST_F(StagedInstall, EveryFailedRenameLeavesTheFolderAsItWas) {
    // Ten renames: the journal, then each replaced file aside and each new one in.
    const auto before = Snapshot(folder.Path());
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE(n);
        FaultyOps ops;
        ops.failRename = n;
        EXPECT_FALSE(Install(ops));
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
    FaultyOps count;
    ASSERT_TRUE(Install(count));
    EXPECT_EQ(count.renames, 10);
}

TEST_F(StagedInstall, EveryStagedFileAndFolderIsOnTheDiskBeforeTheJournal) {
    FlushOps ops;
    ops.staging = folder / ".DirevidUreziv.staging";
    ASSERT_TRUE(Install(ops));
    EXPECT_TRUE(ops.journalSeen);
    EXPECT_EQ(ops.unflushedAtJournal, std::vector<std::string>());
    ExpectInstalled(folder.Path());
}

TEST_F(StagedInstall, AFailedFlushLeavesTheFolderAsItWas) {
    // Every flush failing, or only the first one: data flushed again after
    // a failure may be reported written when it was lost.
    const auto before = Snapshot(folder.Path());
    for (const int fails : {-1, 1}) {
        SCOPED_TRACE(fails);
        FlushOps ops;
        ops.failFlushes = fails;
        EXPECT_FALSE(Install(ops));
        EXPECT_FALSE(ops.journalSeen);
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}

TEST_F(StagedInstall, FolderTheUserMayNotChangeLeavesTheFolderAsItWas) {
    if (getuid() != 0)
        GTEST_SKIP() << "switching to a user without rights needs root";
    // The update folder is open to everyone except "docs", which stays root's
    // and read-only: the install, run as nobody, cannot replace what is inside.
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path()))
        if (entry.is_directory())
            fs::permissions(entry.path(), fs::perms(0777));
    fs::permissions(folder.Path(), fs::perms(0777));
    fs::permissions(folder / "docs", fs::perms(0555));
    const auto before = Snapshot(folder.Path());
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(Install() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Snapshot(folder.Path()), before);
}

TEST_F(StagedInstall, FullDiskWhileStagingLeavesNoStaging) {
    const auto before = Snapshot(folder.Path());
    FaultyOps ops;
    ops.writeBudget = static_cast<long long>(fs::file_size(folder / "DirevidUreziv.cab")) + 30000;
    EXPECT_FALSE(Install(ops));
    EXPECT_EQ(Snapshot(folder.Path()), before);
    EXPECT_FALSE(messages.empty()); // the extraction names the error
}

TEST_F(StagedInstall, FullRealDiskLeavesTheFolderAsItWas) {
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    TempDir mount;
    if (::mount("tmpfs", mount.Path().c_str(), "tmpfs", 0, "size=640k") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    std::mt19937 random(7);
    std::string noise(300000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    newFiles["big.bin"] = noise;
    WriteFile(mount / "version.txt", "1.0");
    MakePackage(newFiles, mount.Path());
    const auto before = Snapshot(mount.Path());
    EXPECT_FALSE(Install(TFileOps::System(), mount.Path()));
    EXPECT_FALSE(messages.empty()); // the staging, not the backup copy, ran out of room
    EXPECT_EQ(Snapshot(mount.Path()), before);
    ExpectNoLeftovers(mount.Path());
    umount2(mount.Path().c_str(), MNT_DETACH);
}

TEST_F(StagedInstall, LinkWhereThePackageHasAFolderIsNeverFollowed) {
    WriteFile(work / "outside/readme.txt", "outside");
    fs::remove_all(folder / "docs");
    fs::create_directory_symlink(work / "outside", folder / "docs");
    const auto before = Snapshot(folder.Path());
    const auto outside = Snapshot(work / "outside");
    EXPECT_FALSE(Install());
    EXPECT_EQ(Snapshot(folder.Path()), before);
    EXPECT_EQ(Snapshot(work / "outside"), outside);
}

TEST_F(StagedInstall, LinkAtTheBackupNameIsReplacedNotWrittenThrough) {
    WriteFile(work / "victim.txt", "outside");
    fs::create_symlink(work / "victim.txt", folder / "DirevidUreziv_bu.cab");
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(work / "victim.txt"), "outside");
    ExpectInstalled(folder.Path());
    ExpectNoLeftovers(folder.Path());
}

TEST_F(StagedInstall, EntriesNamingOurOwnFilesAreRefused) {
    for (const char* name : {"DirevidUreziv.cab", "direvidureziv_BU.cab", ".DirevidUreziv.journal",
                             ".DirevidUreziv.rollback/x.txt"}) {
        SCOPED_TRACE(name);
        auto files = newFiles;
        files[name] = "hostile";
        MakePackage(files);
        const auto before = Snapshot(folder.Path());
        EXPECT_FALSE(Install());
        EXPECT_EQ(Snapshot(folder.Path()), before);
    }
}

TEST_F(StagedInstall, KillAfterAnyRenameIsUndoneByTheNextStart) {
    const auto before = Snapshot(folder.Path());
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            FaultyOps ops;
            ops.killAfterRename = n;
            _exit(Install(ops) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        if (WIFEXITED(status)) {
            // Fewer renames than n: the install ran to its end.
            EXPECT_EQ(WEXITSTATUS(status), 0);
            EXPECT_EQ(n, 11);
            ExpectInstalled(folder.Path());
            break;
        }
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
        EXPECT_TRUE(fs::exists(folder / ".DirevidUreziv.journal"));
        TForm1 restart(QString::fromStdString(folder.Slash()), QStringLiteral("http://127.0.0.1:1/x"));
        EXPECT_EQ(Snapshot(folder.Path()), before);
        ASSERT_LT(n, 20);
    }
}

TEST_F(StagedInstall, StartClearsLeftoversOfAnInstallThatEndedWithoutAJournal) {
    const auto before = Snapshot(folder.Path());
    // A kill while staging, or after the commit point but before the clean-up.
    WriteFile(folder / ".DirevidUreziv.staging/docs/readme.txt", "half staged");
    WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "0.9");
    WriteFile(folder / ".DirevidUreziv.journal.new", "quorvel install journal 1\n");
    TForm1 restart(QString::fromStdString(folder.Slash()), QStringLiteral("http://127.0.0.1:1/x"));
    EXPECT_EQ(Snapshot(folder.Path()), before);
}

TEST_F(StagedInstall, ADamagedJournalKeepsTheRollbackFolderAndRefusesTheNextInstall) {
    // The rollback folder may hold the only copy of an old file: nothing is
    // thrown away on the word of a journal that cannot be read.
    WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "1.0");
    WriteFile(folder / ".DirevidUreziv.journal", "not a journal");
    const auto before = Snapshot(folder.Path());
    TForm1 restart(QString::fromStdString(folder.Slash()), QStringLiteral("http://127.0.0.1:1/x"));
    EXPECT_EQ(Snapshot(folder.Path()), before);
    EXPECT_FALSE(Install());
    EXPECT_EQ(Snapshot(folder.Path()), before);
}

TEST(InstallJournal, ReadsBackWhatItWritesAndRefusesAnythingElse) {
    TInstallPlan plan;
    plan.newFolders = {"new", "new/sub"};
    plan.files = {{"new/sub/a b.txt", false}, {"odd%name\nwith\rbreaks", true}, {"x/y", true}};
    const std::string text = TInstallJournal::Format(plan);
    TInstallPlan read;
    ASSERT_TRUE(TInstallJournal::Parse(text, read));
    EXPECT_EQ(read, plan);

    TempDir dir;
    const TUniqueFd holder(open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(TInstallJournal::Write(holder.Get(), "j", "j.new", plan, TFileOps::System()));
    EXPECT_FALSE(fs::exists(dir / "j.new"));
    TInstallPlan fromFile;
    ASSERT_TRUE(TInstallJournal::Read(holder.Get(), "j", fromFile));
    EXPECT_EQ(fromFile, plan);

    const std::string header = text.substr(0, text.find('\n') + 1);
    for (const std::string& bad : std::vector<std::string>{
             text.substr(0, text.size() - 4), text + "file 0 late\n", text.substr(0, text.size() - 1),
             header + "file 0 ../up\nend\n", header + "file 0 /abs\nend\n", header + "folder a//b\nend\n",
             header + "file 0 a\\b\nend\n", header + "file 2 a\nend\n", header + "file 0 %4\nend\n",
             header + "folder %00\nend\n", "other header\nend\n", std::string()}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(TInstallJournal::Parse(bad, read));
    }
}

} // namespace
