#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "TempDir.h"

#include "MessageBox.h"
#include "PackageInstall.h"
#include "TCABFile.h"
#include "softwareupdate.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kError = "Error Updating the Quorvel! Please try again.";
const char* const kSuccess = "Quorvel has been successfully updated!";
const char* const kUntrusted = "The last update of the Quorvel could not be checked or undone. Please try "
                               "again, or reinstall the Quorvel.";
const char* const kPath = "/downloads/DirevidUreziv.cab";
const std::int64_t kServerTime = 1767225600;
const QString kPackage = QStringLiteral("DirevidUreziv.cab");
const QString kBackup = QStringLiteral("DirevidUreziv_bu.cab");

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Faults at the close of the updater and at its next start, seen as the user
// sees them: the message at the close, the product files, what the next
// "Start" does.
class InstallFault : public testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        m_previousBox = SetMessageBoxHandler([this](const QString&, const QString& text, TMessageKind) {
            messages.push_back(text.toStdString());
        });
        oldFiles = {{"version.txt", "Quorvel 1.0"}, {"docs/readme.txt", "old readme"}};
        newFiles = {{"version.txt", "Quorvel 2.0"},
                    {"docs/readme.txt", "new readme"},
                    {"docs/new/notes.txt", "notes"},
                    {"quorvel.dat", Noise(300000, 1)}};
        package = Pack(newFiles);
        PutOldProduct(folder.Path());
    }
    void TearDown() override { SetMessageBoxHandler(m_previousBox); }

    std::string Pack(const std::map<std::string, std::string>& files) {
        const fs::path cab = work / ("pkg" + std::to_string(++m_packs) + ".cab");
        MakeCabinetFile(cab, work / ("src" + std::to_string(m_packs)), files);
        return ReadFile(cab);
    }
    void PutOldProduct(const fs::path& root) {
        for (const auto& [name, bytes] : newFiles)
            fs::remove(root / name);
        fs::remove_all(root / "docs/new");
        for (const auto& [name, bytes] : oldFiles)
            WriteFile(root / name, bytes);
    }
    void Serve(LocalHttpServer& on, const std::string& bytes) {
        HttpReply reply;
        reply.lastModified = kServerTime;
        on.ServeBytes(kPath, bytes, reply);
    }
    std::unique_ptr<TForm1> MakeForm(const fs::path& root, LocalHttpServer& from) {
        return std::make_unique<TForm1>(QString::fromStdString(root.string() + "/"),
                                        QString::fromStdString(from.Url(kPath)));
    }
    std::unique_ptr<TForm1> MakeForm() { return MakeForm(folder.Path(), server); }
    // The product files, without the package.
    FolderSnapshot Product(const fs::path& root) const { return TakeSnapshot(root, {"DirevidUreziv.cab"}); }
    bool HasOnly(const fs::path& root, const std::map<std::string, std::string>& files) const {
        return std::all_of(files.begin(), files.end(),
                           [&](const auto& file) { return ReadFile(root / file.first) == file.second; });
    }
    bool InstalledNew() const { return HasOnly(folder.Path(), newFiles); }
    // The old product, and nothing of the new one.
    bool StillOld() const {
        return HasOnly(folder.Path(), oldFiles) &&
               std::none_of(newFiles.begin(), newFiles.end(), [&](const auto& file) {
                   return !oldFiles.count(file.first) && fs::exists(folder / file.first);
               });
    }
    // A new start of the updater: "Start" downloads without comparing dates
    // (no package was left to compare with) and the close installs.
    void ExpectTheNextStartInstalls() {
        messages.clear();
        auto form = MakeForm();
        form->BitBtn1Click();
        EXPECT_FALSE(form->dateChecked);
        EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
        form->close();
        EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
        EXPECT_TRUE(InstalledNew());
        EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
    }
    bool InstallInChild(TFileOps& ops) {
        TCABFile cab;
        return InstallPackage(cab, QString::fromStdString(folder.Slash()), kPackage, kBackup, ops);
    }

    TempDir work;
    TempDir folder;
    LocalHttpServer server;
    std::map<std::string, std::string> oldFiles, newFiles;
    std::string package;
    std::vector<std::string> messages;

private:
    MessageBoxHandler m_previousBox;
    int m_packs = 0;
};

TEST_F(InstallFault, ARefusedRolledBackOrRecoveredInstallLeavesNoPackageAndTheNextStartInstalls) {
    std::string damaged = package;
    damaged[damaged.size() - 100] ^= 0x5A; // inside the last data block: its checksum no longer holds
    for (const char* kind : {"refused", "rolled back", "recovered"}) {
        SCOPED_TRACE(kind);
        PutOldProduct(folder.Path());
        fs::remove(folder / "DirevidUreziv.cab");
        const auto before = Product(folder.Path());
        messages.clear();
        {
            LocalHttpServer first;
            Serve(first, kind == std::string("refused") ? damaged : package);
            auto form = MakeForm(folder.Path(), first);
            form->BitBtn1Click();
            ASSERT_EQ(messages, std::vector<std::string>{kSuccess});
            FaultyOps ops;
            if (kind == std::string("recovered")) {
                // Killed in the middle of the commit; the next start undoes it.
                ops.killAfterRename = 4;
                const int status = RunInChild([&] { return InstallInChild(ops) ? 0 : 1; });
                ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
                EXPECT_TRUE(fs::exists(folder / ".DirevidUreziv.journal"));
                form.reset();
                MakeForm().reset();
            } else {
                ops.failRename = 4; // the commit fails half-way and is undone
                form->InstallOps = &ops;
                form->close();
                EXPECT_EQ(messages, (std::vector<std::string>{kSuccess, kError}));
            }
        }
        EXPECT_EQ(Product(folder.Path()), before);
        EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab"));
        EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
        Serve(server, package);
        ExpectTheNextStartInstalls();
    }
}

TEST_F(InstallFault, AKillAtAnyPointOfTheCloseLeavesTheProductOldOrNewAndNothingOfOurs) {
    Serve(server, package);
    {
        auto form = MakeForm();
        form->BitBtn1Click();
        ASSERT_EQ(messages, std::vector<std::string>{kSuccess});
    }
    const int killed = KillAtEveryCall(
        [&] {
            PutOldProduct(folder.Path());
            WriteFile(folder / "DirevidUreziv.cab", package);
            ASSERT_TRUE(MarkNotInstalled(QString::fromStdString((folder / "DirevidUreziv.cab").string())));
        },
        [&](TFileOps& ops) { return InstallInChild(ops); },
        [&](bool wasKilled, bool installed) {
            if (!wasKilled) {
                EXPECT_TRUE(installed);
                EXPECT_TRUE(InstalledNew());
                return;
            }
            MakeForm().reset(); // the next start
            EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
            if (StillOld()) {
                // No package that the next "Start" could take for the installed version.
                EXPECT_TRUE(!fs::exists(folder / "DirevidUreziv.cab") ||
                            fs::last_write_time(folder / "DirevidUreziv.cab") <
                                fs::file_time_type::clock::from_sys(
                                    std::chrono::sys_seconds(std::chrono::seconds(kServerTime))));
            } else {
                EXPECT_TRUE(InstalledNew());
            }
        });
    // The backup copy alone takes three steps; staging, journal, commit and
    // clean-up many more.
    EXPECT_GT(killed, 20);
}

TEST_F(InstallFault, MoreFoldersThanTheOpenFileLimitInstallWholeOrNotAtAll) {
    std::map<std::string, std::string> many;
    for (int i = 0; i < 300; ++i) {
        const std::string dir = "part" + std::to_string(i);
        many[dir + "/file.txt"] = "new " + std::to_string(i);
        oldFiles[dir + "/file.txt"] = "old " + std::to_string(i);
    }
    newFiles = many;
    package = Pack(many);
    for (const rlim_t limit : {24, 48, 96}) {
        SCOPED_TRACE(limit);
        PutOldProduct(folder.Path());
        WriteFile(folder / "DirevidUreziv.cab", package);
        const int status = RunInChild([&] {
            const rlimit lowered{limit, limit};
            if (setrlimit(RLIMIT_NOFILE, &lowered) != 0)
                return 2;
            return InstallInChild(TFileOps::System()) ? 0 : 1;
        });
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2);
        const bool installed = WEXITSTATUS(status) == 0;
        EXPECT_TRUE(HasOnly(folder.Path(), installed ? newFiles : oldFiles));
        EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
        if (limit >= 48) {
            EXPECT_TRUE(installed);
        }
    }
}

TEST_F(InstallFault, WhatIsUnpackedIsTheBackupThatWasChecked) {
    WriteFile(folder / "DirevidUreziv.cab", package);
    const std::string other = Pack({{"version.txt", "Quorvel 6.6.6"}, {"planted.txt", "never checked"}});
    TCABFile cab;
    bool checked = false;
    const bool installed = InstallPackage(cab, QString::fromStdString(folder.Slash()), kPackage, kBackup,
                                          TFileOps::System(), [&](int) {
                                              // Checked; now another cabinet takes the backup's name.
                                              checked = true;
                                              WriteFile(work / "swap.cab", other);
                                              fs::rename(work / "swap.cab", folder / "DirevidUreziv_bu.cab");
                                              return true;
                                          });
    EXPECT_TRUE(checked);
    EXPECT_TRUE(installed);
    EXPECT_TRUE(InstalledNew());
    EXPECT_FALSE(fs::exists(folder / "planted.txt"));
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
}

TEST_F(InstallFault, LeftoversOfOtherUsersAndAFolderOthersMayChangeAreNeverActedOn) {
    if (getuid() != 0)
        GTEST_SKIP() << "files of another user need root";
    Serve(server, package);
    const struct {
        const char* what;
        std::function<void()> plant;
    } cases[] = {
        {"a journal of another user",
         [&] {
             // Undoing it would put the "old" version.txt of its rollback folder in place.
             WriteFile(folder / ".DirevidUreziv.journal",
                       "quorvel install journal 1\nfile 1 version.txt\nend\n");
             WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "planted");
             lchown((folder / ".DirevidUreziv.journal").c_str(), 65534, 65534);
         }},
        {"a staging folder of another user",
         [&] {
             WriteFile(folder / ".DirevidUreziv.staging/version.txt", "planted");
             lchown((folder / ".DirevidUreziv.staging").c_str(), 65534, 65534);
         }},
        {"an update folder others may write", [&] { fs::permissions(folder.Path(), fs::perms(0777)); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.plant();
        const auto before = TakeSnapshot(folder.Path());
        messages.clear();
        auto form = MakeForm(); // the start's recovery leaves everything alone, and says so
        EXPECT_EQ(TakeSnapshot(folder.Path()), before);
        EXPECT_EQ(messages, std::vector<std::string>{kUntrusted});
        form->BitBtn1Click();
        EXPECT_EQ(messages, (std::vector<std::string>{kUntrusted, kSuccess}));
        form->close();
        EXPECT_EQ(messages, (std::vector<std::string>{kUntrusted, kSuccess, kError}));
        EXPECT_EQ(TakeSnapshot(folder.Path(), {"DirevidUreziv.cab"}), before);
        // Cleared by hand, the folder takes updates again.
        fs::permissions(folder.Path(), fs::perms(0700));
        for (const std::string& name : LeftoversOfOurs(folder.Path()))
            fs::remove_all(folder / name);
        fs::remove(folder / "DirevidUreziv.cab");
    }
    ExpectTheNextStartInstalls();
}

TEST_F(InstallFault, ASecondUpdaterLeavesAnInstallUnderWayAlone) {
    // An install under way in another updater: its journal, the old file aside.
    WriteFile(folder / ".DirevidUreziv.journal", "quorvel install journal 1\nfile 1 version.txt\nend\n");
    WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "Quorvel 1.0");
    WriteFile(folder / "version.txt", "Quorvel 2.0");
    const auto before = TakeSnapshot(folder.Path());
    {
        // Another process's lock, as the other updater holds it.
        const int other = open((folder / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        ASSERT_EQ(fcntl(other, F_OFD_SETLK, &whole), 0);
        MakeForm().reset();
        EXPECT_EQ(TakeSnapshot(folder.Path()), before);
        close(other);
    }
    // That updater was killed: the next start undoes its install.
    MakeForm().reset();
    EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 1.0");
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
}

TEST_F(InstallFault, AJournalThatCannotBeReadIsSetAsideWithItsRollbackFolderAndUpdatesGoOn) {
    WriteFile(folder / ".DirevidUreziv.journal", "quorvel install journal 1\nfile 1 vers");
    WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "the only copy of 0.9");
    MakeForm().reset();
    std::vector<std::string> setAside;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        if (entry.path().filename().string().find(".damaged-") != std::string::npos)
            setAside.push_back(entry.path().filename().string());
    std::sort(setAside.begin(), setAside.end());
    ASSERT_EQ(setAside.size(), 2u);
    EXPECT_TRUE(setAside[0].starts_with(".DirevidUreziv.journal.damaged-2"));
    EXPECT_TRUE(setAside[1].starts_with(".DirevidUreziv.rollback.damaged-2"));
    EXPECT_EQ(ReadFile(folder / setAside[1] / "version.txt"), "the only copy of 0.9");
    Serve(server, package);
    ExpectTheNextStartInstalls();
}

TEST_F(InstallFault, ACabinetLargerThanTheFreeSpaceIsRefusedBeforeAnythingChanges) {
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    TempDir mount;
    if (::mount("tmpfs", mount.Path().c_str(), "tmpfs", 0, "size=2m,mode=0700") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    newFiles["big.bin"] = std::string(16 << 20, '\0'); // small packed, 16 MiB unpacked
    Serve(server, Pack(newFiles));
    PutOldProduct(mount.Path());
    const auto before = Product(mount.Path());
    auto form = MakeForm(mount.Path(), server);
    form->BitBtn1Click();
    EXPECT_EQ(messages, std::vector<std::string>{kSuccess});
    form->close();
    EXPECT_EQ(messages, (std::vector<std::string>{kSuccess, kError}));
    EXPECT_EQ(Product(mount.Path()), before);
    EXPECT_EQ(LeftoversOfOurs(mount.Path()), std::vector<std::string>());
    form.reset();
    umount2(mount.Path().c_str(), MNT_DETACH);
}

} // namespace
