#include "InstallTestSupport.h"
#include "TempDir.h"

#include "InstallJournal.h"
#include "MessageBox.h"
#include "PackageInstall.h"
#include "TCABFile.h"
#include "TFileOps.h"
#include "TStagedInstall.h"
#include "TUniqueFd.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const QString kPackage = QStringLiteral("DirevidUreziv.cab");
const QString kBackup = QStringLiteral("DirevidUreziv_bu.cab");

FolderSnapshot Snapshot(const fs::path& root) {
    return TakeSnapshot(root);
}

// The product files: the folder without the package, which a failed install
// takes with it.
FolderSnapshot Product(const fs::path& root) {
    return TakeSnapshot(root, {"DirevidUreziv.cab"});
}

// Notes which staged files and folders, and which journal, stood when the
// file system was flushed (by inode) and, when the first staged file moves
// into the product, which of them were not covered by a flush; can make
// flushes of files or of the file system fail.
struct FlushOps : TFileOps {
    int failFlushes = 0; // flushes that fail: -1 every one, n the first n
    fs::path staging;
    std::vector<std::string> unflushedAtCommit;
    bool commitSeen = false;

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
            for (const fs::path& path : Watched())
                m_flushed.insert(Identity(path));
        }
        return result;
    }
    int Rename(int fromDir, const char* from, int toDir, const char* to) override {
        const std::string source = fs::read_symlink("/proc/self/fd/" + std::to_string(fromDir)).string();
        if (!commitSeen && !staging.empty() && source.starts_with(staging.string())) {
            commitSeen = true;
            CheckStaging();
        }
        return TFileOps::Rename(fromDir, from, toDir, to);
    }

private:
    // The staging folder, everything below it, and the journal.
    std::vector<fs::path> Watched() const {
        std::vector<fs::path> paths = {staging, staging.parent_path() / ".DirevidUreziv.journal"};
        for (const auto& entry : fs::recursive_directory_iterator(staging))
            paths.push_back(entry.path());
        return paths;
    }
    static std::pair<dev_t, ino_t> Identity(const fs::path& path) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0)
            return {0, 0};
        return {st.st_dev, st.st_ino};
    }
    void CheckStaging() {
        const std::lock_guard lock(m_mutex);
        for (const fs::path& path : Watched()) {
            const auto identity = Identity(path);
            if (identity.second == 0 || !m_flushed.count(identity))
                unflushedAtCommit.push_back(fs::relative(path, staging).string());
        }
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
        m_previousBox = SetMessageBoxHandler([this](const QString&, const QString& text, TMessageKind) {
            messages.push_back(text.toStdString());
        });
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
        EXPECT_EQ(LeftoversOfOurs(root), std::vector<std::string>());
    }
    // The install was refused: the product as `before`, no package, nothing of ours.
    void ExpectRefused(const FolderSnapshot& before, const fs::path& root) {
        EXPECT_EQ(Product(root), before);
        EXPECT_FALSE(fs::exists(root / "DirevidUreziv.cab"));
        ExpectNoLeftovers(root);
    }
    void ExpectRefused(const FolderSnapshot& before) { ExpectRefused(before, folder.Path()); }
    // What the updater's start does first.
    void Restart() {
        const TInstallRecovery found =
            RecoverInstall(QString::fromStdString(folder.Slash()), kPackage, kBackup);
        EXPECT_TRUE(found == TInstallRecovery::Nothing || found == TInstallRecovery::Undone);
    }
    void PutPackageBack() {
        fs::copy_file(work / "pkg.cab", folder / "DirevidUreziv.cab", fs::copy_options::overwrite_existing);
    }

    TempDir work;
    TempDir folder;
    std::map<std::string, std::string> newFiles;
    std::vector<std::string> messages;

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
    // The package stays, dated by the install.
    EXPECT_EQ(after.at("DirevidUreziv.cab").data, before.at("DirevidUreziv.cab").data);
    EXPECT_TRUE(messages.empty());
}

TEST_F(StagedInstall, APackageWithAnotherNameIsInstalledAndThatNameKeepsItsBytes) {
    fs::create_hard_link(folder / "DirevidUreziv.cab", work / "other-name.cab");
    const std::string bytes = ReadFile(work / "other-name.cab");
    ASSERT_TRUE(Install());
    ExpectInstalled(folder.Path());
    ExpectNoLeftovers(folder.Path());
    EXPECT_TRUE(ReadFile(work / "other-name.cab") == bytes);
}

TEST_F(StagedInstall, EveryFailedRenameLeavesTheFolderAsItWas) {
    // Twelve renames: the backup into place, the journal, each replaced file
    // aside and each new one in, and the journal to the done mark.
    const auto before = Product(folder.Path());
    for (int n = 1; n <= 12; ++n) {
        SCOPED_TRACE(n);
        FaultyOps ops;
        ops.failRename = n;
        EXPECT_FALSE(Install(ops));
        ExpectRefused(before);
        PutPackageBack();
    }
    FaultyOps count;
    ASSERT_TRUE(Install(count));
    EXPECT_EQ(count.renames, 12);
}

TEST_F(StagedInstall, EveryStagedFileAndFolderAndTheJournalAreOnTheDiskBeforeAnyProductFileMoves) {
    FlushOps ops;
    ops.staging = folder / ".DirevidUreziv.staging";
    ASSERT_TRUE(Install(ops));
    EXPECT_TRUE(ops.commitSeen);
    EXPECT_EQ(ops.unflushedAtCommit, std::vector<std::string>());
    ExpectInstalled(folder.Path());
}

TEST_F(StagedInstall, AFailedFlushLeavesTheFolderAsItWas) {
    // Every flush failing, or only the first one: data flushed again after
    // a failure may be reported written when it was lost.
    const auto before = Product(folder.Path());
    for (const int fails : {-1, 1}) {
        SCOPED_TRACE(fails);
        FlushOps ops;
        ops.staging = folder / ".DirevidUreziv.staging";
        ops.failFlushes = fails;
        EXPECT_FALSE(Install(ops));
        EXPECT_FALSE(ops.commitSeen);
        ExpectRefused(before);
        PutPackageBack();
    }
}

TEST_F(StagedInstall, FolderTheUserMayNotChangeLeavesTheFolderAsItWas) {
    if (getuid() != 0)
        GTEST_SKIP() << "switching to a user without rights needs root";
    // The update folder is open to everyone (with the sticky bit, so that no
    // one removes another's names) except "docs", which stays root's and
    // read-only: the install, run as nobody, cannot replace what is inside.
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path()))
        if (entry.is_directory())
            fs::permissions(entry.path(), fs::perms(0777));
    fs::permissions(folder.Path(), fs::perms(01777));
    fs::permissions(folder / "docs", fs::perms(0555));
    fs::permissions(folder / "DirevidUreziv.cab", fs::perms(0666));
    const auto before = Product(folder.Path());
    const int status = RunInChild([&] {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            return 2;
        return Install() ? 0 : 1;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Product(folder.Path()), before);
    ExpectNoLeftovers(folder.Path());
}

TEST_F(StagedInstall, FullDiskWhileStagingLeavesNoStaging) {
    const auto before = Product(folder.Path());
    FaultyOps ops;
    // The backup is a second name of the package: the staging alone writes.
    ops.writeBudget = 30000;
    EXPECT_FALSE(Install(ops));
    ExpectRefused(before);
    EXPECT_FALSE(messages.empty()); // the extraction names the error
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
    for (const char* name :
         {"DirevidUreziv.cab", "direvidureziv_BU.cab", ".DirevidUreziv.journal",
          ".DirevidUreziv.rollback/x.txt", ".DirevidUreziv.done", ".DirevidUreziv_bu.cab.new"}) {
        SCOPED_TRACE(name);
        auto files = newFiles;
        files[name] = "hostile";
        MakePackage(files);
        const auto before = Product(folder.Path());
        EXPECT_FALSE(Install());
        ExpectRefused(before);
    }
}

TEST_F(StagedInstall, AFileOfOursIsCommittedAndUndoneWithThePackage) {
    auto install = [&](TFileOps& ops) {
        TCABFile cab;
        TStagedInstall staged(QString::fromStdString(folder.Slash()), kPackage, ops);
        staged.StageFile(QStringLiteral(".DirevidUreziv.release"), "release 7\n");
        return staged.Install(cab, QString::fromStdString((folder / "DirevidUreziv.cab").string()));
    };
    FaultyOps failing;
    failing.failRename = 5; // half-way through the commit
    EXPECT_FALSE(install(failing));
    EXPECT_FALSE(fs::exists(folder / ".DirevidUreziv.release"));
    PutPackageBack();
    ASSERT_TRUE(install(TFileOps::System()));
    EXPECT_EQ(ReadFile(folder / ".DirevidUreziv.release"), "release 7\n");
    ExpectInstalled(folder.Path());
}

TEST_F(StagedInstall, StartClearsLeftoversOfAnInstallThatEndedWithoutAJournal) {
    const auto before = Product(folder.Path());
    // A kill while staging: the install did not happen, and its package goes.
    WriteFile(folder / ".DirevidUreziv.staging/docs/readme.txt", "half staged");
    WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "0.9");
    WriteFile(folder / ".DirevidUreziv.journal.new", "quorvel install journal 1\n");
    WriteFile(folder / ".DirevidUreziv_bu.cab.new", "half a copy");
    Restart();
    ExpectRefused(before);

    // A kill after the commit point: the package stays with what it installed.
    PutPackageBack();
    WriteFile(folder / ".DirevidUreziv.done", "");
    WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "0.9");
    Restart();
    EXPECT_EQ(Product(folder.Path()), before);
    EXPECT_TRUE(fs::exists(folder / "DirevidUreziv.cab"));
    ExpectNoLeftovers(folder.Path());
}

TEST(InstallJournal, ReadsBackWhatItWritesAndRefusesAnythingElse) {
    TInstallPlan plan;
    plan.newFolders = {"new", "new/sub"};
    plan.setAside = {"was/a file", "folder"};
    plan.files = {{"new/sub/a b.txt", false}, {"odd%name\nwith\rbreaks", true}, {"x/y", true}};
    const std::string text = TInstallJournal::Format(plan);
    TInstallPlan read;
    ASSERT_TRUE(TInstallJournal::Parse(text, read));
    EXPECT_EQ(read, plan);

    TempDir dir;
    const TUniqueFd holder(open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(TInstallJournal::Place(holder.Get(), "j", "j.new", plan, TFileOps::System()));
    EXPECT_FALSE(fs::exists(dir / "j.new"));
    TInstallPlan fromFile;
    ASSERT_EQ(TInstallJournal::Read(holder.Get(), "j", fromFile), TInstallJournal::TReadStatus::Read);
    EXPECT_EQ(fromFile, plan);

    const std::string header = text.substr(0, text.find('\n') + 1);
    for (const std::string& bad : std::vector<std::string>{
             text.substr(0, text.size() - 4), text + "file 0 late\n", text.substr(0, text.size() - 1),
             header + "file 0 ../up\nend\n", header + "file 0 /abs\nend\n", header + "folder a//b\nend\n",
             header + "file 0 a\\b\nend\n", header + "file 2 a\nend\n", header + "file 0 %4\nend\n",
             header + "folder %00\nend\n", header + "aside ../x\nend\n", "other header\nend\n",
             std::string()}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(TInstallJournal::Parse(bad, read));
    }
}

} // namespace
