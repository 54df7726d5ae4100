#include "InstallFixture.h"

#include <sys/resource.h>
#include <sys/wait.h>

using namespace quorvel;

namespace {

class OpenFileLimit : public InstallFixture {};

// The install keeps only a few folders open, so the number of folders in a
// package is no bound; under a limit too low for even those it fails whole.
TEST_F(OpenFileLimit, MoreFoldersThanTheLimitInstallWholeOrNotAtAll) {
    std::map<std::string, std::string> oldFiles, newFiles;
    for (int i = 0; i < 300; ++i) {
        const std::string file = "part" + std::to_string(i) + "/file.txt";
        newFiles[file] = "new " + std::to_string(i);
        oldFiles[file] = "old " + std::to_string(i);
    }
    MakePackage(newFiles);
    for (const rlim_t limit : {24, 48}) {
        SCOPED_TRACE(limit);
        for (const auto& [name, bytes] : oldFiles)
            WriteFile(folder / name, bytes);
        PutPackageBack();
        const int status = RunInChild([&] {
            const rlimit lowered{limit, limit};
            if (setrlimit(RLIMIT_NOFILE, &lowered) != 0)
                return 2;
            return Install() ? 0 : 1;
        });
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 2);
        const bool installed = WEXITSTATUS(status) == 0;
        EXPECT_TRUE(Has(installed ? newFiles : oldFiles));
        EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
        if (limit >= 48) {
            EXPECT_TRUE(installed);
        }
    }
}

} // namespace
