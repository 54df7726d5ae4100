#include "EngineRecorder.h"
#include "LocalFtpServer.h"
#include "TempDir.h"
#include "TestBytes.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace quorvel;

namespace {

using Events = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr std::int64_t kRemoteTime = 1600000000; // 2020-09-13 12:26:40 UTC

void SetTime(const fs::path& path, std::int64_t when) {
    utimbuf times{when, when};
    ::utime(path.c_str(), &times);
}

// One engine with one FTP job; the server serves `remote`, the job's local
// side is `local`. The parameter chooses passive mode.
class FtpTransferTest : public ::testing::TestWithParam<bool> {
protected:
    FtpTransferTest() : rec(engine) {
        engine.ShowDialog = false;
        engine.FTPPassive = GetParam();
        job = engine.Items().Add();
        job->FTPHost = "127.0.0.1";
    }

    void Run(const LocalFtpServer& server, TWebCopyProtocol protocol, const std::string& url,
             const std::string& targetDir = {}) {
        ASSERT_GT(server.Port(), 0);
        job->Protocol = protocol;
        job->FTPPort = server.Port();
        job->URL = QString::fromStdString(url);
        job->TargetDir = QString::fromStdString(targetDir);
        RunJobs(engine);
    }
    void Download(const LocalFtpServer& server, const std::string& url) {
        Run(server, wpFtp, url, local.Slash());
    }
    void Upload(const LocalFtpServer& server, const std::string& name, const std::string& remoteDir = {}) {
        Run(server, wpFtpUpload, (local / name).string(), remoteDir);
    }

    TempDir remote;
    TempDir local;
    TWebCopy engine;
    EngineRecorder rec;
    TWebCopyItem* job;
};

TEST_P(FtpTransferTest, DownloadsFromAFolderWithTheListedSize) {
    fs::create_directories(remote / "pub" / "files");
    const std::string payload = Pattern(100000);
    WriteFile(remote / "pub" / "files" / "report.zip", payload);
    LocalFtpServer server(remote.Path());
    Download(server, "/pub/files/report.zip");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(local / "report.zip"), payload);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "FileDone 0", "CopyDone"}));
    ASSERT_FALSE(rec.Progress().empty());
    EXPECT_EQ(rec.Progress().back(), (std::pair<std::uint64_t, std::uint64_t>{100000, 100000}));
    EXPECT_EQ(Text(engine.LastTargetFile()), local.Slash() + "report.zip");
}

TEST_P(FtpTransferTest, DownloadsFromTheLoginFolderWithAUser) {
    WriteFile(remote / "plain.txt", "hello");
    LocalFtpServer server(remote.Path(), {.user = "vendor", .password = "pw", .noSize = false});
    job->FTPUserID = "vendor";
    job->FTPPassword = "pw";
    job->TargetFilename = "renamed.txt";
    Download(server, "plain.txt");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(local / "renamed.txt"), "hello");

    job->FTPPassword = "wrong";
    Download(server, "plain.txt");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back(), "ErrorInfo 6 Cannot connect to FTP server 127.0.0.1");
}

TEST_P(FtpTransferTest, UnlistedFileDownloadsWithoutSizeOrDateCheck) {
    WriteFile(remote / "u.bin", "unlisted");
    LocalFtpServer server(remote.Path(), {.user = "", .password = "", .noSize = true});
    job->CopyNewerOnly = true;
    job->FileDate = 50000; // far in the future: a listed file would not be newer
    Download(server, "u.bin");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(job->NewDate, 50000);
    EXPECT_EQ(ReadFile(local / "u.bin"), "unlisted");
    ASSERT_FALSE(rec.Progress().empty());
    EXPECT_EQ(rec.Progress().back().second, 0u);
}

TEST_P(FtpTransferTest, NewerOnlyComparesTheRemoteDate) {
    WriteFile(remote / "n.bin", "new");
    SetTime(remote / "n.bin", kRemoteTime);
    LocalFtpServer server(remote.Path());
    const TDateTime remoteDate = DateTime::FromUnixUtc(kRemoteTime);
    job->CopyNewerOnly = true;

    for (const TDateTime known : {remoteDate, remoteDate + 1.0}) { // equal, then later
        job->FileDate = known;
        Download(server, "n.bin");
        EXPECT_FALSE(job->CopySucceeded);
        EXPECT_TRUE(job->NoNewFile);
        EXPECT_DOUBLE_EQ(job->NewDate, remoteDate);
        EXPECT_FALSE(fs::exists(local / "n.bin"));
    }
    EXPECT_EQ(rec.EventsOf("NoNewFile"), (Events{"NoNewFile n.bin", "NoNewFile n.bin"}));

    job->FileDate = remoteDate - 1.0;
    Download(server, "n.bin");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_FALSE(job->NoNewFile);
    EXPECT_EQ(ReadFile(local / "n.bin"), "new");
}

TEST_P(FtpTransferTest, DateHandlerDecides) {
    WriteFile(remote / "h.bin", "handled");
    SetTime(remote / "h.bin", kRemoteTime);
    LocalFtpServer server(remote.Path());
    TDateTime seen = 0;
    bool allow = false;
    engine.OnFileDateCheck = [&](TWebCopy*, int idx, TDateTime date, bool& permit) {
        EXPECT_EQ(idx, 0);
        seen = date;
        permit = allow;
    };
    Download(server, "h.bin");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_FALSE(job->NoNewFile);
    EXPECT_DOUBLE_EQ(seen, DateTime::FromUnixUtc(kRemoteTime));
    EXPECT_FALSE(fs::exists(local / "h.bin"));
    allow = true;
    Download(server, "h.bin");
    EXPECT_TRUE(job->CopySucceeded);
}

TEST_P(FtpTransferTest, MissingRemoteFileIsUrlNotFound) {
    LocalFtpServer server(remote.Path());
    Download(server, "/nothing.bin");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "URLNotFound /nothing.bin", "FileDone 0", "CopyDone"}));
    EXPECT_FALSE(fs::exists(local / "nothing.bin"));
}

TEST_P(FtpTransferTest, DataEndingEarlyOrDroppedIsAFailure) {
    WriteFile(remote / "cut.half", Pattern(200000));
    WriteFile(remote / "cut.drop", Pattern(200000));
    WriteFile(local / "cut.half", "previous");
    LocalFtpServer server(remote.Path());
    Download(server, "cut.half");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(local / "cut.half"), "previous");
    EXPECT_EQ(rec.EventsOf("ErrorInfo").size(), 1u);
    // A server that fails before any data has reached us refuses the file
    // instead: either way the failure is reported.
    Download(server, "cut.drop");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo").size() + rec.EventsOf("URLNotFound").size(), 2u);
}

TEST_P(FtpTransferTest, CancelStopsTheDownloadAndKeepsThePreviousFile) {
    WriteFile(remote / "big.bin", Pattern(4 << 20));
    WriteFile(local / "big.bin", "previous");
    LocalFtpServer server(remote.Path());
    engine.OnCopyProgress = [](TWebCopy* sender, int, std::uint64_t, std::uint64_t) {
        sender->CancelTransfers();
    };
    Download(server, "big.bin");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(local / "big.bin"), "previous");
    EXPECT_EQ(std::distance(fs::directory_iterator(local.Path()), fs::directory_iterator()), 1);
    EXPECT_EQ(rec.EventsOf("Error").size(), 0u);
}

TEST_P(FtpTransferTest, UploadsIntoExistingAndNewFoldersButNotTwoLevels) {
    fs::create_directories(remote / "in");
    WriteFile(local / "up.bin", Pattern(10000));
    LocalFtpServer server(remote.Path());
    Upload(server, "up.bin", "in");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(remote / "in" / "up.bin"), Pattern(10000));

    Upload(server, "up.bin", "/fresh");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(remote / "fresh" / "up.bin"), Pattern(10000));

    Upload(server, "up.bin", "a/b");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_FALSE(fs::exists(remote / "a"));
    EXPECT_EQ(rec.EventsOf("Error").size(), 0u);
}

TEST_P(FtpTransferTest, UploadReplacesAndSendsBlockSizes) {
    LocalFtpServer server(remote.Path(), {.user = "vendor", .password = "pw", .noSize = false});
    job->FTPUserID = "vendor";
    job->FTPPassword = "pw";
    WriteFile(remote / "r.bin", "old content that is longer");
    for (const std::size_t size : {std::size_t{0}, std::size_t{4096}, std::size_t{8192}, std::size_t{5000}}) {
        WriteFile(local / "r.bin", Pattern(size));
        const std::size_t before = rec.Progress().size();
        Upload(server, "r.bin");
        EXPECT_TRUE(job->CopySucceeded) << size;
        EXPECT_EQ(ReadFile(remote / "r.bin"), Pattern(size));
        // One round per whole block, and one more for the short (or empty) last one.
        EXPECT_EQ(rec.Progress().size() - before, size / 4096 + 1) << size;
        EXPECT_EQ(rec.Progress().back(), (std::pair<std::uint64_t, std::uint64_t>{size, size}));
    }
    EXPECT_EQ(Text(engine.LastTargetFile()), (local / "r.bin").string());
}

TEST_P(FtpTransferTest, ReadOnlyFileIsSentAndAMissingOneLeavesTheServerAlone) {
    WriteFile(local / "ro.bin", "read only");
    ::chmod((local / "ro.bin").c_str(), 0444);
    WriteFile(remote / "gone.bin", "keep me");
    LocalFtpServer server(remote.Path());
    Upload(server, "ro.bin");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(remote / "ro.bin"), "read only");

    Upload(server, "gone.bin");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back(),
              "ErrorInfo 1 Cannot open target file " + (local / "gone.bin").string());
    EXPECT_EQ(ReadFile(remote / "gone.bin"), "keep me");
}

TEST_P(FtpTransferTest, UploadNewerOnlyGoesAheadOnlyOverANewerRemoteFile) {
    WriteFile(local / "d.bin", "local");
    WriteFile(remote / "d.bin", "remote");
    SetTime(remote / "d.bin", kRemoteTime);
    LocalFtpServer server(remote.Path());
    job->CopyNewerOnly = true;
    job->FileDate = DateTime::FromUnixUtc(kRemoteTime);
    Upload(server, "d.bin");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_TRUE(job->NoNewFile);
    EXPECT_EQ(rec.EventsOf("NoNewFile"), (Events{"NoNewFile d.bin"}));
    EXPECT_EQ(ReadFile(remote / "d.bin"), "remote");

    job->FileDate = DateTime::FromUnixUtc(kRemoteTime) - 1.0;
    Upload(server, "d.bin");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(remote / "d.bin"), "local");
}

// A server that lists the file but withholds its date leaves nothing to
// compare: the date check fails with error 9, uploads and downloads alike,
// and neither side's file changes.
TEST_P(FtpTransferTest, AListedFileWithoutADateFailsTheDateCheck) {
    WriteFile(local / "nd.bin", "local");
    WriteFile(remote / "nd.bin", "remote");
    LocalFtpServer server(remote.Path(), {.user = "", .password = "", .noSize = false, .noDate = true});
    job->CopyNewerOnly = true;
    Upload(server, "nd.bin");
    EXPECT_FALSE(job->CopySucceeded);
    Download(server, "nd.bin");
    EXPECT_FALSE(job->CopySucceeded);
    const std::string error = "ErrorInfo 9 No valid modification date from server 127.0.0.1";
    EXPECT_EQ(rec.EventsOf("ErrorInfo"), (Events{error, error}));
    EXPECT_EQ(ReadFile(remote / "nd.bin"), "remote");
    EXPECT_EQ(ReadFile(local / "nd.bin"), "local");
}

// A local file that shrinks while it is sent fails the upload (error 11)
// instead of passing the cut file off as sent.
TEST_P(FtpTransferTest, AFileThatShrinksWhileItIsSentFails) {
    WriteFile(local / "s.bin", Pattern(2 << 20));
    LocalFtpServer server(remote.Path());
    engine.OnCopyProgress = [this](TWebCopy*, int, std::uint64_t, std::uint64_t) {
        fs::resize_file(local / "s.bin", 12288);
    };
    Upload(server, "s.bin");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo"),
              (Events{"ErrorInfo 11 Error reading file " + (local / "s.bin").string()}));
}

// A local path and a remote folder written with "\" are recorded for the
// Open buttons in the file system's spelling.
TEST_P(FtpTransferTest, BackslashPathsAreRecordedInTheFileSystemsSpelling) {
    WriteFile(local / "b.bin", "sent");
    LocalFtpServer server(remote.Path());
    std::string path = (local / "b.bin").string();
    std::replace(path.begin(), path.end(), '/', '\\');
    Run(server, wpFtpUpload, path, "\\back");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(remote / "back" / "b.bin"), "sent");
    EXPECT_EQ(Text(engine.LastTargetFile()), (local / "b.bin").string());
    EXPECT_EQ(Text(engine.LastTargetDir()), "/back");
}

TEST_P(FtpTransferTest, CancelStopsTheUpload) {
    WriteFile(local / "big.bin", Pattern(4 << 20));
    LocalFtpServer server(remote.Path());
    engine.OnCopyProgress = [](TWebCopy* sender, int, std::uint64_t done, std::uint64_t) {
        if (done >= 65536)
            sender->CancelTransfers();
    };
    Upload(server, "big.bin");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("Error").size(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Modes, FtpTransferTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

} // namespace

namespace {

// A cancel while the server keeps silent (it accepts the connection but never
// greets) ends the job within a fraction of a second, without an error.
TEST(FtpCancel, ACancelEndsTheWaitForASilentServer) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof addr;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &length);

    TempDir local;
    TWebCopy engine;
    engine.ShowDialog = false;
    EngineRecorder rec(engine);
    TWebCopyItem* job = engine.Items().Add();
    job->Protocol = wpFtp;
    job->FTPHost = "127.0.0.1";
    job->FTPPort = ntohs(addr.sin_port);
    job->URL = "/a.bin";
    job->TargetDir = QString::fromStdString(local.Slash());
    std::thread canceller([&engine] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        engine.CancelTransfers();
    });
    const auto start = std::chrono::steady_clock::now();
    RunJobs(engine);
    const auto took = std::chrono::steady_clock::now() - start;
    canceller.join();
    ::close(listener);
    EXPECT_LT(took, std::chrono::seconds(3));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "CopyDone"}));
}

} // namespace
