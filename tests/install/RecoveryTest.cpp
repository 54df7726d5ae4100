#include "InstallFixture.h"

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

const char* const kJournal = ".DirevidUreziv.journal";
const char* const kRollback = ".DirevidUreziv.rollback";

class Recovery : public InstallFixture {
protected:
    // An install killed half-way: the new a.txt in, the old one aside.
    void PutInterruptedInstall(const std::string& journal) {
        WriteFile(folder / kJournal, journal);
        WriteFile(folder / kRollback / "a.txt", "old");
        WriteFile(folder / "a.txt", "new");
    }
    std::vector<std::string> SetAside() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            if (entry.path().filename().string().find(".damaged-") != std::string::npos)
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Recovery, AJournalThatCannotBeReadNowIsKeptForALaterTry) {
    if (getuid() != 0)
        GTEST_SKIP() << "switching to a user without rights needs root";
    PutInterruptedInstall("quorvel install journal 1\nfile 1 a.txt\nend\n");
    for (const auto& entry : fs::recursive_directory_iterator(folder.Path()))
        lchown(entry.path().c_str(), 65534, 65534);
    lchown(folder.Path().c_str(), 65534, 65534);
    // The user's own journal, that the user may not read for now.
    fs::permissions(folder / kJournal, fs::perms::none);
    auto recoverAsNobody = [&] {
        const int status = RunInChild([&] {
            if (setgid(65534) != 0 || setuid(65534) != 0)
                return 9;
            return static_cast<int>(Recover());
        });
        EXPECT_TRUE(WIFEXITED(status));
        return static_cast<TStagedInstall::TRecovery>(WEXITSTATUS(status));
    };
    EXPECT_EQ(recoverAsNobody(), TStagedInstall::TRecovery::Failed);
    EXPECT_EQ(SetAside(), std::vector<std::string>());
    EXPECT_TRUE(fs::exists(folder / kJournal));
    EXPECT_EQ(ReadFile(folder / kRollback / "a.txt"), "old");

    fs::permissions(folder / kJournal, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(recoverAsNobody(), TStagedInstall::TRecovery::RolledBack);
    EXPECT_EQ(ReadFile(folder / "a.txt"), "old");
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
}

TEST_F(Recovery, ADamagedJournalAndItsRollbackFolderAreSetAsideUnderOneStampEvenAcrossAKill) {
    PutInterruptedInstall("quorvel install journal 1\nfile 1 a.tx");
    // Killed right after the rollback folder was set aside, before its journal.
    FaultyOps ops;
    ops.killAfterRename = 1;
    const int status = RunInChild([&] { return static_cast<int>(Recover(ops)); });
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    EXPECT_EQ(Recover(), TStagedInstall::TRecovery::Interrupted);
    const std::vector<std::string> names = SetAside();
    ASSERT_EQ(names.size(), 2u);
    ASSERT_TRUE(names[0].starts_with(kJournal));
    ASSERT_TRUE(names[1].starts_with(kRollback));
    EXPECT_EQ(names[0].substr(std::string(kJournal).size()), names[1].substr(std::string(kRollback).size()));
    EXPECT_EQ(ReadFile(folder / names[1] / "a.txt"), "old");
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
}

} // namespace
