#include "InstallFixture.h"

#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

class Ownership : public InstallFixture {};

// A file at one of our names that another user made, or may change through
// a second link, is never believed: nothing is done in the folder.
TEST_F(Ownership, FilesOfOursThatAreNotTheRunningUsersStopTheInstall) {
    WriteFile(work / "theirs", "18446744073709551615\n");
    const struct {
        const char* what;
        const char* name;
        bool otherUser;
    } cases[] = {
        {"a record of another user", ".DirevidUreziv.release", true},
        {"a record with a second link", ".DirevidUreziv.release", false},
        {"a backup with a second link", "DirevidUreziv_bu.cab", false},
        {"a journal of another user", ".DirevidUreziv.journal", true},
    };
    WriteFile(folder / "a.txt", "old");
    MakePackage({{"a.txt", "new"}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.otherUser && getuid() != 0)
            continue; // files of another user need root
        if (c.otherUser) {
            WriteFile(folder / c.name, "18446744073709551615\n");
            ASSERT_EQ(lchown((folder / c.name).c_str(), 65534, 65534), 0);
        } else {
            fs::create_hard_link(work / "theirs", folder / c.name);
        }
        const auto before = TakeSnapshot(folder.Path());
        TCABFile cab;
        TStagedInstall install(Folder(), kPackage, TFileOps::System());
        install.AddLeftover(QStringLiteral("DirevidUreziv_bu.cab"));
        install.StageFile(QStringLiteral(".DirevidUreziv.release"), "7\n");
        EXPECT_EQ(install.Recover(), TStagedInstall::TRecovery::Untrusted);
        EXPECT_FALSE(install.Install(cab, QString::fromStdString((folder / "DirevidUreziv.cab").string())));
        EXPECT_EQ(install.Refusal(), TStagedInstall::TRefusal::Untrusted);
        EXPECT_EQ(TakeSnapshot(folder.Path()), before);
        fs::remove(folder / c.name);
    }
    EXPECT_EQ(ReadFile(work / "theirs"), "18446744073709551615\n");
}

} // namespace
