#include "DownloadChild.h"
#include "EngineRecorder.h"
#include "InetSession.h"
#include "JobDeadline.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "TestBytes.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace quorvel;

// Downloads write a temporary file of their own and replace the target only
// when whole: whatever else ends them leaves the previous target as it was.

namespace {

using Events = std::vector<std::string>;
namespace fs = std::filesystem;

// The whole file behind a descriptor, read with pread.
std::string ReadAt(int fd) {
    std::string data;
    char buffer[65536];
    ssize_t n;
    while ((n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(data.size()))) > 0)
        data.append(buffer, static_cast<std::size_t>(n));
    return data;
}

// The names in a folder, sorted.
std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CommitWholeTest : public ::testing::Test {
protected:
    CommitWholeTest() : rec(engine) {
        engine.ShowDialog = false;
        job = engine.Items().Add();
        job->TargetDir = QString::fromStdString(dir.Slash());
    }

    void Fetch(const std::string& path) {
        job->Protocol = wpHttp;
        job->URL = QString::fromStdString(server.Url(path));
        RunJobs(engine);
    }

    LocalHttpServer server;
    TempDir dir;
    TWebCopy engine;
    EngineRecorder rec;
    TWebCopyItem* job;
};

TEST_F(CommitWholeTest, KilledDownloadLeavesThePreviousTarget) {
    const auto payload = std::make_shared<const std::string>(Pattern(1 << 20));
    auto requests = std::make_shared<std::atomic<int>>(0);
    // The first request sends a quarter and then nothing; later ones all.
    server.ServeWith("/pkg.cab", [payload, requests](const httplib::Request&, httplib::Response& res) {
        const bool first = (*requests)++ == 0;
        res.set_content_provider(
            payload->size(), "application/octet-stream",
            [payload, first](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (first && offset >= payload->size() / 4) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    return sink.is_writable();
                }
                return sink.write(payload->data() + offset, std::min<std::size_t>(length, 65536));
            });
    });
    WriteFile(dir / "pkg.cab", "previous package");
    ASSERT_NO_FATAL_FAILURE(
        KillDownloadChild(server.Url("/pkg.cab"), dir.Slash(), false, payload->size() / 4));
    EXPECT_EQ(ReadFile(dir / "pkg.cab"), "previous package");
    EXPECT_EQ(Names(dir.Path()).size(), 2u); // and the killed run's temporary file

    Fetch("/pkg.cab");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == *payload);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"pkg.cab"}));
}

// A link at the target's name is replaced by the new file; the file it
// pointed to is never written.
TEST_F(CommitWholeTest, LinkAtTheTargetNameIsReplacedNotFollowed) {
    TempDir outside;
    WriteFile(outside / "victim", "not yours");
    server.ServeBytes("/pkg.cab", "package");
    WriteFile(dir / "source.bin", "copied");
    fs::create_symlink(outside / "victim", dir / "pkg.cab");
    Fetch("/pkg.cab");
    fs::create_symlink(outside / "victim", dir / "out.bin");
    job->Protocol = wpFile;
    job->URL = QString::fromStdString((dir / "source.bin").string());
    job->TargetFilename = "out.bin";
    RunJobs(engine);

    EXPECT_EQ(ReadFile(outside / "victim"), "not yours");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "pkg.cab")));
    EXPECT_EQ(ReadFile(dir / "pkg.cab"), "package");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "out.bin")));
    EXPECT_EQ(ReadFile(dir / "out.bin"), "copied");
}

// MaxSize: an announced length above it fails before anything is written, a
// body without a length is cut once it passes it; a file copy's source size
// counts as announced.
TEST_F(CommitWholeTest, MaxSizeBoundsWhatADownloadBrings) {
    HttpReply chunked;
    chunked.contentLength = false;
    server.ServeBytes("/long.bin", std::string(5000, 'l'));
    server.ServeBytes("/running.bin", std::string(500000, 'r'), chunked);
    WriteFile(dir / "src" / "copy.bin", std::string(5000, 'c'));
    for (const std::string name : {"long.bin", "running.bin", "copy.bin"})
        WriteFile(dir / name, "previous");
    job->MaxSize = 4096;

    Fetch("/long.bin");
    EXPECT_TRUE(rec.Progress().empty());
    Fetch("/running.bin");
    ASSERT_FALSE(rec.Progress().empty());
    EXPECT_LE(rec.Progress().back().first, 4096u);
    job->Protocol = wpFile;
    job->URL = QString::fromStdString((dir / "src" / "copy.bin").string());
    RunJobs(engine);

    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo"),
              (Events{"ErrorInfo 12 File larger than allowed " + server.Url("/long.bin"),
                      "ErrorInfo 12 File larger than allowed " + server.Url("/running.bin"),
                      "ErrorInfo 12 File larger than allowed " + (dir / "src" / "copy.bin").string()}));
    for (const std::string name : {"long.bin", "running.bin", "copy.bin"})
        EXPECT_EQ(ReadFile(dir / name), "previous") << name;
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"copy.bin", "long.bin", "running.bin", "src"}));
}

// A server that sends a few bytes now and then never trips the no-data clock,
// yet the download fails as a stall does once it runs too slowly for too long.
TEST_F(CommitWholeTest, TricklingServerFailsAsAStall) {
    server.Server().Get("/slow.cab", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(100000, "application/octet-stream",
                                 [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                     return sink.write("0123456789", 10);
                                 });
    });
    WriteFile(dir / "slow.cab", "previous");
    InetSession::SetLowSpeedLimit(1024, 2);
    Fetch("/slow.cab");
    InetSession::SetLowSpeedLimit(0, 0);
    EXPECT_FALSE(job->CopySucceeded);
    ASSERT_EQ(rec.EventsOf("Error ").size(), 1u);
    EXPECT_EQ(rec.EventsOf("Error ")[0], "Error 12002");
    EXPECT_EQ(ReadFile(dir / "slow.cab"), "previous");
}

// A job with an expected size and a least average rate fails as a stall does
// once a steady but too slow download passes its deadline; one fast enough
// for its rate arrives whole.
TEST_F(CommitWholeTest, ADownloadSlowerThanItsLeastRateFailsAtItsDeadline) {
    const std::string payload = Pattern(100000);
    server.Server().Get("/steady.cab", [&payload](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(payload.size(), "application/octet-stream",
                                 [&payload](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     // About 100 KB a second: a second for the whole file.
                                     std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                     return sink.write(payload.data() + offset,
                                                       std::min<std::size_t>(2000, payload.size() - offset));
                                 });
    });
    WriteFile(dir / "steady.cab", "previous");
    JobDeadline::SetGrace(std::chrono::milliseconds(200));
    job->MaxSize = payload.size();
    job->MinAverageRate = 10'000'000; // a deadline of 0.21 s
    Fetch("/steady.cab");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("Error "), (Events{"Error 12002"}));
    EXPECT_EQ(ReadFile(dir / "steady.cab"), "previous");

    job->MinAverageRate = 10'000; // 10.2 s
    Fetch("/steady.cab");
    JobDeadline::SetGrace(std::chrono::milliseconds(0));
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "steady.cab") == payload);
}

// OnDataBlock sees every byte in file order; OnVerifyFile sees the whole file
// before it replaces the target, and refusing it keeps the previous target.
// The file checked is the file renamed: one put at its name meanwhile is
// neither renamed nor removed.
TEST_F(CommitWholeTest, VerifyFileDecidesWhetherTheWholeFileReplacesTheTarget) {
    const std::string payload = Pattern(300000);
    server.ServeBytes("/pkg.cab", payload);
    WriteFile(dir / "pkg.cab", "previous");
    std::string streamed, verified;
    bool accept = false;
    engine.OnDataBlock = [&](TWebCopy*, int idx, const char* data, std::size_t length) {
        EXPECT_EQ(idx, 0);
        streamed.append(data, length);
    };
    bool intrude = false;
    engine.OnVerifyFile = [&](TWebCopy*, int idx, int fd, const QString& tempPath, bool& ok) {
        EXPECT_EQ(idx, 0);
        EXPECT_TRUE(ok);
        verified = ReadAt(fd);
        if (intrude) {
            WriteFile(dir / "intruder", "intruder");
            fs::rename(dir / "intruder", tempPath.toStdString());
        }
        EXPECT_EQ(ReadFile(dir / "pkg.cab"), "previous");
        ok = accept;
    };
    Fetch("/pkg.cab");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo"), (Events{"ErrorInfo 13 File refused " + server.Url("/pkg.cab")}));
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"pkg.cab"}));
    EXPECT_EQ(ReadFile(dir / "pkg.cab"), "previous");
    EXPECT_TRUE(streamed == payload && verified == payload);

    streamed.clear();
    accept = true;
    intrude = true;
    Fetch("/pkg.cab");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "pkg.cab"), "previous");
    ASSERT_EQ(Names(dir.Path()).size(), 2u);
    EXPECT_EQ(ReadFile(dir / Names(dir.Path())[0]), "intruder");
    EXPECT_TRUE(verified == payload);
    fs::remove(dir / Names(dir.Path())[0]);

    streamed.clear();
    intrude = false;
    Fetch("/pkg.cab");
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(streamed == payload);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == payload);
}

// A second run of the same job while the first writes fails as "in use" and
// leaves the first's file alone, which goes on to replace the target whole.
TEST_F(CommitWholeTest, ASecondRunOfTheJobFindsItInUse) {
    const std::string payload = Pattern(1 << 20);
    server.ServeBytes("/pkg.cab", payload);
    TWebCopy second;
    second.ShowDialog = false;
    EngineRecorder secondRec(second);
    TWebCopyItem* secondJob = second.Items().Add();
    secondJob->TargetDir = job->TargetDir;
    secondJob->URL = QString::fromStdString(server.Url("/pkg.cab"));
    bool ran = false;
    engine.OnCopyProgress = [&](TWebCopy*, int, std::uint64_t, std::uint64_t) {
        if (ran)
            return;
        ran = true;
        std::thread([&] { RunJobs(second); }).join();
    };
    Fetch("/pkg.cab");
    EXPECT_TRUE(ran);
    EXPECT_FALSE(secondJob->CopySucceeded);
    EXPECT_EQ(secondRec.EventsOf("ErrorInfo"),
              (Events{"ErrorInfo 14 File in use by another transfer " + dir.Slash() + "pkg.cab"}));
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == payload);
    EXPECT_EQ(Names(dir.Path()), (std::vector<std::string>{"pkg.cab"}));
}

} // namespace
