#include "CabBuilder.h"
#include "CabTestSupport.h"
#include "Fdi.h"
#include "cabfiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quorvel;

namespace {

// Extracts `cab` into `target` with a fresh component.
bool Extract(const fs::path& cab, const std::string& target, TCABFile* with = nullptr) {
    TCABFile own;
    TCABFile& c = with ? *with : own;
    c.SetCABFile(QString::fromStdString(cab.string()));
    c.SetTargetPath(QString::fromStdString(target));
    return c.ExtractAll();
}

// Two folders of different compression, with every combination of reserved
// areas in the header, the folder entries and the data blocks.
TEST(CabExtract, UnpacksEveryFolderAndReservedAreaLayoutByteForByte) {
    MessageRecorder boxes;
    Tree files;
    const CabLayout plain = MixedLayout(files);
    for (int areas = -1; areas < 8; ++areas) {
        SCOPED_TRACE(areas);
        CabLayout cab = plain;
        cab.reserve = areas >= 0; // -1: no reserved-area field at all
        cab.headerReserve = cab.reserve && areas & 1 ? 60 : 0;
        cab.folderReserve = cab.reserve && areas & 2 ? 5 : 0;
        cab.dataReserve = cab.reserve && areas & 4 ? 3 : 0;
        TempDir work, target;
        WriteFile(work / "r.cab", cab.Build());
        ASSERT_TRUE(Extract(work / "r.cab", target.Slash()));
        ExpectTree(target.Path(), files);
    }
    EXPECT_TRUE(boxes.texts.empty());
}

TEST(CabExtract, StampsFilesWithTheStoredLocalTime) {
    TempDir work, target;
    const Tree files = TwoFileCabinet(work / "two.cab");
    ASSERT_TRUE(Extract(work / "two.cab", target.Slash()));
    ExpectTree(target.Path(), files);
    EXPECT_EQ(ModTime(target / "hello.c"), LocalTime(1997, 3, 12, 11, 13, 52));
    EXPECT_EQ(ModTime(target / "welcome.c"), LocalTime(1997, 3, 12, 11, 15, 14));

    // An impossible stored date leaves the file's time alone but still writes it.
    CabBuilder b;
    b.files = {{"zero.txt", "zero date", 0, 0}, {"next.txt", "after it"}};
    b.Write(work / "zero.cab");
    ASSERT_TRUE(Extract(work / "zero.cab", target.Slash()));
    EXPECT_EQ(ReadFile(target / "zero.txt"), "zero date");
    EXPECT_GT(ModTime(target / "zero.txt"), LocalTime(2020, 1, 1, 0, 0, 0));
    EXPECT_EQ(ModTime(target / "next.txt"), LocalTime(2001, 3, 12, 11, 19, 50));
}

class GcabExtract : public testing::TestWithParam<bool> {};

TEST_P(GcabExtract, RoundTripsNestedEmptyLargeAndManyFiles) {
    TempDir src, work, target;
    std::vector<std::string> names;
    std::string big;
    for (int i = 0; i < 70000; ++i)
        big.push_back(static_cast<char>((i * 7919) >> 3));
    WriteFile(src / "big.bin", big);
    WriteFile(src / "empty.txt", "");
    WriteFile(src / "sub/dir/a.txt", "nested text\n");
    WriteFile(src / "sub/b.txt", "");
    names = {"big.bin", "empty.txt", "sub/dir/a.txt", "sub/b.txt"};
    for (int i = 0; i < 300; ++i) {
        const std::string name = "many/f" + std::to_string(i) + ".txt";
        WriteFile(src / name, std::string(static_cast<std::size_t>(i), static_cast<char>('a' + i % 26)));
        names.push_back(name);
    }
    MakeGcab(work / "g.cab", src.Path(), names, GetParam());
    ASSERT_TRUE(Extract(work / "g.cab", target.Path().string())); // no trailing separator
    EXPECT_EQ(ScanTree(target.Path()), ScanTree(src.Path()));
    for (const std::string& name : names)
        ASSERT_EQ(ReadFile(target / name), ReadFile(src / name)) << name;
    EXPECT_EQ(ModTime(target / "sub/dir/a.txt"), ModTime(src / "sub/dir/a.txt") / 2 * 2);
}

INSTANTIATE_TEST_SUITE_P(StoredAndMszip, GcabExtract, testing::Bool());

// A cabinet read from a descriptor is the file the descriptor holds, whatever
// stands at its name by then; the descriptor's position is left alone.
TEST(CabExtract, ReadsAnOpenDescriptorAndNeverItsName) {
    TempDir work, target, swapped;
    CabBuilder b;
    b.files = {{"sub\\a.txt", std::string(70000, 'a')}, {"b.txt", "bee"}};
    b.Write(work / "held.cab");
    const int fd = open((work / "held.cab").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    CabBuilder other;
    other.files = {{"planted.txt", "never held"}};
    other.Write(work / "other.cab");
    fs::rename(work / "other.cab", work / "held.cab");

    TCABFile cab;
    cab.SetCABFile(QString::fromStdString((work / "held.cab").string()));
    cab.SetCABFileDescriptor(fd);
    quint64 files = 0, bytes = 0;
    ASSERT_TRUE(cab.DeclaredContents(files, bytes));
    EXPECT_EQ(files, 2u);
    EXPECT_EQ(bytes, 70003u);
    EXPECT_TRUE(cab.VerifyAll());
    cab.SetTargetPath(QString::fromStdString(target.Slash()));
    ASSERT_TRUE(cab.ExtractAll());
    EXPECT_EQ(ScanTree(target.Path()),
              (std::map<std::string, long long>{{"b.txt", 3}, {"sub", -1}, {"sub/a.txt", 70000}}));
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), 0);
    close(fd);
}

TEST(CabExtract, EmptyTargetPathWritesBelowTheCurrentFolder) {
    TempDir work, cwd;
    CabBuilder b;
    b.files = {{"dir\\rel.txt", "relative"}};
    b.Write(work / "r.cab");
    const fs::path before = fs::current_path();
    fs::current_path(cwd.Path());
    const bool ok = Extract(work / "r.cab", "");
    fs::current_path(before);
    EXPECT_TRUE(ok);
    EXPECT_EQ(ReadFile(cwd / "dir/rel.txt"), "relative");
}

TEST(CabExtract, MissingTargetPathIsCreatedWithItsParents) {
    TempDir work, root;
    CabBuilder b;
    b.files = {{"sub\\a.txt", "a"}, {"b.txt", "b"}};
    b.Write(work / "t.cab");
    ASSERT_TRUE(Extract(work / "t.cab", (root / "one/two/three").string() + "/"));
    EXPECT_EQ(ReadFile(root / "one/two/three/sub/a.txt"), "a");
    EXPECT_EQ(ReadFile(root / "one/two/three/b.txt"), "b");
}

TEST(CabExtract, OverwriteEventDecidesAndReplacementIsANewFile) {
    TempDir work, target;
    CabBuilder b;
    b.files = {{"keep.txt", "new keep"}, {"sub\\swap.txt", "new swap"}};
    b.Write(work / "o.cab");
    WriteFile(target / "keep.txt", "old keep");
    WriteFile(target / "sub/swap.txt", "old swap");
    chmod((target / "sub/swap.txt").c_str(), 0750);
    // A program running from the folder keeps its open file.
    const int running = open((target / "sub/swap.txt").c_str(), O_RDONLY);
    ASSERT_GE(running, 0);

    TCABFile cab;
    std::vector<QString> asked;
    cab.OnOverWriteFile = [&](QObject* sender, const QString& name, bool& allow) {
        EXPECT_EQ(sender, &cab);
        EXPECT_TRUE(allow);
        asked.push_back(name);
        allow = !name.endsWith("keep.txt");
    };
    ASSERT_TRUE(Extract(work / "o.cab", target.Slash(), &cab));
    EXPECT_EQ(asked, (std::vector<QString>{QString::fromStdString(target.Slash() + "keep.txt"),
                                           QString::fromStdString(target.Slash() + "sub/swap.txt")}));
    EXPECT_EQ(ReadFile(target / "keep.txt"), "old keep");
    EXPECT_EQ(ReadFile(target / "sub/swap.txt"), "new swap");
    EXPECT_EQ(fs::status(target / "sub/swap.txt").permissions() & fs::perms::all,
              static_cast<fs::perms>(0750));
    char old[8] = {};
    EXPECT_EQ(pread(running, old, sizeof old, 0), 8);
    EXPECT_EQ(std::string(old, 8), "old swap");
    close(running);

    // Without a handler every existing file is replaced.
    ASSERT_TRUE(Extract(work / "o.cab", target.Slash()));
    EXPECT_EQ(ReadFile(target / "keep.txt"), "new keep");
}

// Names stored with "\\" between folders are reported with "/".
TEST(CabExtract, ProgressFiresPerBlockWithRunningTotals) {
    TempDir work, target;
    CabBuilder b;
    b.files = {{"sub\\big.bin", std::string(70000, 'x')}, {"small.txt", "tiny"}};
    b.Write(work / "p.cab");
    TCABFile cab;
    std::vector<std::tuple<QString, qint64, qint64>> events;
    cab.OnDecompressProgress = [&](QObject* sender, const QString& name, qint64 pos, qint64 tot) {
        EXPECT_EQ(sender, &cab);
        events.emplace_back(name, pos, tot);
    };
    ASSERT_TRUE(Extract(work / "p.cab", target.Slash(), &cab));
    ASSERT_GE(events.size(), 3u);
    qint64 last = 0;
    std::size_t i = 0;
    for (; i < events.size() && std::get<0>(events[i]) == "sub/big.bin"; ++i) {
        EXPECT_EQ(std::get<2>(events[i]), 70000);
        EXPECT_GT(std::get<1>(events[i]), last);
        last = std::get<1>(events[i]);
    }
    EXPECT_GE(i, 2u);
    EXPECT_EQ(last, 70000);
    ASSERT_EQ(events.size(), i + 1);
    EXPECT_EQ(events.back(), std::make_tuple(QString("small.txt"), qint64(4), qint64(4)));
}

TEST(CabExtract, FailsWithoutCreatingAnythingForMissingOrNonCabinetFiles) {
    TempDir work, target;
    WriteFile(work / "text.cab", "This is a plain text file, not a cabinet.\n");
    WriteFile(work / "embedded.cab", std::string(1000, 'x') + GcabOf({{"a.txt", "a"}}, false));
    const fs::path inner = target / "out";
    EXPECT_FALSE(Extract(work / "missing.cab", inner.string()));
    EXPECT_FALSE(Extract(work / "text.cab", inner.string()));
    EXPECT_FALSE(Extract(work / "embedded.cab", inner.string())); // not at offset 0
    EXPECT_FALSE(Extract(work.Path(), inner.string()));           // a folder
    TCABFile unset;
    EXPECT_FALSE(unset.ExtractAll());
    EXPECT_TRUE(ScanTree(target.Path()).empty());
}

TEST(CabExtract, UnavailableDecompressorFailsCleanly) {
    TempDir work, target;
    TwoFileCabinet(work / "two.cab");
    Fdi::SetAvailable(false);
    const bool ok = Extract(work / "two.cab", target.Slash());
    TCABFile cab;
    cab.SetCABFile(QString::fromStdString((work / "two.cab").string()));
    const bool verified = cab.VerifyAll();
    Fdi::SetAvailable(true);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(verified);
    EXPECT_TRUE(ScanTree(target.Path()).empty());
}

TEST(CabExtract, DamagedDataFailsAndLeavesNoHalfWrittenFile) {
    TempDir work;
    CabBuilder b;
    b.files = {{"first.txt", std::string(100, 'f')}, {"second.bin", std::string(80000, 's')}};
    b.corruptBlock = 1; // inside second.bin
    b.Write(work / "bad.cab");
    const std::string whole = CabBuilder{b.files, true, -1, 32768}.Build();
    WriteFile(work / "short.cab", whole.substr(0, whole.size() - 100));

    for (const char* cab : {"bad.cab", "short.cab"}) {
        SCOPED_TRACE(cab);
        TempDir target;
        WriteFile(target / "second.bin", "previous version");
        MessageRecorder boxes;
        EXPECT_FALSE(Extract(work / cab, target.Slash()));
        EXPECT_EQ(ReadFile(target / "first.txt"), std::string(100, 'f'));
        EXPECT_FALSE(fs::exists(target / "second.bin"));
        EXPECT_TRUE(boxes.texts.empty());
    }
}

TEST(CabExtract, DamagedAndCutCabinetsFailAndWriteOnlyInsideTheTarget) {
    MessageRecorder boxes;
    TempDir root, work;
    std::map<std::string, std::string> cabs = DamagedCabinets();
    Tree files;
    const std::string whole = MixedLayout(files).Build();
    for (std::size_t size = 0; size < whole.size(); size += size < 700 ? 1 : 4999)
        cabs["cut_" + std::to_string(size)] = whole.substr(0, size);
    for (const auto& [name, bytes] : cabs) {
        WriteFile(work / name, bytes);
        const fs::path target = root / name;
        fs::create_directory(target);
        EXPECT_FALSE(Extract(work / name, target.string())) << name;
    }
    for (const auto& [rel, size] : ScanTree(root.Path()))
        EXPECT_NE(cabs.count(rel.substr(0, rel.find('/'))), 0u) << rel; // each stayed in its own folder
}

TEST(CabExtract, FollowsACabinetSetForFilesThatContinue) {
    TempDir set, target, last;
    Tree first, own;
    MakeSet(set.Path(), first, own);
    ASSERT_TRUE(Extract(set / "set1.cab", target.Slash()));
    ExpectTree(target.Path(), first);

    // Files that began in an earlier part are skipped, not failed.
    TempDir middle;
    EXPECT_TRUE(Extract(set / "set2.cab", middle.Slash()));
    ExpectTree(middle.Path(), {});
    EXPECT_TRUE(Extract(set / "set3.cab", last.Slash()));
    ExpectTree(last.Path(), own);

    // A missing later part fails the extraction and leaves no part of the file.
    fs::remove(set / "set3.cab");
    TempDir broken;
    EXPECT_FALSE(Extract(set / "set1.cab", broken.Slash()));
    EXPECT_FALSE(fs::exists(broken / "b.bin"));
}

TEST(CabComponent, PublishedDefaultsAndVersion) {
    TCABFile cab;
    QVariantMap fresh = cab.StoredProperties();
    fresh.remove("Name");
    // The version has no stored default: a stored window always carries it.
    EXPECT_EQ(fresh, (QVariantMap{{"Version", "1.4.0.0"}}));
    EXPECT_EQ(cab.CompressionType(), typMSZIP);
    EXPECT_EQ(cab.LZXMemory(), lzxLowest);
    EXPECT_EQ(cab.Version(), "1.4.0.0");
    cab.LoadProperties({{"Version", "9.9"}, {"CompressionType", "typLZX"}, {"TargetPath", "/x/"}});
    EXPECT_EQ(cab.Version(), "1.4.0.0");
    EXPECT_EQ(cab.CompressionType(), typLZX);
    QVariantMap stored = cab.StoredProperties();
    stored.remove("Name");
    EXPECT_EQ(stored.size(), 3);
    EXPECT_EQ(stored.value("CompressionType").toString(), "typLZX");
    EXPECT_EQ(cab.CABFileContents()->Owner(), &cab);
    cab.CABFileContents()->Add()->Name = "a";
    EXPECT_EQ(cab.CABFileContents()->Count(), 1);
    EXPECT_EQ(cab.CABFileContents()->Items(0)->Name, "a");
    EXPECT_EQ(cab.CABFileContents()->Items(1), nullptr);
}

TEST(CabFolders, ForceDirsCreatesOuterFoldersFirst) {
    TempDir root;
    const QString deep = QString::fromStdString((root / "a/b\\c").string()) + "/";
    EXPECT_TRUE(ForceDirs(deep));
    EXPECT_TRUE(DirExists(QString::fromStdString((root / "a/b/c").string())));
    EXPECT_TRUE(ForceDirs(deep));
    WriteFile(root / "file", "x");
    EXPECT_FALSE(DirExists(QString::fromStdString((root / "file").string())));
    EXPECT_FALSE(ForceDirs(QString::fromStdString((root / "file/sub").string())));
}

} // namespace
