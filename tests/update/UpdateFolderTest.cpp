#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

// The updater run on a folder it must not update: it says why, exits 1 and
// never reaches the server (the address answers nothing).
struct TRefused {
    int status;
    std::string output;
};

TRefused RunOn(const TempDir& work, const std::string& folder) {
    const std::string out = work.Slash() + "out.txt";
    const std::string command = "LSAN_OPTIONS=\"$LSAN_OPTIONS:print_suppressions=0\" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM '" QUORVEL_UPDATER
                                "' --update --folder '" +
                                folder + "' --url http://127.0.0.1:9/DirevidUreziv.cab >'" + out + "' 2>&1";
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

} // namespace
