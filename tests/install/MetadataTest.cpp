#include "InstallFixture.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

// Every extended attribute of a file (its access list and capabilities
// included), by name.
std::map<std::string, std::string> Attributes(const fs::path& path) {
    std::map<std::string, std::string> found;
    std::string names(65536, '\0');
    const ssize_t size = llistxattr(path.c_str(), names.data(), names.size());
    for (std::size_t at = 0; size > 0 && at < static_cast<std::size_t>(size);) {
        const std::string name(names.data() + at);
        std::string value(65536, '\0');
        const ssize_t length = lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
        found[name] = value.substr(0, length < 0 ? 0 : static_cast<std::size_t>(length));
        at += name.size() + 1;
    }
    return found;
}

struct stat Status(const fs::path& path) {
    struct stat st {};
    lstat(path.c_str(), &st);
    return st;
}

class Metadata : public InstallFixture {
protected:
    void TearDown() override { umask(m_umask); }
    mode_t m_umask = umask(077);
};

TEST_F(Metadata, AReplacedFileKeepsWhatItWasToEveryoneAndNewOnesTakeTheirFoldersMode) {
    if (getuid() != 0)
        GTEST_SKIP() << "giving a file to another group and capabilities need root";
    fs::permissions(folder.Path(), fs::perms(0755));
    WriteFile(folder / "tool", "old tool");
    ASSERT_EQ(chown((folder / "tool").c_str(), 0, 1), 0); // root:daemon
    ASSERT_EQ(chmod((folder / "tool").c_str(), 02750), 0);
    ASSERT_EQ(setxattr((folder / "tool").c_str(), "user.origin", "vendor", 6, 0), 0);
    ASSERT_EQ(std::system(("setfacl -m u:nobody:rx '" + (folder / "tool").string() + "'").c_str()), 0);
    // A file capability (revision 2: binding low ports, permitted).
    const unsigned char capability[20] = {0, 0, 0, 2, 0, 4, 0, 0};
    const bool withCapability =
        setxattr((folder / "tool").c_str(), "security.capability", capability, sizeof capability, 0) == 0;
    const struct stat old = Status(folder / "tool");
    const auto oldAttributes = Attributes(folder / "tool");
    ASSERT_TRUE(oldAttributes.count("user.origin") && oldAttributes.count("system.posix_acl_access"));

    MakePackage({{"tool", "new tool"}, {"notes.txt", "new"}, {"more/deep/notes.txt", "new"}});
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(folder / "tool"), "new tool");
    const struct stat now = Status(folder / "tool");
    EXPECT_EQ(now.st_uid, old.st_uid);
    EXPECT_EQ(now.st_gid, old.st_gid);
    EXPECT_EQ(now.st_mode & 07777, old.st_mode & 07777);
    EXPECT_EQ(Attributes(folder / "tool"), oldAttributes);
    EXPECT_EQ(Attributes(folder / "tool").count("security.capability"), withCapability ? 1u : 0u);
    // Under umask 077 others could not read these.
    EXPECT_EQ(Status(folder / "notes.txt").st_mode & 07777, 0644u);
    EXPECT_EQ(Status(folder / "more").st_mode & 07777, 0755u);
    EXPECT_EQ(Status(folder / "more/deep").st_mode & 07777, 0755u);
    EXPECT_EQ(Status(folder / "more/deep/notes.txt").st_mode & 07777, 0644u);
}

TEST_F(Metadata, NewEntriesInAFolderThatGivesItsGroupTakeItsGroup) {
    if (getuid() != 0)
        GTEST_SKIP() << "giving a folder to another group needs root";
    fs::create_directory(folder / "shared");
    ASSERT_EQ(chown((folder / "shared").c_str(), 0, 1), 0);
    ASSERT_EQ(chmod((folder / "shared").c_str(), 02770), 0);
    MakePackage({{"shared/a.txt", "new"}, {"shared/sub/b.txt", "new"}});
    ASSERT_TRUE(Install());
    for (const char* name : {"shared/a.txt", "shared/sub", "shared/sub/b.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Status(folder / name).st_gid, 1u);
    }
    EXPECT_EQ(Status(folder / "shared/a.txt").st_mode & 07777, 0660u);
    EXPECT_EQ(Status(folder / "shared/sub").st_mode & 07777, 02770u);
}

// A program the package adds can be run by whoever may read it; a file the
// package replaces keeps its mode whatever the package marks.
TEST_F(Metadata, NewFilesMarkedExecutableMayBeRunByWhoeverMayReadThem) {
    fs::permissions(folder.Path(), fs::perms(0755));
    fs::create_directory(folder / "private");
    fs::permissions(folder / "private", fs::perms(0750));
    WriteFile(folder / "tool", "old tool");
    fs::permissions(folder / "tool", fs::perms(0640));
    MakePackage(
        {{"tool", "new tool"}, {"run", "#!/bin/sh\n"}, {"private/run", "#!/bin/sh\n"}, {"notes.txt", "new"}});
    for (const char* name : {"tool", "run", "private/run"})
        MarkExecutable(work / "pkg.cab", name);
    PutPackageBack();
    ASSERT_TRUE(Install());
    EXPECT_EQ(ReadFile(folder / "run"), "#!/bin/sh\n");
    EXPECT_EQ(Status(folder / "run").st_mode & 07777, 0755u);
    EXPECT_EQ(Status(folder / "private/run").st_mode & 07777, 0750u);
    EXPECT_EQ(Status(folder / "notes.txt").st_mode & 07777, 0644u);
    EXPECT_EQ(Status(folder / "tool").st_mode & 07777, 0640u);

    // Plain extraction: the umask's read bits decide (077 here).
    TempDir target;
    TCABFile cab;
    cab.SetCABFile(QString::fromStdString((work / "pkg.cab").string()));
    cab.SetTargetPath(QString::fromStdString(target.Slash()));
    ASSERT_TRUE(cab.ExtractAll());
    EXPECT_EQ(Status(target / "run").st_mode & 07777, 0700u);
    EXPECT_EQ(Status(target / "notes.txt").st_mode & 07777, 0600u);
}

} // namespace
