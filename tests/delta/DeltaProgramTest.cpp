#include "DeltaMaker.h"
#include "DeltaTestSupport.h"
#include "InstallTestSupport.h"
#include "TCABFile.h"
#include "TDeltaStager.h"
#include "TFileOps.h"
#include "TStagedInstall.h"
#include "TUniqueFd.h"

#include <fcntl.h>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

const QString kPackage = QStringLiteral("app.cab");

// Installs the cabinet whole into folder, as the package of that folder.
bool InstallFull(const fs::path& cab, const fs::path& folder) {
    fs::copy_file(cab, folder / "app.cab", fs::copy_options::overwrite_existing);
    TCABFile reader;
    TStagedInstall install(QString::fromStdString(folder.string()), kPackage, TFileOps::System());
    return install.Install(reader, QString::fromStdString((folder / "app.cab").string()));
}

// What a user finds in the product folder: kinds, modes and bytes (the
// times differ between a cabinet's files and those a delta builds).
FolderSnapshot Product(const fs::path& folder) {
    FolderSnapshot snapshot =
        TakeSnapshot(folder, {"app.cab", TStagedInstall::LockName(kPackage).toStdString()});
    for (auto& [name, entry] : snapshot)
        entry.mtime = 0;
    return snapshot;
}

} // namespace

// A release's programs arrive through a delta with the modes a full install
// of that release gives them: a new program may be run by whoever may read
// it, a changed one keeps its mode, and a file that only now becomes a
// program keeps its mode too, as every replaced file does.
TEST(DeltaPrograms, EndWithTheModesOfAFullInstall) {
    TempDir dir;
    const std::string tool = RandomBytes(64 << 10, 1), data = RandomBytes(64 << 10, 2);
    MakeCab(dir / "old.cab", dir / "old-files",
            {{"bin/tool", tool}, {"lib/data", data}, {"readme.txt", "same\n"}});
    MarkExecutable(dir / "old.cab", "bin/tool");
    MakeCab(dir / "new.cab", dir / "new-files",
            {{"bin/tool", Changed(tool, 100, 50, 3)},
             {"bin/helper", "#!/bin/sh\necho helper\n"},
             {"lib/data", Changed(data, 100, 50, 4)},
             {"notes.txt", "new\n"},
             {"readme.txt", "same\n"}});
    for (const char* name : {"bin/tool", "bin/helper", "lib/data"})
        MarkExecutable(dir / "new.cab", name);
    const DeltaMaker::TResult made = DeltaMaker::Make((dir / "old.cab").string(), (dir / "new.cab").string(),
                                                      (dir / "app.cab.from-1").string());
    ASSERT_TRUE(made.ok) << made.error;
    ASSERT_EQ(made.patches, 2u);

    for (const char* name : {"full", "delta"}) {
        fs::create_directory(dir / name);
        fs::permissions(dir / name, fs::perms(0755));
        ASSERT_TRUE(InstallFull(dir / "old.cab", dir / name));
    }
    ASSERT_TRUE(InstallFull(dir / "new.cab", dir / "full"));
    const TUniqueFd deltaFd(open((dir / "app.cab.from-1").c_str(), O_RDONLY | O_CLOEXEC));
    TDeltaStager delta(deltaFd.Get());
    TStagedInstall install(QString::fromStdString((dir / "delta").string()), kPackage, TFileOps::System());
    ASSERT_TRUE(install.Install(delta));

    const FolderSnapshot full = Product(dir / "full");
    EXPECT_EQ(full.at("bin/helper").mode, 0755u);
    EXPECT_EQ(full.at("bin/tool").mode, 0755u);
    EXPECT_EQ(full.at("lib/data").mode, 0644u);
    EXPECT_TRUE(Product(dir / "delta") == full);
}
