#include "InstallFixture.h"

#include "TFolderLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

// A write lock on the lock file through a description of its own, as
// another updater holds it; -1 when it cannot be had.
int LockAsAnotherUpdater(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDWR | O_CLOEXEC);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    if (fd >= 0 && fcntl(fd, F_OFD_SETLK, &whole) == 0)
        return fd;
    if (fd >= 0)
        close(fd);
    return -1;
}

class FolderLock : public InstallFixture {};

TEST_F(FolderLock, IsHeldByOneUpdaterAndSharedWithinOne) {
    const std::string folderPath = folder.Path().string();
    {
        TFolderLock first;
        ASSERT_EQ(first.Acquire(folderPath, kLockName), TFolderLock::TState::Held);
        struct stat st {};
        ASSERT_EQ(lstat((folder / kLockName).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        EXPECT_EQ(LockAsAnotherUpdater(folder / kLockName), -1);
        {
            // A step of the same run takes it again, and so does an install.
            TFolderLock second;
            EXPECT_EQ(second.Acquire(folderPath, kLockName), TFolderLock::TState::Held);
            MakePackage({{"a.txt", "new"}});
            EXPECT_TRUE(Install());
            EXPECT_TRUE(Has({{"a.txt", "new"}}));
        }
        EXPECT_EQ(LockAsAnotherUpdater(folder / kLockName), -1);
    }
    // Released with the last holder; the file stays.
    const int other = LockAsAnotherUpdater(folder / kLockName);
    ASSERT_GE(other, 0);
    TFolderLock refused;
    EXPECT_EQ(refused.Acquire(folderPath, kLockName), TFolderLock::TState::Busy);
    // An install or a recovery then does nothing, and says why.
    WriteFile(folder / "a.txt", "old");
    PutPackageBack();
    const auto before = TakeSnapshot(folder.Path());
    TStagedInstall::TRefusal why{};
    EXPECT_FALSE(Install(TFileOps::System(), &why));
    EXPECT_EQ(why, TStagedInstall::TRefusal::Busy);
    EXPECT_EQ(Recover(), TStagedInstall::TRecovery::Failed);
    EXPECT_EQ(TakeSnapshot(folder.Path()), before);
    close(other);
}

TEST_F(FolderLock, OneOnTheFolderItselfHoldsNothingUp) {
    // Any user who can read the folder can lock it: that lock is not ours.
    const int reader = open(folder.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(flock(reader, LOCK_EX), 0);
    MakePackage({{"a.txt", "new"}});
    EXPECT_TRUE(Install());
    EXPECT_TRUE(Has({{"a.txt", "new"}}));
    close(reader);
}

TEST_F(FolderLock, ALockFileNotOursIsNeverUsedAndStopsTheInstall) {
    WriteFile(work / "target", "ours");
    const struct {
        const char* what;
        std::function<void()> plant;
    } cases[] = {
        {"a link", [&] { fs::create_symlink(work / "target", folder / kLockName); }},
        {"a second link to a file", [&] { fs::create_hard_link(work / "target", folder / kLockName); }},
        {"a folder", [&] { fs::create_directory(folder / kLockName); }},
        {"a file of another user",
         [&] {
             WriteFile(folder / kLockName, "");
             ASSERT_EQ(lchown((folder / kLockName).c_str(), 65534, 65534), 0);
         }},
    };
    MakePackage({{"a.txt", "new"}});
    WriteFile(folder / "a.txt", "old");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what) == "a file of another user" && getuid() != 0)
            continue; // files of another user need root
        c.plant();
        const auto before = TakeSnapshot(folder.Path());
        TFolderLock lock;
        EXPECT_EQ(lock.Acquire(folder.Path().string(), kLockName), TFolderLock::TState::Untrusted);
        TStagedInstall::TRefusal why{};
        EXPECT_FALSE(Install(TFileOps::System(), &why));
        EXPECT_EQ(why, TStagedInstall::TRefusal::Untrusted);
        EXPECT_EQ(Recover(), TStagedInstall::TRecovery::Untrusted);
        EXPECT_EQ(TakeSnapshot(folder.Path()), before);
        EXPECT_EQ(ReadFile(work / "target"), "ours");
        fs::remove(folder / kLockName);
    }
}

} // namespace
