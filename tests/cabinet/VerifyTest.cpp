#include "CabBuilder.h"
#include "CabCallbacks.h"
#include "CabTestSupport.h"
#include "cabfiles.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace quorvel;

namespace {

bool Verify(const fs::path& cab, const std::string& target) {
    TCABFile c;
    c.SetCABFile(QString::fromStdString(cab.string()));
    c.SetTargetPath(QString::fromStdString(target));
    return c.VerifyAll();
}

TEST(CabVerify, AcceptsGoodCabinetsAndWritesNothing) {
    TempDir work, target, src;
    WriteFile(src / "a/b.txt", std::string(50000, 'q'));
    WriteFile(src / "c.bin", "xyz");
    MakeGcab(work / "z.cab", src.Path(), {"a/b.txt", "c.bin"}, true);
    CabBuilder noSums;
    noSums.checksums = false;
    noSums.files = {{"n.txt", std::string(40000, 'n')}};
    noSums.Write(work / "nosum.cab");
    CabBuilder sums;
    sums.files = noSums.files;
    sums.Write(work / "sum.cab");
    TwoFileCabinet(work / "two.cab");
    Tree files;
    CabLayout mixed = MixedLayout(files);
    mixed.reserve = true;
    mixed.headerReserve = 8;
    mixed.folderReserve = 4;
    mixed.dataReserve = 2;
    WriteFile(work / "reserved.cab", mixed.Build());
    for (const fs::path& cab :
         {work / "two.cab", work / "reserved.cab", work / "z.cab", work / "nosum.cab", work / "sum.cab"})
        EXPECT_TRUE(Verify(cab, target.Slash())) << cab;
    EXPECT_TRUE(ScanTree(target.Path()).empty());
}

TEST(CabVerify, RejectsDamagedTruncatedUnsafeAndMissingCabinets) {
    TempDir work, target;
    CabBuilder damaged;
    damaged.files = {{"a.txt", std::string(1000, 'a')}, {"b.txt", std::string(70000, 'b')}};
    damaged.corruptBlock = 2; // the last block: only a full pass notices it
    damaged.Write(work / "damaged.cab");
    const std::string whole = CabBuilder{damaged.files, true, -1, 32768}.Build();
    WriteFile(work / "short.cab", whole.substr(0, whole.size() - 10));
    CabBuilder unsafe;
    unsafe.files = {{"..\\evil", "x"}};
    unsafe.Write(work / "unsafe.cab");
    WriteFile(work / "text.cab", "hello");
    for (const char* name : {"damaged.cab", "short.cab", "unsafe.cab", "text.cab", "missing.cab"})
        EXPECT_FALSE(Verify(work / name, target.Slash())) << name;
    const auto cabs = DamagedCabinets();
    for (const char* name :
         {"folder_index_out_of_range", "file_beyond_its_folder", "mszip_undecodable", "no_data"}) {
        WriteFile(work / name, cabs.at(name));
        EXPECT_FALSE(Verify(work / name, target.Slash())) << name;
    }
    EXPECT_TRUE(ScanTree(target.Path()).empty());
}

TEST(CabErrorBox, ShownOnlyForFailedWritesClosesAndSeeks) {
    MessageRecorder boxes;
    TempDir work, target;
    CabBuilder b;
    b.files = {{"f.txt", "text"}};
    b.Write(work / "f.cab");
    errno = ENOENT; // an error left over from an earlier call is not reported
    TCABFile cab;
    cab.SetCABFile(QString::fromStdString((work / "f.cab").string()));
    cab.SetTargetPath(QString::fromStdString(target.Slash()));
    EXPECT_TRUE(cab.ExtractAll());
    EXPECT_TRUE(boxes.texts.empty());

    const int readOnly = open((target / "f.txt").c_str(), O_RDONLY);
    EXPECT_EQ(CabWrite(readOnly, "x", 1), -1);
    EXPECT_EQ(CabSeek(readOnly, -5, SEEK_SET), -1);
    EXPECT_EQ(CabClose(readOnly), 0);
    EXPECT_EQ(CabClose(readOnly), -1);
    ASSERT_EQ(boxes.texts.size(), 3u);
    EXPECT_EQ(boxes.titles[0], "Error");
    EXPECT_EQ(boxes.texts[0], QString::fromLocal8Bit(strerror(EBADF)));
    EXPECT_EQ(boxes.texts[1], QString::fromLocal8Bit(strerror(EINVAL)));
}

TEST(CabErrorBox, AFullTargetShowsTheErrorAndFails) {
    TempDir work, target;
    CabBuilder b;
    b.files = {{"small.txt", "fits"}, {"large.bin", std::string(70000, 'L')}};
    b.Write(work / "big.cab");
    // Files may not grow beyond 40000 bytes: the write fails like on a full disk.
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 40000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    bool ok = true;
    MessageRecorder boxes;
    {
        TCABFile cab;
        cab.SetCABFile(QString::fromStdString((work / "big.cab").string()));
        cab.SetTargetPath(QString::fromStdString(target.Slash()));
        ok = cab.ExtractAll();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);
    EXPECT_FALSE(ok);
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_EQ(boxes.texts[0], QString::fromLocal8Bit(strerror(EFBIG)));
    EXPECT_EQ(ReadFile(target / "small.txt"), "fits");
    EXPECT_FALSE(fs::exists(target / "large.bin"));
}

TEST(CabErrorBox, UncreatableTargetFailsWithoutAWriteError) {
    MessageRecorder boxes;
    TempDir work, target;
    CabBuilder b;
    b.files = {{"f.txt", "text"}};
    b.Write(work / "f.cab");
    WriteFile(target / "file", "x");
    std::vector<fs::path> targets = {target / "file" / "sub"};
    if (geteuid() != 0) { // permissions do not bind root
        fs::create_directory(target / "ro");
        fs::permissions(target / "ro", fs::perms::owner_read | fs::perms::owner_exec);
        targets.push_back(target / "ro");
    }
    for (const fs::path& path : targets) {
        TCABFile cab;
        cab.SetCABFile(QString::fromStdString((work / "f.cab").string()));
        cab.SetTargetPath(QString::fromStdString(path.string()));
        EXPECT_FALSE(cab.ExtractAll()) << path;
    }
    if (fs::exists(target / "ro"))
        fs::permissions(target / "ro", fs::perms::owner_all);
    EXPECT_TRUE(boxes.texts.empty());
    EXPECT_EQ(ScanTree(target.Path()).count("ro/f.txt"), 0u);
}

} // namespace
