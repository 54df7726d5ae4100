#include "CabBuilder.h"
#include "CabTestSupport.h"
#include "TTargetFolder.h"
#include "cabfiles.h"

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// A target folder inside a scanned parent, so writes beside it show up.
struct Sandbox {
    TempDir parent;
    fs::path target = parent / "target";
    fs::path outside = parent / "outside";
    Sandbox() {
        fs::create_directories(target);
        fs::create_directories(outside);
        WriteFile(outside / "victim.txt", "untouched");
    }
    bool Extract(const CabBuilder& b, TCABFile* with = nullptr) {
        TempDir work;
        b.Write(work / "x.cab");
        TCABFile own;
        TCABFile& cab = with ? *with : own;
        cab.SetCABFile(QString::fromStdString((work / "x.cab").string()));
        cab.SetTargetPath(QString::fromStdString(target.string() + "/"));
        return cab.ExtractAll();
    }
};

TEST(CabSafety, RefusesNamesThatLeaveTheTarget) {
    for (const char* name : {"..\\..\\evil", "../outside/victim.txt", "a\\..\\..\\outside\\victim.txt",
                             "\\etc\\x", "/tmp/x", "C:\\x", "c:x", "sub\\..\\..", "dir\\", "."}) {
        SCOPED_TRACE(name);
        Sandbox box;
        const auto before = ScanTree(box.parent.Path());
        CabBuilder b;
        b.files = {{name, "payload"}};
        EXPECT_FALSE(box.Extract(b));
        EXPECT_EQ(ScanTree(box.parent.Path()), before);
        EXPECT_EQ(ReadFile(box.outside / "victim.txt"), "untouched");
        CabBuilder after;
        after.files = {{"ok.txt", "fine"}, {name, "payload"}, {"late.txt", "never"}};
        EXPECT_FALSE(box.Extract(after));
        EXPECT_EQ(ReadFile(box.target / "ok.txt"), "fine");
        EXPECT_FALSE(fs::exists(box.target / "late.txt"));
    }
}

TEST(CabSafety, DotSegmentsThatStayInsideAreResolved) {
    Sandbox box;
    CabBuilder b;
    b.files = {{"a\\..\\b.txt", "b"}, {"./c//d.txt", "d"}, {"x/y\\..\\z.txt", "z"}};
    ASSERT_TRUE(box.Extract(b));
    EXPECT_EQ(ReadFile(box.target / "b.txt"), "b");
    EXPECT_EQ(ReadFile(box.target / "c/d.txt"), "d");
    EXPECT_EQ(ReadFile(box.target / "x/z.txt"), "z");
}

TEST(CabSafety, NeverWritesThroughSymbolicLinks) {
    Sandbox box;
    fs::create_directory_symlink(box.outside, box.target / "linkdir");
    fs::create_symlink(box.outside / "victim.txt", box.target / "linkfile.txt");
    const auto outsideBefore = ScanTree(box.outside);

    CabBuilder folder;
    folder.files = {{"linkdir\\victim.txt", "overwritten"}};
    EXPECT_FALSE(box.Extract(folder));
    CabBuilder nested;
    nested.files = {{"linkdir\\new\\file.txt", "created"}};
    EXPECT_FALSE(box.Extract(nested));

    // A link in the file's own place is replaced by a plain file.
    CabBuilder file;
    file.files = {{"linkfile.txt", "replaced"}};
    EXPECT_TRUE(box.Extract(file));
    EXPECT_FALSE(fs::is_symlink(box.target / "linkfile.txt"));
    EXPECT_EQ(ReadFile(box.target / "linkfile.txt"), "replaced");

    EXPECT_EQ(ScanTree(box.outside), outsideBefore);
    EXPECT_EQ(ReadFile(box.outside / "victim.txt"), "untouched");
}

TEST(CabSafety, AFolderInTheWayFailsTheExtraction) {
    Sandbox box;
    fs::create_directories(box.target / "taken.txt");
    WriteFile(box.target / "plain", "file");
    CabBuilder dirInWay;
    dirInWay.files = {{"taken.txt", "x"}};
    EXPECT_FALSE(box.Extract(dirInWay));
    CabBuilder fileInWay;
    fileInWay.files = {{"plain\\inner.txt", "x"}};
    EXPECT_FALSE(box.Extract(fileInWay));
    EXPECT_TRUE(fs::is_directory(box.target / "taken.txt"));
    EXPECT_EQ(ReadFile(box.target / "plain"), "file");
}

TEST(CabSafety, EntryNameSplitting) {
    std::vector<std::string> parts;
    EXPECT_TRUE(TTargetFolder::SplitEntryName("sub\\dir/a.txt", parts));
    EXPECT_EQ(parts, (std::vector<std::string>{"sub", "dir", "a.txt"}));
    EXPECT_TRUE(TTargetFolder::SplitEntryName("name.", parts));
    EXPECT_TRUE(TTargetFolder::SplitEntryName("ab:c", parts)); // only a leading drive is refused
    for (const char* bad : {"", "\\", "/", "..", "a/../..", "D:\\x", "sub/"})
        EXPECT_FALSE(TTargetFolder::SplitEntryName(bad, parts)) << bad;
}

} // namespace
