#include "EngineRecorder.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "TestBytes.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <mutex>

using namespace quorvel;

namespace {

using Events = std::vector<std::string>;

// What the server saw of one upload.
struct Received {
    std::string method, body, length, contentType;
    int count = 0;
};

class HttpUploadTest : public ::testing::Test {
protected:
    HttpUploadTest() : rec(engine) {
        engine.ShowDialog = false;
        job = engine.Items().Add();
        job->Protocol = wpHttpUpload;
        job->TargetDir = QString::fromStdString(dir.Slash());
        auto take = [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex);
            seen.method = req.method;
            seen.body = req.body;
            seen.length = req.get_header_value("Content-Length");
            seen.contentType = req.get_header_value("Content-Type");
            ++seen.count;
            res.status = status;
            res.set_content("stored", "text/plain");
        };
        server.Server().Post("/in/up.bin", take);
        server.Server().Put("/in/up.bin", take);
    }

    void Send(const std::string& content, TWebCopyHTTPCommand command = hcPost) {
        WriteFile(dir / "up.bin", content);
        job->HTTPCommand = command;
        job->URL = QString::fromStdString(server.Url("/in/up.bin"));
        RunJobs(engine);
    }

    Received Seen() {
        std::lock_guard lock(mutex);
        return seen;
    }

    LocalHttpServer server;
    TempDir dir;
    TWebCopy engine;
    EngineRecorder rec;
    TWebCopyItem* job;
    std::mutex mutex;
    Received seen;
    int status = 200;
};

TEST_F(HttpUploadTest, PostSendsTheRawFileWithItsLengthToTheUrlsPort) {
    const std::string payload = Pattern(100000);
    Send(payload);
    EXPECT_TRUE(job->CopySucceeded);
    const Received r = Seen();
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.length, "100000");
    EXPECT_EQ(r.contentType, ""); // no form encoding
    EXPECT_TRUE(r.body == payload);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "FileDone 0", "CopyDone"}));
    EXPECT_EQ(rec.Progress().size(), 100000u / 4096 + 1);
    EXPECT_EQ(rec.Progress().back(), (std::pair<std::uint64_t, std::uint64_t>{100000, 100000}));
}

// A URL without a scheme names its host, port and path all the same.
TEST_F(HttpUploadTest, AUrlWithoutASchemeIsSentOverHttp) {
    WriteFile(dir / "up.bin", "plain");
    job->URL = QString::fromStdString("127.0.0.1:" + std::to_string(server.Port()) + "/in/up.bin");
    RunJobs(engine);
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(Seen().body, "plain");
}

TEST_F(HttpUploadTest, PutAndTheEdgeSizes) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{4096}, std::size_t{8192}}) {
        const std::size_t before = rec.Progress().size();
        Send(Pattern(size), hcPut);
        EXPECT_TRUE(job->CopySucceeded) << size;
        EXPECT_EQ(Seen().method, "PUT");
        EXPECT_EQ(Seen().length, std::to_string(size));
        EXPECT_TRUE(Seen().body == Pattern(size));
        EXPECT_EQ(rec.Progress().size() - before, size / 4096 + 1);
    }
}

TEST_F(HttpUploadTest, ErrorStatusIsReported) {
    status = 500;
    Send("data");
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo"), (Events{"ErrorInfo 500 Returned http error code 500"}));
    status = 302;
    Send("data");
    EXPECT_FALSE(job->CopySucceeded);
}

TEST_F(HttpUploadTest, MissingLocalFileEndsWithoutEventsAndReadOnlyFilesAreSent) {
    job->URL = QString::fromStdString(server.Url("/in/up.bin"));
    job->TargetFilename = "absent.bin";
    RunJobs(engine);
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "FileDone 0", "CopyDone"}));
    EXPECT_EQ(Seen().count, 0);

    job->TargetFilename = "";
    WriteFile(dir / "up.bin", "locked");
    ::chmod((dir / "up.bin").c_str(), 0444);
    RunJobs(engine);
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_EQ(Seen().body, "locked");
}

TEST_F(HttpUploadTest, UnreachableServerAndARefusedBody) {
    WriteFile(dir / "up.bin", "x");
    job->URL = "http://127.0.0.1:1/in/up.bin";
    RunJobs(engine);
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo"),
              (Events{"ErrorInfo 12029 A connection with the server could not be established"}));

    // The server refuses a body this large and closes the connection.
    server.Server().set_payload_max_length(1000);
    Send(Pattern(1 << 20));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("ErrorInfo").size(), 2u);
    EXPECT_EQ(Seen().count, 0);
}

TEST_F(HttpUploadTest, CancelStopsTheUploadAndTheAnimationShowsTheUploadClip) {
    engine.OnCopyProgress = [](TWebCopy* sender, int, std::uint64_t done, std::uint64_t) {
        const auto window = sender->ProgressWindow();
        EXPECT_TRUE(window && window->Snapshot().AnimationClip == kUploadAnimationClip);
        if (done >= 8192)
            sender->CancelTransfers();
    };
    Send(Pattern(4 << 20));
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(rec.EventsOf("Error").size(), 0u);
}

} // namespace
