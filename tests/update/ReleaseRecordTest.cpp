#include "TempDir.h"

#include "ReleaseRecord.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace quorvel;

namespace fs = std::filesystem;

namespace {

TEST(ReleaseRecord, OnlyAFileOfOursIsBelievedAndEachOtherFindingIsTold) {
    TempDir folder;
    const QString at = QString::fromStdString(folder.Slash());
    const QString package = QStringLiteral("DirevidUreziv.cab");
    const fs::path record = folder / ".DirevidUreziv.release";
    using S = ReleaseRecord::TStatus;
    auto status = [&] { return ReleaseRecord::ReadRecord(at, package).status; };

    EXPECT_EQ(status(), S::Missing);
    WriteFile(record, "42\n");
    EXPECT_EQ(ReleaseRecord::ReadRecord(at, package).release, 42u);
    EXPECT_EQ(status(), S::Found);
    for (const char* bad : {"42", "042\n", "x\n", "", "99999999999999999999\n"}) {
        SCOPED_TRACE(bad);
        WriteFile(record, bad);
        EXPECT_EQ(status(), S::Malformed);
    }

    WriteFile(folder / "elsewhere", "18446744073709551615\n");
    fs::remove(record);
    fs::create_symlink(folder / "elsewhere", record);
    EXPECT_EQ(status(), S::Untrusted);
    fs::remove(record);
    fs::create_hard_link(folder / "elsewhere", record);
    EXPECT_EQ(status(), S::Untrusted);
    fs::remove(record);
    if (getuid() == 0) {
        WriteFile(record, "18446744073709551615\n");
        ASSERT_EQ(lchown(record.c_str(), 65534, 65534), 0);
        EXPECT_EQ(status(), S::Untrusted);
        EXPECT_EQ(ReleaseRecord::Read(at, package), 0u);
    }
}

} // namespace
