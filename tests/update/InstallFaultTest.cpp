#include "HttpServerProcess.h"
#include "InstallTestSupport.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "UpdateTestSupport.h"

#include "PackageInstall.h"
#include "ReleaseRecord.h"
#include "TCABFile.h"
#include "TUpdate.h"
#include "UpdateTexts.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kPath = "/downloads/DirevidUreziv.cab";
const char* const kRecord = ".DirevidUreziv.release";
const std::int64_t kServerTime = 1767225600;
using Files = std::map<std::string, std::string>;

std::string Noise(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes)
        c = static_cast<char>(random());
    return bytes;
}

// Faults while an update installs, and what the next run finds: the product
// files, the package, the outcome and its text.
class InstallFault : public testing::Test {
protected:
    void SetUp() override {
        oldFiles = {{"version.txt", "Quorvel 1.0"}, {"docs/readme.txt", "old readme"}};
        newFiles = {{"version.txt", "Quorvel 2.0"},
                    {"docs/readme.txt", "new readme"},
                    {"docs/new/notes.txt", "notes"},
                    {"quorvel.dat", Noise(300000, 1)}};
        package = Pack(newFiles);
        PutOldProduct(folder.Path());
    }

    std::string Pack(const Files& files) {
        const fs::path cab = work / ("pkg" + std::to_string(++m_packs) + ".cab");
        MakeCabinetFile(cab, work / ("src" + std::to_string(m_packs)), files);
        return ReadFile(cab);
    }
    // The old product, without a package.
    void PutOldProduct(const fs::path& root) {
        fs::remove(root / "DirevidUreziv.cab");
        for (const auto& [name, bytes] : newFiles)
            fs::remove(root / name);
        fs::remove_all(root / "docs/new");
        for (const auto& [name, bytes] : oldFiles)
            WriteFile(root / name, bytes);
    }
    // A new server with the package (and, with a key, its statement).
    void Publish(LocalHttpServer& on, const std::string& bytes, const TSigningKey* signer) const {
        HttpReply reply;
        reply.lastModified = kServerTime;
        on.ServeBytes(kPath, bytes, reply);
        if (signer)
            on.ServeBytes(std::string(kPath) + ".release", PackageStatement(*signer, bytes, 3));
    }
    std::unique_ptr<LocalHttpServer> Serve(const std::string& bytes, const TSigningKey* signer = nullptr) {
        auto on = std::make_unique<LocalHttpServer>();
        Publish(*on, bytes, signer);
        return on;
    }
    // The same from a process of its own, for a test that forks the run.
    std::unique_ptr<HttpServerProcess> ServeApart(const std::string& bytes,
                                                  const TSigningKey* signer = nullptr) {
        return std::make_unique<HttpServerProcess>([&](LocalHttpServer& on) { Publish(on, bytes, signer); });
    }
    TUpdateSettings Settings(const fs::path& root, const std::string& url = {},
                             const TSigningKey* signer = nullptr, TFileOps* ops = nullptr) const {
        TUpdateSettings settings;
        settings.folder = QString::fromStdString(root.string() + "/");
        settings.url = QString::fromStdString(url);
        if (signer)
            settings.key = QString::fromStdString(signer->PublicKey().Base64());
        settings.ops = ops;
        return settings;
    }
    // A run against a LocalHttpServer or an HttpServerProcess.
    template <class Server>
    TUpdateOutcome Run(const Server& on, TFileOps* ops = nullptr, const TSigningKey* signer = nullptr,
                       const fs::path& root = {}) {
        TUpdate update(Settings(root.empty() ? folder.Path() : root, on.Url(kPath), signer, ops));
        TWebCopy engine;
        return update.Run(engine);
    }
    // What a new start does first.
    bool Recover() { return TUpdate(Settings(folder.Path())).Recover(); }
    FolderSnapshot Product(const fs::path& root) const { return TakeSnapshot(root, {"DirevidUreziv.cab"}); }
    bool Has(const Files& files) const {
        return std::all_of(files.begin(), files.end(),
                           [&](const auto& file) { return ReadFile(folder / file.first) == file.second; });
    }
    bool InstalledNew() const { return Has(newFiles); }
    // The old product, and nothing of the new one.
    bool StillOld() const {
        return Has(oldFiles) && !fs::exists(folder / "quorvel.dat") && !fs::exists(folder / "docs/new");
    }
    void ExpectTheNextRunInstalls() {
        const auto on = Serve(package);
        const TUpdateOutcome outcome = Run(*on);
        EXPECT_EQ(outcome.reason, TUpdateReason::Installed);
        EXPECT_EQ(outcome.message.toStdString(), UpdateTexts::kSuccess);
        EXPECT_TRUE(InstalledNew());
        EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
    }

    TempDir work;
    TempDir folder;
    Files oldFiles, newFiles;
    std::string package;

private:
    int m_packs = 0;
};

TEST_F(InstallFault, AFailedOrInterruptedInstallLeavesTheProductAndNoPackageAndTheNextRunInstalls) {
    std::string damaged = package;
    damaged[damaged.size() - 100] ^= 0x5A; // inside the last data block: its checksum no longer holds
    const struct {
        const char* what;
        bool damagedPackage;
        int failRename;
        int killAfterRename;
    } cases[] = {
        {"a damaged package", true, 0, 0},
        {"a commit that fails half-way", false, 4, 0},
        {"a kill half-way through the commit", false, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PutOldProduct(folder.Path());
        const auto before = Product(folder.Path());
        const auto on = ServeApart(c.damagedPackage ? damaged : package);
        FaultyOps ops;
        ops.failRename = c.failRename;
        ops.killAfterRename = c.killAfterRename;
        if (c.killAfterRename) {
            const int status = RunInChild([&] { return static_cast<int>(Run(*on, &ops).reason); });
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
            EXPECT_TRUE(fs::exists(folder / ".DirevidUreziv.journal"));
        } else {
            const TUpdateOutcome outcome = Run(*on, &ops);
            EXPECT_EQ(outcome.reason, TUpdateReason::InstallFailed);
            EXPECT_EQ(outcome.message.toStdString(), UpdateTexts::kError);
        }
        EXPECT_TRUE(Recover());
        EXPECT_EQ(Product(folder.Path()), before);
        EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab"));
        EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
        ExpectTheNextRunInstalls();
    }

    // A journal that is no journal is set aside with its rollback folder,
    // which may hold the only copies of old files, and updates go on.
    PutOldProduct(folder.Path());
    WriteFile(folder / ".DirevidUreziv.journal", "quorvel install journal 1\nfile 1 vers");
    WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "the only copy of 0.9");
    ExpectTheNextRunInstalls();
    std::vector<std::string> setAside;
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        if (entry.path().filename().string().find(".damaged-") != std::string::npos)
            setAside.push_back(entry.path().filename().string());
    std::sort(setAside.begin(), setAside.end());
    ASSERT_EQ(setAside.size(), 2u);
    EXPECT_TRUE(setAside[0].starts_with(".DirevidUreziv.journal.damaged-2"));
    EXPECT_EQ(ReadFile(folder / setAside[1] / "version.txt"), "the only copy of 0.9");
}

// The release record goes with the files it names, and a package that did
// not install never passes for the installed one.
TEST_F(InstallFault, AKillAtAnyPointOfTheInstallLeavesTheOldOrTheNewReleaseAndNothingOfOurs) {
    const TSigningKey key = NewSigningKey();
    const auto on = ServeApart(package, &key);
    const int killed = KillAtEveryCall(
        [&] {
            PutOldProduct(folder.Path());
            WriteFile(folder / kRecord, "2\n");
        },
        [&](TFileOps& ops) { return Run(*on, &ops, &key).reason == TUpdateReason::Installed; },
        [&](bool wasKilled, bool installed) {
            if (!wasKilled) {
                EXPECT_TRUE(installed);
                EXPECT_TRUE(InstalledNew());
                EXPECT_EQ(ReadFile(folder / kRecord), "3\n");
                return;
            }
            ASSERT_TRUE(Recover());
            EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
            if (StillOld()) {
                EXPECT_EQ(ReadFile(folder / kRecord), "2\n");
                EXPECT_TRUE(!fs::exists(folder / "DirevidUreziv.cab") ||
                            fs::last_write_time(folder / "DirevidUreziv.cab") <
                                fs::file_time_type::clock::from_sys(
                                    std::chrono::sys_seconds(std::chrono::seconds(kServerTime))));
            } else {
                EXPECT_TRUE(InstalledNew());
                EXPECT_EQ(ReadFile(folder / kRecord), "3\n");
            }
        });
    // The backup takes a step or two; staging, journal, commit and clean-up
    // many more.
    EXPECT_GT(killed, 20);
}

TEST_F(InstallFault, WhatIsUnpackedIsTheBackupThatWasChecked) {
    WriteFile(folder / "DirevidUreziv.cab", package);
    const std::string other = Pack({{"version.txt", "Quorvel 6.6.6"}, {"planted.txt", "never checked"}});
    // Given the bytes the unpacking reads; once it has begun, another
    // cabinet takes the backup's name.
    struct SwappingCheck : TBackupCheck {
        std::function<void()> swap;
        std::string given;
        void Add(const char* data, std::size_t size) override {
            if (given.empty())
                swap();
            given.append(data, size);
        }
        bool Matches(int, bool whole) override { return whole; }
    } check;
    check.swap = [&] {
        WriteFile(work / "swap.cab", other);
        fs::rename(work / "swap.cab", folder / "DirevidUreziv_bu.cab");
    };
    TCABFile cab;
    const bool installed =
        InstallPackage(cab, QString::fromStdString(folder.Slash()), QStringLiteral("DirevidUreziv.cab"),
                       QStringLiteral("DirevidUreziv_bu.cab"), TFileOps::System(), &check);
    EXPECT_TRUE(installed);
    EXPECT_TRUE(check.given == package);
    EXPECT_TRUE(InstalledNew());
    EXPECT_FALSE(fs::exists(folder / "planted.txt"));
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
}

// Files of ours that another user made, a folder others may change, or
// another updater at work: the run does nothing there and says why; cleared,
// the folder takes updates again.
TEST_F(InstallFault, NothingIsDoneInAFolderOfOthersOrAnotherUpdaterHolds) {
    int otherUpdater = -1;
    const struct {
        const char* what;
        bool needsRoot;
        std::function<void()> plant;
        TUpdateReason reason;
        const char* message;
    } cases[] = {
        {"a journal of another user", true,
         [&] {
             // Undoing it would put the "old" version.txt of its rollback folder in place.
             WriteFile(folder / ".DirevidUreziv.journal",
                       "quorvel install journal 1\nfile 1 version.txt\nend\n");
             WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "planted");
             lchown((folder / ".DirevidUreziv.journal").c_str(), 65534, 65534);
         },
         TUpdateReason::RecoveryFailed, UpdateTexts::kRecoveryFailed},
        {"a staging folder of another user", true,
         [&] {
             WriteFile(folder / ".DirevidUreziv.staging/version.txt", "planted");
             lchown((folder / ".DirevidUreziv.staging").c_str(), 65534, 65534);
         },
         TUpdateReason::RecoveryFailed, UpdateTexts::kRecoveryFailed},
        {"an update folder others may write", true, [&] { fs::permissions(folder.Path(), fs::perms(0777)); },
         TUpdateReason::RecoveryFailed, UpdateTexts::kRecoveryFailed},
        {"an install under way in another updater", false,
         [&] {
             WriteFile(folder / ".DirevidUreziv.journal",
                       "quorvel install journal 1\nfile 1 version.txt\nend\n");
             WriteFile(folder / ".DirevidUreziv.rollback/version.txt", "Quorvel 1.0");
             WriteFile(folder / "version.txt", "Quorvel 2.0");
             otherUpdater = open((folder / kLockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
             struct flock whole {};
             whole.l_type = F_WRLCK;
             ASSERT_EQ(fcntl(otherUpdater, F_OFD_SETLK, &whole), 0);
         },
         TUpdateReason::Busy, UpdateTexts::kBusy},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsRoot && getuid() != 0)
            continue; // files of another user need root
        PutOldProduct(folder.Path());
        c.plant();
        const auto before = TakeSnapshot(folder.Path());
        const auto on = Serve(package);
        const TUpdateOutcome outcome = Run(*on);
        EXPECT_EQ(outcome.reason, c.reason);
        EXPECT_EQ(outcome.message.toStdString(), c.message);
        EXPECT_EQ(on->RequestCount(kPath), 0);
        EXPECT_EQ(TakeSnapshot(folder.Path()), before);
        if (otherUpdater >= 0) {
            // That updater was killed: the next run undoes its install.
            close(otherUpdater);
            otherUpdater = -1;
            ASSERT_TRUE(Recover());
            EXPECT_EQ(ReadFile(folder / "version.txt"), "Quorvel 1.0");
        }
        // Cleared by hand, the folder takes updates again.
        fs::permissions(folder.Path(), fs::perms(0700));
        for (const std::string& name : LeftoversOfOurs(folder.Path()))
            fs::remove_all(folder / name);
        ExpectTheNextRunInstalls();
    }
}

TEST_F(InstallFault, APackageLargerUnpackedThanTheFreeSpaceIsRefusedBeforeAnythingChanges) {
    if (getuid() != 0)
        GTEST_SKIP() << "mounting a small file system needs root";
    TempDir mount;
    if (::mount("tmpfs", mount.Path().c_str(), "tmpfs", 0, "size=2m,mode=0700") != 0)
        GTEST_SKIP() << "tmpfs cannot be mounted here";
    newFiles["big.bin"] = std::string(16 << 20, '\0'); // small packed, 16 MiB unpacked
    const auto on = Serve(Pack(newFiles));
    PutOldProduct(mount.Path());
    const auto before = Product(mount.Path());
    const TUpdateOutcome outcome = Run(*on, nullptr, nullptr, mount.Path());
    EXPECT_EQ(outcome.reason, TUpdateReason::InstallFailed);
    EXPECT_EQ(outcome.message.toStdString(), UpdateTexts::kError);
    EXPECT_EQ(Product(mount.Path()), before);
    EXPECT_FALSE(fs::exists(mount / "DirevidUreziv.cab"));
    EXPECT_EQ(LeftoversOfOurs(mount.Path()), std::vector<std::string>());
    umount2(mount.Path().c_str(), MNT_DETACH);
}

} // namespace
