#include "DownloadChild.h"
#include "EngineRecorder.h"
#include "ScriptedHttpServer.h"
#include "TempDir.h"
#include "TestBytes.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <memory>
#include <mutex>

using namespace quorvel;

// An HTTP download with Resume set keeps what arrived when it ends early, and
// the next run of the job asks for the rest.

namespace {

using Events = std::vector<std::string>;
namespace fs = std::filesystem;

// One file as a server offers it, and how the server misbehaves.
struct Resource {
    std::string content;
    std::string etag;         // empty: none sent
    std::string lastModified; // empty: none sent
    std::string date;         // the answer's Date; empty: none sent
    bool honorRange = true;
    // Honours Range even when If-Range names another version (a broken cache).
    bool ignoreIfRange = false;
    // Answers a range request with this status and the whole body instead.
    int wholeStatus = 0;
    std::string trailer;          // bytes a 206 sends past the file's end
    std::uint64_t rangeShift = 0; // a 206's Content-Range names a start this far off
    // Successive answers end after these bytes of the file (then the
    // connection closes, or is held open with hold).
    std::vector<std::size_t> cuts;
    bool hold = false;
};

ScriptedHttpServer::Response Serve(Resource& r, const ScriptedHttpServer::Request& request) {
    ScriptedHttpServer::Response out;
    if (!r.etag.empty())
        out.headers.emplace_back("ETag", r.etag);
    if (!r.lastModified.empty())
        out.headers.emplace_back("Last-Modified", r.lastModified);
    if (!r.date.empty())
        out.headers.emplace_back("Date", r.date);
    const std::string range = request.Header("range");
    const std::string ifRange = request.Header("if-range");
    std::size_t start = 0;
    const bool matches = ifRange.empty() || ifRange == r.etag || ifRange == r.lastModified || r.ignoreIfRange;
    if (!range.empty() && r.wholeStatus != 0)
        out.status = r.wholeStatus;
    else if (!range.empty() && r.honorRange && matches) {
        start = std::stoull(range.substr(range.find('=') + 1));
        if (start >= r.content.size()) {
            out.status = 416;
            out.headers.emplace_back("Content-Range", "bytes */" + std::to_string(r.content.size()));
            return out;
        }
        out.status = 206;
        out.headers.emplace_back("Content-Range", "bytes " + std::to_string(start + r.rangeShift) + "-" +
                                                      std::to_string(r.content.size() - 1) + "/" +
                                                      std::to_string(r.content.size()));
    }
    out.body = r.content.substr(start);
    if (out.status == 206)
        out.body += r.trailer;
    if (!r.cuts.empty()) {
        out.sendOnly = r.cuts.front() - start;
        out.hold = r.hold;
        r.cuts.erase(r.cuts.begin());
    }
    return out;
}

class ResumeTest : public ::testing::Test {
protected:
    ResumeTest()
        : server([this](const ScriptedHttpServer::Request& request) {
              std::lock_guard lock(mutex);
              return Serve(resource, request);
          }),
          rec(engine) {
        engine.ShowDialog = false;
        job = engine.Items().Add();
        job->URL = QString::fromStdString(server.Url("/pkg.cab"));
        job->TargetDir = QString::fromStdString(dir.Slash());
        job->Resume = true;
        engine.OnDataBlock = [this](TWebCopy*, int, const char* data, std::size_t length) {
            streamed.append(data, length);
        };
        engine.OnFileStart = [this](TWebCopy*, int) { streamed.clear(); };
        resource.content = Pattern(300000, 1);
        resource.etag = "\"v1\"";
        resource.lastModified = "Tue, 14 Nov 2023 22:13:20 GMT";
        resource.date = "Mon, 02 Dec 2024 10:00:00 GMT";
    }

    void Run() { RunJobs(engine); }
    void SetResource(const std::function<void(Resource&)>& change) {
        std::lock_guard lock(mutex);
        change(resource);
    }
    // "range|if-range" of each request so far.
    std::vector<std::string> Asked() const {
        std::vector<std::string> asked;
        for (const auto& r : server.Requests())
            asked.push_back(r.Header("range") + "|" + r.Header("if-range"));
        return asked;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::mutex mutex;
    Resource resource;
    TempDir dir;
    ScriptedHttpServer server;
    TWebCopy engine;
    EngineRecorder rec;
    TWebCopyItem* job;
    std::string streamed;
};

// Dropped three times, the last time one byte short: each run asks for the
// rest with the validator, the target stays as it was until the file is
// whole, OnDataBlock sees the whole file in order, and the progress counts
// the whole file from the resumed part on.
TEST_F(ResumeTest, ADroppedBodyResumesWhereItStopped) {
    const std::string& content = resource.content;
    resource.cuts = {1000, 70000, content.size() - 1};
    WriteFile(dir / "pkg.cab", "previous");
    std::vector<std::size_t> firstStep;
    for (int run = 0; run < 3; ++run) {
        firstStep.push_back(rec.Progress().size());
        Run();
        EXPECT_FALSE(job->CopySucceeded);
        EXPECT_EQ(ReadFile(dir / "pkg.cab"), "previous");
    }
    const std::size_t before = rec.Progress().size();
    Run();
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == content);
    EXPECT_TRUE(streamed == content);
    EXPECT_EQ(Names(), (std::vector<std::string>{"pkg.cab"}));
    const std::string v = "|\"v1\"";
    EXPECT_EQ(Asked(), (std::vector<std::string>{"|", "bytes=1000-" + v, "bytes=70000-" + v,
                                                 "bytes=" + std::to_string(content.size() - 1) + "-" + v}));
    const auto progress = rec.Progress();
    // The last run moved one byte and counted the whole file.
    ASSERT_GT(progress.size(), before);
    EXPECT_EQ(progress[before], (std::pair<std::uint64_t, std::uint64_t>(content.size(), content.size())));
    // The second run counted from the 1000 bytes it kept on.
    EXPECT_EQ(progress[firstStep[1]], (std::pair<std::uint64_t, std::uint64_t>(1000 + 4096, content.size())));
    EXPECT_EQ(rec.EventsOf("ErrorInfo").size(), 3u);
}

// A server that ignores ranges sends the whole file: it starts over from
// byte 0, and OnDataBlock sees each byte once.
TEST_F(ResumeTest, AServerIgnoringRangesStartsOver) {
    resource.cuts = {5000};
    resource.honorRange = false;
    Run();
    Run();
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == resource.content);
    EXPECT_TRUE(streamed == resource.content);
    EXPECT_EQ(Asked().back(), "bytes=5000-|\"v1\"");
    EXPECT_EQ(Names(), (std::vector<std::string>{"pkg.cab"}));
}

// A file changed on the server between the runs arrives whole, never two
// files spliced together, whichever validator the server gives.
TEST_F(ResumeTest, AFileChangedOnTheServerArrivesWhole) {
    for (const bool withEtag : {true, false}) {
        SCOPED_TRACE(withEtag ? "ETag" : "Last-Modified");
        SetResource([&](Resource& r) {
            r.content = Pattern(200000, 2);
            r.etag = withEtag ? "\"a\"" : "";
            r.lastModified = "Tue, 14 Nov 2023 22:13:20 GMT";
            r.cuts = {50000};
        });
        Run();
        const std::string changed = Pattern(210000, 3);
        SetResource([&](Resource& r) {
            r.content = changed;
            r.etag = withEtag ? "\"b\"" : "";
            r.lastModified = "Wed, 15 Nov 2023 22:13:20 GMT";
        });
        Run();
        EXPECT_TRUE(job->CopySucceeded);
        EXPECT_TRUE(ReadFile(dir / "pkg.cab") == changed);
        EXPECT_TRUE(streamed == changed);
        EXPECT_EQ(Asked().back(),
                  "bytes=50000-|" + (withEtag ? std::string("\"a\"") : "Tue, 14 Nov 2023 22:13:20 GMT"));
    }
}

// A server or cache that honours Range but ignores If-Range sends the end of
// the new file: the part is taken only when its own strong ETag or strong
// Last-Modified is the kept one, else the whole file comes in the same run.
// A Last-Modified within the second of the answer's Date is no validator.
TEST_F(ResumeTest, ARangeOfAnotherVersionIsNeverJoined) {
    struct Case {
        const char* name;
        bool withEtag;
        std::string date; // of the first answer
    };
    const std::string modified = "Tue, 14 Nov 2023 22:13:20 GMT";
    for (const Case& c : {Case{"ETag", true, "Mon, 02 Dec 2024 10:00:00 GMT"},
                          Case{"Last-Modified", false, "Mon, 02 Dec 2024 10:00:00 GMT"},
                          Case{"weak Last-Modified", false, modified}}) {
        SCOPED_TRACE(c.name);
        fs::remove(dir / "pkg.cab");
        SetResource([&](Resource& r) {
            r.content = Pattern(200000, 5);
            r.etag = c.withEtag ? "\"a\"" : "";
            r.lastModified = modified;
            r.date = c.date;
            r.ignoreIfRange = true;
            r.cuts = {50000};
        });
        Run();
        const std::string changed = Pattern(200000, 6);
        SetResource([&](Resource& r) {
            r.content = changed;
            r.etag = c.withEtag ? "\"b\"" : "";
            r.lastModified = "Wed, 15 Nov 2023 22:13:20 GMT";
            r.date = "Mon, 02 Dec 2024 10:00:05 GMT";
        });
        Run();
        EXPECT_TRUE(job->CopySucceeded);
        EXPECT_TRUE(ReadFile(dir / "pkg.cab") == changed);
        EXPECT_TRUE(streamed == changed);
        EXPECT_EQ(Asked().back(), "|");
        EXPECT_EQ(Names(), (std::vector<std::string>{"pkg.cab"}));
    }
}

// A success other than 206 to a range request carries the whole file: it
// replaces the kept bytes instead of following them. A part that runs past
// the file's announced length fails and leaves the target as it was.
TEST_F(ResumeTest, AWholeAnswerToARangeRequestStartsOver) {
    resource.cuts = {100000};
    resource.wholeStatus = 203;
    Run();
    Run();
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == resource.content);
    EXPECT_TRUE(streamed == resource.content);
    EXPECT_EQ(Asked().back(), "bytes=100000-|\"v1\"");

    WriteFile(dir / "pkg.cab", "previous");
    SetResource([](Resource& r) {
        r.wholeStatus = 0;
        r.cuts = {100000};
        r.trailer = "more";
    });
    Run();
    Run();
    EXPECT_FALSE(job->CopySucceeded);
    EXPECT_EQ(ReadFile(dir / "pkg.cab"), "previous");
    EXPECT_EQ(rec.EventsOf("ErrorInfo").back().substr(0, 12), "ErrorInfo 7 ");
}

// A part kept for a file that a later run's date rule refuses (the handler
// says no, or the server's copy is not newer) goes with its record.
TEST_F(ResumeTest, APartTheDateRuleRefusesGoes) {
    for (const bool byHandler : {true, false}) {
        SCOPED_TRACE(byHandler ? "OnFileDateCheck" : "CopyNewerOnly");
        engine.OnFileDateCheck = nullptr;
        job->CopyNewerOnly = false;
        SetResource([](Resource& r) { r.cuts = {50000}; });
        Run();
        ASSERT_EQ(Names().size(), 2u);
        if (byHandler)
            engine.OnFileDateCheck = [](TWebCopy*, int, TDateTime, bool& allow) { allow = false; };
        job->CopyNewerOnly = !byHandler;
        job->FileDate = SystemTimeToDate(TDateFields{2023, 11, 14, 22, 13, 20, 0});
        Run();
        EXPECT_FALSE(job->CopySucceeded);
        EXPECT_TRUE(Names().empty());
    }
}

// Anything inconsistent starts over: a 206 for another range than asked is
// asked again without a range, and a torn record is not trusted.
TEST_F(ResumeTest, AnythingInconsistentStartsOver) {
    resource.cuts = {40000, 60000};
    resource.rangeShift = 1;
    Run();
    Run();
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == resource.content);
    EXPECT_EQ(Asked(), (std::vector<std::string>{"|", "bytes=40000-|\"v1\"", "|"}));

    // A record cut in half by a crash.
    fs::remove(dir / "pkg.cab");
    SetResource([](Resource& r) {
        r.rangeShift = 0;
        r.cuts = {60000};
    });
    Run();
    for (const auto& name : Names())
        if (name.ends_with(".resume"))
            fs::resize_file(dir / name, fs::file_size(dir / name) / 2);
    Run();
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == resource.content);
    EXPECT_EQ(Asked().back(), "|");
    EXPECT_EQ(Names(), (std::vector<std::string>{"pkg.cab"}));
}

// Cancel, then Start again in one engine: the second run goes on.
TEST_F(ResumeTest, CancelThenStartAgainGoesOn) {
    engine.OnCopyProgress = [](TWebCopy* sender, int, std::uint64_t done, std::uint64_t) {
        if (done >= 100000)
            sender->CancelTransfers();
    };
    Run();
    EXPECT_FALSE(job->CopySucceeded);
    engine.OnCopyProgress = nullptr;
    Run();
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == resource.content);
    const std::string asked = Asked().back();
    ASSERT_TRUE(asked.starts_with("bytes="));
    EXPECT_GE(std::stoull(asked.substr(6)), 100000u);
}

// A process killed part-way: the next run resumes from what the killed one
// had written.
TEST_F(ResumeTest, AKilledDownloadResumesInTheNextProcess) {
    // Set under the lock: the request comes from another process, so nothing
    // else orders these writes before the server reads them.
    SetResource([](Resource& r) {
        r.content = Pattern(1 << 20, 4);
        r.cuts = {1 << 19};
        r.hold = true;
    });
    WriteFile(dir / "pkg.cab", "previous");
    std::uint64_t done = 0;
    ASSERT_NO_FATAL_FAILURE(KillDownloadChild(server.Url("/pkg.cab"), dir.Slash(), true, 1u << 19, &done));
    EXPECT_EQ(ReadFile(dir / "pkg.cab"), "previous");
    Run();
    EXPECT_TRUE(job->CopySucceeded);
    EXPECT_TRUE(ReadFile(dir / "pkg.cab") == resource.content);
    EXPECT_TRUE(streamed == resource.content);
    const std::string asked = Asked().back();
    ASSERT_TRUE(asked.starts_with("bytes=")) << asked;
    const auto start = std::stoull(asked.substr(6));
    EXPECT_GT(start, 0u);
    EXPECT_LE(start, done);
}

} // namespace
