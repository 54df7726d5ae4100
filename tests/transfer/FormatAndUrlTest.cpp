#include "TempDir.h"
#include "WebCopy.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

using namespace quorvel;

namespace {

std::string S(const QString& text) {
    return text.toStdString();
}

TEST(FormatSize, DecimalUnitsAndBoundaries) {
    EXPECT_EQ(S(FormatSize(0)), "0 bytes");
    EXPECT_EQ(S(FormatSize(999)), "999 bytes");
    EXPECT_EQ(S(FormatSize(1000)), "1.00 Kb");
    EXPECT_EQ(S(FormatSize(1500)), "1.50 Kb");
    EXPECT_EQ(S(FormatSize(999999)), "1000.00 Kb");
    EXPECT_EQ(S(FormatSize(1000000)), "1.00 Mb");
    EXPECT_EQ(S(FormatSize(2500000)), "2.50 Mb");
}

// Under a decimal-comma locale every amount takes the comma, however its
// digits are made (a rounded hundredth, an exact half); a text made before
// under a point locale is not reused.
TEST(FormatSize, TheDecimalSeparatorIsTheLocales) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(S(FormatSize(1500)), "1.50 Kb");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::vector<std::string> german{S(FormatSize(1500)), S(FormatSize(1125)), S(FormatSize(2500000)),
                                          S(FormatRate(3250000)), S(FormatSize(999))};
    QLocale::setDefault(previous);
    EXPECT_EQ(german,
              (std::vector<std::string>{"1,50 Kb", "1,12 Kb", "2,50 Mb", "3,25 Mb/sec", "999 bytes"}));
}

TEST(FormatSize, SizesAbove32BitsAreExact) {
    EXPECT_EQ(S(FormatSize(2147483648ULL)), "2147.48 Mb");
    EXPECT_EQ(S(FormatSize(5000000000ULL)), "5000.00 Mb");
    EXPECT_EQ(S(FormatRate(4294967296ULL)), "4294.97 Mb/sec");
}

TEST(FormatRate, Units) {
    EXPECT_EQ(S(FormatRate(0)), "0 bytes/sec");
    EXPECT_EQ(S(FormatRate(999)), "999 bytes/sec");
    EXPECT_EQ(S(FormatRate(1000)), "1.00 Kb/sec");
    EXPECT_EQ(S(FormatRate(3250000)), "3.25 Mb/sec");
}

TEST(FormatTimeLeft, SecondsMinutesHours) {
    EXPECT_EQ(S(FormatTimeLeft(1000, 0, 100)), "");
    EXPECT_EQ(S(FormatTimeLeft(5000, 100, 100)), "0 sec.");
    // done 1 of 30 after 1 s: 29 s left.
    EXPECT_EQ(S(FormatTimeLeft(1000, 1, 30)), "29 sec.");
    // 30 s rounds to 0.5 min, which rounds to the even 0: still seconds.
    EXPECT_EQ(S(FormatTimeLeft(1000, 1, 31)), "30 sec.");
    EXPECT_EQ(S(FormatTimeLeft(1000, 1, 32)), "1 minutes");
    // 90 s: 1.5 minutes round to 2.
    EXPECT_EQ(S(FormatTimeLeft(1000, 1, 91)), "2 minutes");
    EXPECT_EQ(S(FormatTimeLeft(60000, 1, 151)), "2h 30");
    EXPECT_EQ(S(FormatTimeLeft(60000, 1, 61)), "1h 0");
}

TEST(FormatTimeLeft, HalfAnHourAndMoreIsWrittenInMinutes) {
    EXPECT_EQ(S(FormatTimeLeft(60000, 1, 31)), "30 minutes");
    EXPECT_EQ(S(FormatTimeLeft(60000, 1, 32)), "31 minutes");
    EXPECT_EQ(S(FormatTimeLeft(60000, 1, 60)), "59 minutes");
}

TEST(FormatTimeLeft, UnknownTotalGivesNoText) {
    EXPECT_EQ(S(FormatTimeLeft(1000, 500, 0)), "");
}

TEST(UrlFileName, LastSegment) {
    EXPECT_EQ(UrlFileName("http://host/downloads/DirevidUreziv.cab"), "DirevidUreziv.cab");
    EXPECT_EQ(UrlFileName("http://host/dir/"), "");
    EXPECT_EQ(UrlFileName("http://host"), "host");
    EXPECT_EQ(UrlFileName("C:\\App\\file.txt"), "file.txt");
    EXPECT_EQ(UrlFileName("http://host/get?f=a/b.cab"), "b.cab");
    EXPECT_EQ(UrlFileName("plain"), "plain");
}

TEST(UrlHost, HostAndPort) {
    EXPECT_EQ(UrlHost("http://user:pw@example.org/a/b"), "example.org");
    EXPECT_EQ(UrlHost("host:8080/x"), "host:8080");
    EXPECT_EQ(UrlHost("HTTP://Host.org"), "Host.org");
    // An "@" in the path cuts the host at it.
    EXPECT_EQ(UrlHost("http://host/a@b/c"), "b");
}

TEST(UrlPath, PathOrHost) {
    EXPECT_EQ(UrlPath("http://host/a/b.cab"), "/a/b.cab");
    EXPECT_EQ(UrlPath("http://host"), "host");
    EXPECT_EQ(UrlPath("ftp://u:p@host:21/x"), "/x");
    EXPECT_EQ(UrlPath("http://host/a@b/c"), "/c");
}

TEST(AddUrlCredentials, OnlyHttpWithBothValues) {
    TWebCopy engine;
    EXPECT_EQ(AddUrlCredentials(engine, "http://host/x"), "http://host/x");
    engine.ProxyUserID = "u";
    EXPECT_EQ(AddUrlCredentials(engine, "http://host/x"), "http://host/x");
    engine.ProxyPassword = "p";
    EXPECT_EQ(AddUrlCredentials(engine, "HtTp://host/x"), "http://u:p@host/x");
    EXPECT_EQ(AddUrlCredentials(engine, "https://host/x"), "https://host/x");
    EXPECT_EQ(AddUrlCredentials(engine, "ftp://host/x"), "ftp://host/x");
}

TEST(JoinTargetPath, BothSeparators) {
    EXPECT_EQ(JoinTargetPath("", "a.cab"), "a.cab");
    EXPECT_EQ(JoinTargetPath("/opt/app", "a.cab"), "/opt/app/a.cab");
    EXPECT_EQ(JoinTargetPath("/opt/app/", "a.cab"), "/opt/app/a.cab");
    EXPECT_EQ(JoinTargetPath("C:\\App\\", "a.cab"), "C:\\App\\a.cab");
    EXPECT_EQ(JoinTargetPath("C:", "a.cab"), "C:/a.cab");
}

TEST(ForceFolders, CreatesNestedFoldersWithEitherSeparator) {
    TempDir dir;
    EXPECT_TRUE(ForceFolders(""));
    EXPECT_TRUE(ForceFolders(dir.Slash()));
    const std::string nested = dir.Path().string() + "/a\\b/c\\";
    EXPECT_FALSE(FolderExists(nested));
    EXPECT_TRUE(ForceFolders(nested));
    EXPECT_TRUE(FolderExists(nested));
    EXPECT_TRUE(std::filesystem::is_directory(dir.Path() / "a" / "b" / "c"));
    // A file in the way cannot become a folder.
    WriteFile(dir / "file", "x");
    EXPECT_FALSE(FolderExists((dir / "file").string()));
    EXPECT_FALSE(ForceFolders((dir / "file" / "sub").string()));
}

TEST(SystemTimeToDate, StrictFields) {
    const TDateFields fields{2023, 11, 14, 22, 13, 20, 500};
    const TDateTime value = SystemTimeToDate(fields);
    EXPECT_NEAR(value, DateTime::FromUnixUtc(1700000000) + 0.5 / 86400, 1e-9);
    EXPECT_THROW(SystemTimeToDate(TDateFields{}), EConvertError);
    EXPECT_THROW(SystemTimeToDate(TDateFields{2023, 2, 29, 0, 0, 0, 0}), EConvertError);
    EXPECT_THROW(SystemTimeToDate(TDateFields{2024, 1, 1, 24, 0, 0, 0}), EConvertError);
}

TEST(FileTimeToDate, HundredNanosecondsSince1601) {
    const std::uint64_t ft = (1700000000ULL + 11644473600ULL) * 10000000ULL + 2500000ULL;
    EXPECT_NEAR(FileTimeToDate(ft), DateTime::FromUnixUtc(1700000000) + 0.25 / 86400, 1e-9);
    EXPECT_THROW(FileTimeToDate(~0ULL), EConvertError);
}

TEST(WinInetErrorText, AlwaysAText) {
    EXPECT_FALSE(WinInetErrorText(12002).empty());
    EXPECT_FALSE(WinInetErrorText(424242).empty());
}

} // namespace

namespace {

// Texts of neighbouring amounts, asked for in a run as a transfer does, must
// each match a fresh "%.2f" of the amount, halfway values included.
TEST(FormatSize, RunsOfAmountsMatchPlainFormatting) {
    auto plain = [](std::uint64_t n, double unit, const char* suffix) {
        char text[64];
        std::snprintf(text, sizeof text, "%.2f%s", static_cast<double>(n) / unit, suffix);
        return std::string(text);
    };
    for (std::uint64_t n = 1000; n < 40000; n += 1)
        ASSERT_EQ(S(FormatSize(n)), plain(n, 1000.0, " Kb")) << n;
    for (std::uint64_t n = 2490000; n < 2530000; n += 7) {
        ASSERT_EQ(S(FormatSize(n)), plain(n, 1000000.0, " Mb")) << n;
        ASSERT_EQ(S(FormatRate(n + 1)), plain(n + 1, 1000000.0, " Mb/sec")) << n;
    }
    // Amounts spread up to 2^53 (the largest exact double).
    for (std::uint64_t n = 1000000; n < (1ULL << 53); n = n * 13 / 7 + 12345)
        ASSERT_EQ(S(FormatSize(n)), plain(n, 1000000.0, " Mb")) << n;
    for (std::uint64_t n : {1005ULL, 1015ULL, 2505000ULL, 2515000ULL, 1000005000ULL})
        EXPECT_EQ(S(FormatSize(n)), plain(n, n < 1000000 ? 1000.0 : 1000000.0, n < 1000000 ? " Kb" : " Mb"));
}

} // namespace
