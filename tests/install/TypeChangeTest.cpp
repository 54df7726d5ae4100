#include "InstallFixture.h"

#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

// A release in which a file became a folder ("docs") and a folder a file
// ("bin"), beside a file that is only replaced.
class TypeChange : public InstallFixture {
protected:
    void SetUp() override {
        MakePackage({{"docs/readme.txt", "new readme"}, {"bin", "now a file"}, {"version.txt", "2.0"}});
        PutOldProduct();
        oldProduct = Product();
    }
    void PutOldProduct() {
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            if (entry.path().filename() != "DirevidUreziv.cab")
                fs::remove_all(entry.path());
        WriteFile(folder / "docs", "docs were one file");
        WriteFile(folder / "bin/run", "old program");
        WriteFile(folder / "bin/data/table", "old table");
        WriteFile(folder / "version.txt", "1.0");
    }
    bool InstalledNew() const {
        return Has({{"docs/readme.txt", "new readme"}, {"bin", "now a file"}, {"version.txt", "2.0"}}) &&
               fs::is_directory(folder / "docs");
    }
    // The product as the user sees it: kinds, modes and bytes (the old files
    // are laid out anew for each try, so their times differ).
    FolderSnapshot Product() const {
        FolderSnapshot product = TakeSnapshot(folder.Path(), {"DirevidUreziv.cab"});
        for (auto& [name, entry] : product)
            entry.mtime = 0;
        return product;
    }

    FolderSnapshot oldProduct;
};

TEST_F(TypeChange, AFileThatBecomesAFolderAndAFolderThatBecomesAFileInstall) {
    ASSERT_TRUE(Install());
    EXPECT_TRUE(InstalledNew());
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());

    // Through a link to the folder, the folder it names is installed to.
    PutOldProduct();
    PutPackageBack();
    fs::create_directory_symlink(folder.Path(), work / "linked");
    TCABFile cab;
    TStagedInstall install(QString::fromStdString((work / "linked").string()), kPackage, TFileOps::System());
    EXPECT_TRUE(install.Install(cab, QString::fromStdString((folder / "DirevidUreziv.cab").string())));
    EXPECT_TRUE(InstalledNew());
    EXPECT_TRUE(fs::is_symlink(work / "linked"));
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
}

TEST_F(TypeChange, AKillAtAnyPointLeavesAllOldOrAllNew) {
    ASSERT_TRUE(Install());
    const FolderSnapshot newProduct = Product();
    const int killed = KillAtEveryCall(
        [&] {
            PutOldProduct();
            PutPackageBack();
        },
        [&](TFileOps& ops) { return Install(ops); },
        [&](bool wasKilled, bool installed) {
            if (!wasKilled) {
                EXPECT_TRUE(installed);
                EXPECT_EQ(Product(), newProduct);
                return;
            }
            const TStagedInstall::TRecovery recovery = Recover(); // the next start
            ASSERT_NE(recovery, TStagedInstall::TRecovery::Failed);
            const FolderSnapshot now = Product();
            EXPECT_TRUE(now == oldProduct || now == newProduct);
            EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
        });
    EXPECT_GT(killed, 10);
}

TEST_F(TypeChange, ALinkWhereAFolderGoesIsRefusedAndTheRefusalSaysSo) {
    WriteFile(work / "outside/readme.txt", "outside");
    fs::remove(folder / "docs");
    fs::create_directory_symlink(work / "outside", folder / "docs");
    const FolderSnapshot before = Product();
    TStagedInstall::TRefusal why{};
    EXPECT_FALSE(Install(TFileOps::System(), &why));
    EXPECT_EQ(why, TStagedInstall::TRefusal::LinkInTheWay);
    EXPECT_STRNE(TStagedInstall::RefusalText(why), "");
    EXPECT_EQ(Product(), before);
    EXPECT_EQ(ReadFile(work / "outside/readme.txt"), "outside");
    EXPECT_FALSE(fs::exists(folder / "DirevidUreziv.cab"));
    EXPECT_EQ(LeftoversOfOurs(folder.Path()), std::vector<std::string>());
}

} // namespace
