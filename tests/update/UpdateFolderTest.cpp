#include "LocalHttpServer.h"
#include "TempDir.h"

#include "TargetFile.h"
#include "UpdateTexts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <pwd.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

// The updater run on a folder it must not update: it says why, exits 1 and
// never reaches the server (the address answers nothing).
struct TRefused {
    int status;
    std::string output;
};

// `as` goes before the program (a change of user).
TRefused RunOn(const TempDir& work, const std::string& folder,
               const std::string& url = "http://127.0.0.1:9/DirevidUreziv.cab", const std::string& as = "") {
    const std::string out = work.Slash() + "out.txt";
    const std::string command = "LSAN_OPTIONS=\"$LSAN_OPTIONS:print_suppressions=0\" env -u DISPLAY -u "
                                "WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                as + "'" QUORVEL_UPDATER "' --update --folder '" + folder + "' --url " + url +
                                " >'" + out + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

TEST(UpdateFolder, SystemFoldersAndFoldersWithoutTheRightToWriteAreRefusedByName) {
    TempDir work;
    // /usr, also reached through a link and through a folder not made yet.
    fs::create_directory_symlink("/usr/share", work.Path() / "shared");
    for (const std::string& folder : {std::string("/usr/lib/product"), work.Slash() + "shared/product"}) {
        const TRefused refused = RunOn(work, folder);
        EXPECT_EQ(refused.status, 1) << folder;
        EXPECT_EQ(refused.output, folder +
                                      " is under /usr, which the system's package manager owns: an updater "
                                      "updates a product's own folder (for example under /opt), never that "
                                      "one.\n");
    }
    const std::string missing = work.Slash() + "missing";
    const TRefused refused = RunOn(work, missing);
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, "cannot write to " + missing + "\n");
}

// A partial download of the package that another user put in a shared
// (sticky) folder is another user's file at a name of ours: said as such,
// and left as it is.
TEST(UpdateFolder, AnotherUsersPartialDownloadIsReportedAsAFolderNotOursAndLeftAlone) {
    // getpwnam's answer lasts until its next call: each is copied at once.
    const passwd* found = getpwnam("nobody");
    const std::optional<passwd> nobody = found ? std::optional(*found) : std::nullopt;
    found = getpwnam("daemon");
    const std::optional<passwd> daemon = found ? std::optional(*found) : std::nullopt;
    if (getuid() != 0 || !nobody || !daemon)
        GTEST_SKIP() << "files of other users need root, nobody and daemon";
    TempDir work;
    fs::permissions(work.Path(), fs::perms(0755));
    const fs::path shared = work.Path() / "shared";
    fs::create_directory(shared);
    fs::permissions(shared, fs::perms(01777));
    LocalHttpServer server;
    server.ServeBytes("/DirevidUreziv.cab", "a package");
    const std::string url = server.Url("/DirevidUreziv.cab");
    const fs::path part = shared / TargetFile::TemporaryName("DirevidUreziv.cab", url);
    WriteFile(part, "someone else's");
    ASSERT_EQ(chown(part.c_str(), nobody->pw_uid, nobody->pw_gid), 0);

    const TRefused refused = RunOn(work, shared.string(), url,
                                   "setpriv --reuid=" + std::to_string(daemon->pw_uid) +
                                       " --regid=" + std::to_string(daemon->pw_gid) + " --clear-groups ");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.output, std::string(UpdateTexts::kRecoveryFailed) + "\n");
    EXPECT_EQ(ReadFile(part), "someone else's");
    struct stat st {};
    ASSERT_EQ(lstat(part.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid);
}

} // namespace
