#include "DeltaCheck.h"
#include "DeltaMaker.h"
#include "DeltaTestSupport.h"
#include "TDeltaApplier.h"
#include "TFileOps.h"
#include "TUniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>

using namespace quorvel;

namespace {

using TFiles = std::vector<std::pair<std::string, std::string>>;

// Every file below root (links as "->target") by path.
std::map<std::string, std::string> Tree(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const std::string path = fs::relative(item.path(), root).string();
        if (item.is_symlink())
            tree[path] = "->" + fs::read_symlink(item.path()).string();
        else if (item.is_regular_file())
            tree[path] = ReadFile(item.path());
    }
    return tree;
}

// Two releases of a product, the old one installed, and a delta between them.
class Delta : public ::testing::Test {
protected:
    void SetUp() override {
        old = {{"app.bin", RandomBytes(3 << 20, 1)},
               {"lib/core.so", RandomBytes(1 << 20, 2)},
               {"doc/readme.txt", "the same in both\n"},
               {"gone.txt", "only in the old release\n"}};
        next = {{"app.bin", Changed(Changed(old[0].second, 4096, 3000, 10), 2 << 20, 2000, 11)},
                {"lib/core.so", old[1].second},
                {"doc/readme.txt", old[2].second},
                {"doc/new folder/added.txt", "new in this release\n"}};
        MakeCab(dir / "old.cab", dir / "old-files", old);
        MakeCab(dir / "new.cab", dir / "new-files", next);
        ASSERT_EQ(RunShell("mkdir -p '" + Product() + "' && cd '" + Product() + "' && gcab -x '" +
                           (dir / "old.cab").string() + "' >/dev/null"),
                  0);
        fs::create_directories(dir / "staging");
        made = DeltaMaker::Make((dir / "old.cab").string(), (dir / "new.cab").string(), Package());
        ASSERT_TRUE(made.ok) << made.error;
    }

    std::string Product() const { return (dir / "product").string(); }
    std::string Package() const { return (dir / "app.cab.from-1").string(); }

    TDeltaError Apply(TFileOps& ops, const std::string& package) {
        const TUniqueFd delta(open(package.c_str(), O_RDONLY | O_CLOEXEC)),
            product(open(Product().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
            staging(open((dir / "staging").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        TDeltaApplier applier(ops);
        return applier.Apply(delta.Get(), product.Get(), staging.Get());
    }
    TDeltaError Apply(const std::string& package) { return Apply(TFileOps::System(), package); }

    // The delta unpacked, changed by edit (run in its folder), packed again
    // with the manifest first.
    std::string Tampered(const std::string& edit) {
        const fs::path work = dir / "tamper";
        fs::remove_all(work);
        fs::create_directories(work);
        const std::string cd = "cd '" + work.string() + "' && ";
        EXPECT_EQ(RunShell(cd + "gcab -x '" + Package() + "' >/dev/null && " + edit), 0);
        std::string names = fs::exists(work / TDeltaManifest::kName) ? TDeltaManifest::kName : "";
        for (const auto& item : fs::directory_iterator(work))
            if (item.path().filename() != TDeltaManifest::kName)
                names += " " + item.path().filename().string();
        const std::string out = (dir / "tampered.cab").string();
        fs::remove(out);
        EXPECT_EQ(RunShell(cd + "gcab -c -z '" + out + "' " + names + " >/dev/null"), 0);
        return out;
    }

    TempDir dir;
    TFiles old, next;
    DeltaMaker::TResult made;
};

// A write that fails with a chosen error after some bytes went through.
class TFailingOps : public TFileOps {
public:
    TFailingOps(int error, std::size_t after) : m_error(error), m_left(after) {}
    ssize_t Write(int fd, const void* buffer, std::size_t count) override {
        if (count > m_left) {
            errno = m_error;
            return -1;
        }
        m_left -= count;
        return TFileOps::Write(fd, buffer, count);
    }

private:
    int m_error;
    std::size_t m_left;
};

} // namespace

// Applied over the installed old release, the delta builds in the staging
// folder exactly the files that changed or are new, byte for byte, and
// touches nothing else; the vendor's check agrees; the package is small.
TEST_F(Delta, BuildsTheChangedFilesOfTheNewRelease) {
    EXPECT_EQ(made.patches, 1u);
    EXPECT_EQ(made.wholes, 1u);
    EXPECT_EQ(made.unchanged, 2u);
    EXPECT_EQ(made.size, fs::file_size(Package()));
    EXPECT_LT(made.size, 20u << 10);
    const auto installed = Tree(Product());

    ASSERT_EQ(Apply(Package()), TDeltaError::None);
    const std::map<std::string, std::string> expected{{"app.bin", next[0].second},
                                                      {"doc/new folder/added.txt", next[3].second}};
    EXPECT_TRUE(Tree(dir / "staging") == expected);
    EXPECT_TRUE(Tree(Product()) == installed);

    std::string report;
    EXPECT_TRUE(DeltaCheck::Run((dir / "old.cab").string(), Package(), report)) << report;
    EXPECT_FALSE(DeltaCheck::Run((dir / "new.cab").string(), Package(), report));
    EXPECT_NE(report.find("changed: app.bin"), std::string::npos) << report;
}

// Every refusal names its reason, leaves the product folder as it was and
// leaves no file in the staging folder.
TEST_F(Delta, RefusesWithItsReasonAndLeavesNothingBuilt) {
    const auto expectRefused = [&](TDeltaError expected, const std::string& package, TFileOps& ops) {
        const auto installed = Tree(Product());
        EXPECT_EQ(Apply(ops, package), expected);
        EXPECT_TRUE(Tree(dir / "staging").empty());
        EXPECT_TRUE(Tree(Product()) == installed);
    };
    const auto refused = [&](TDeltaError expected, const std::string& package) {
        expectRefused(expected, package, TFileOps::System());
    };
    const std::string manifest = std::string(TDeltaManifest::kName);

    // Installed files that are not the release the delta was made from.
    const fs::path app = fs::path(Product()) / "app.bin";
    WriteFile(app, next[0].second);
    refused(TDeltaError::ChangedBase, Package());
    fs::remove(app);
    refused(TDeltaError::MissingBase, Package());
    WriteFile(dir / "elsewhere", old[0].second);
    fs::create_symlink(dir / "elsewhere", app);
    refused(TDeltaError::MissingBase, Package());
    fs::remove(app);
    WriteFile(app, old[0].second);

    // Damaged or inconsistent packages.
    refused(TDeltaError::BadPatch,
            Tampered("printf 'XXXX' | dd of=f1 bs=1 seek=200 conv=notrunc 2>/dev/null"));
    refused(TDeltaError::ResultMismatch, Tampered("sed -i 's/ 20 f2 / 21 f2 /' " + manifest));
    refused(TDeltaError::Malformed, Tampered("rm " + manifest));
    refused(TDeltaError::Malformed, Tampered("echo extra >" + manifest));
    refused(TDeltaError::Malformed, Tampered("rm f2"));
    refused(TDeltaError::Malformed, Tampered("echo stray >f9"));
    refused(TDeltaError::Malformed, Tampered("sed -i 's| app.bin$| ../app.bin|' " + manifest));
    WriteFile(dir / "not-a-cabinet", "plain text");
    refused(TDeltaError::Malformed, (dir / "not-a-cabinet").string());

    // The staging folder's disk fills up or fails part-way.
    TFailingOps full(ENOSPC, 1 << 20), broken(EIO, 0);
    expectRefused(TDeltaError::NoSpace, Package(), full);
    expectRefused(TDeltaError::IoError, Package(), broken);

    // And the package itself still applies.
    EXPECT_EQ(Apply(Package()), TDeltaError::None);
}

// The applier's memory stays bounded with a patch at the size limit and a
// whole file far above it: it runs in a child whose address space may grow
// by no more than 64 MiB.
TEST(DeltaMemory, ApplierStaysWithinItsBound) {
    TempDir dir;
    const std::string big = RandomBytes(16 << 20, 21);
    std::string huge(96 << 20, 'q');
    for (std::size_t i = 0; i < huge.size(); i += 4096)
        huge[i] = static_cast<char>(i >> 12);
    MakeCab(dir / "old.cab", dir / "old-files", {{"big.bin", big}});
    MakeCab(dir / "new.cab", dir / "new-files",
            {{"big.bin", Changed(big, 8 << 20, 4096, 22)}, {"huge.bin", huge}});
    huge.clear();
    huge.shrink_to_fit();
    fs::create_directories(dir / "product");
    fs::create_directories(dir / "staging");
    fs::copy_file(dir / "old-files" / "big.bin", dir / "product" / "big.bin");
    const DeltaMaker::TResult made =
        DeltaMaker::Make((dir / "old.cab").string(), (dir / "new.cab").string(), (dir / "delta").string());
    ASSERT_TRUE(made.ok) << made.error;
    ASSERT_EQ(made.patches, 1u);

    const TUniqueFd delta(open((dir / "delta").c_str(), O_RDONLY | O_CLOEXEC)),
        product(open((dir / "product").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
        staging(open((dir / "staging").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::ifstream status("/proc/self/status");
        std::string line;
        long long sizeKiB = 0;
        while (std::getline(status, line))
            if (line.starts_with("VmSize:"))
                sizeKiB = std::stoll(line.substr(7));
        const rlim_t limit = static_cast<rlim_t>(sizeKiB + (64 << 10)) << 10;
        const rlimit bound{limit, limit};
        setrlimit(RLIMIT_AS, &bound);
        TDeltaApplier applier(TFileOps::System());
        _exit(applier.Apply(delta.Get(), product.Get(), staging.Get()) == TDeltaError::None ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(fs::file_size(dir / "staging" / "huge.bin"), 96u << 20);
    EXPECT_TRUE(ReadFile(dir / "staging" / "big.bin") == Changed(big, 8 << 20, 4096, 22));
}
