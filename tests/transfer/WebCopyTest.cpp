#include "EngineRecorder.h"
#include "LocalFtpServer.h"
#include "LocalHttpServer.h"
#include "SilentServer.h"
#include "TempDir.h"
#include "WebCopyRun.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

using namespace quorvel;

namespace {

using Events = std::vector<std::string>;

TEST(WebCopyDefaults, Component) {
    TWebCopy engine;
    EXPECT_EQ(engine.Items().Count(), 0);
    EXPECT_TRUE(engine.ShowDialog);
    EXPECT_TRUE(engine.ShowFileName);
    EXPECT_TRUE(engine.ShowServer);
    for (bool flag : {engine.AlwaysOnTop, engine.FTPPassive, engine.HTTPKeepAliveAuthentication,
                      engine.ShowOpenFile, engine.ShowOpenFolder, engine.ShowCompletion, engine.ShowTime})
        EXPECT_FALSE(flag);
    EXPECT_EQ(Text(engine.DlgCaption), "Downloading");
    EXPECT_EQ(Text(engine.DlgTimeLabel), "Estimated time left :");
    EXPECT_EQ(Text(engine.DlgOpenFolder), "Open folder");
    EXPECT_FALSE(engine.IsCancelled());
    EXPECT_EQ(engine.ProgressWindow(), nullptr);
}

TEST(WebCopyDefaults, StoredPropertiesLeaveOutDefaults) {
    TWebCopy engine;
    QVariantMap stored = engine.StoredProperties();
    EXPECT_FALSE(stored.contains("ShowDialog"));
    EXPECT_FALSE(stored.contains("AlwaysOnTop"));
    // Properties without a stored default are always kept.
    EXPECT_EQ(stored.value("DlgCancel").toString(), "Cancel");
    engine.ShowDialog = false;
    stored = engine.StoredProperties();
    EXPECT_EQ(stored.value("ShowDialog").toBool(), false);

    TWebCopy copy;
    copy.LoadProperties(stored);
    EXPECT_FALSE(copy.ShowDialog);
}

TEST(WebCopyDefaults, Job) {
    TWebCopy engine;
    TWebCopyItem* job = engine.Items().Add();
    EXPECT_EQ(engine.Items().Count(), 1);
    EXPECT_EQ(engine.Items()[0], job);
    EXPECT_TRUE(job->Active);
    EXPECT_FALSE(job->CopyNewerOnly);
    EXPECT_EQ(job->FTPPort, 21);
    EXPECT_EQ(job->Protocol, wpHttp);
    EXPECT_EQ(job->HTTPCommand, hcPost);
    EXPECT_EQ(job->FileDate, 0);
    EXPECT_TRUE(job->URL.isEmpty() && job->TargetDir.isEmpty() && job->TargetFilename.isEmpty());
    EXPECT_FALSE(job->CopySucceeded || job->NoNewFile);
    EXPECT_EQ(job->property("Protocol").value<TWebCopyProtocol>(), wpHttp);
    engine.Items().Clear();
    EXPECT_EQ(engine.Items().Count(), 0);
    EXPECT_THROW(engine.Items().Item(0), std::out_of_range);
}

TEST(WebCopyDefaults, VersionIsReadOnly) {
    TWebCopy engine;
    EXPECT_EQ(Text(engine.Version()), "1.4.0.1");
    engine.setProperty("Version", "9.9");
    engine.SetVersion("2.0");
    EXPECT_EQ(Text(engine.property("Version").toString()), "1.4.0.1");
}

TWebCopyItem* AddFileJob(TWebCopy& engine, bool active = true) {
    TWebCopyItem* job = engine.Items().Add();
    job->Protocol = wpFile;
    job->Active = active;
    return job;
}

TEST(RunJobs, InactiveJobIsSkippedAndCountsOnlyActiveJobs) {
    TWebCopy engine;
    engine.ShowDialog = false;
    EngineRecorder rec(engine);
    std::vector<int> numbers;
    std::vector<bool> sessions;
    auto record = engine.OnFileStart;
    engine.OnFileStart = [&](TWebCopy* sender, int idx) {
        record(sender, idx);
        numbers.push_back(sender->CurrentNumber());
        sessions.push_back(TWebCopyRun::Session(*sender) != nullptr);
    };
    AddFileJob(engine);
    AddFileJob(engine, false);
    AddFileJob(engine)->FileDate = 7;
    EXPECT_EQ(CountActiveJobs(engine), 2);
    EXPECT_EQ(CountNetworkJobs(engine), 0);
    RunJobs(engine);
    // The jobs name no files: each fails on its own, and the run goes on.
    EXPECT_EQ(rec.EventsOf("File"), (Events{"FileStart 0", "FileDone 0", "FileStart 2", "FileDone 2"}));
    EXPECT_EQ(rec.Events().back(), "CopyDone");
    EXPECT_EQ(numbers, (std::vector<int>{1, 2}));
    // Only file copies: no internet session.
    EXPECT_EQ(sessions, (std::vector<bool>{false, false}));
    EXPECT_EQ(engine.Items()[2]->NewDate, 7);
    EXPECT_FALSE(engine.Items()[0]->CopySucceeded);
}

TEST(RunJobs, NoActiveJobRaisesOnlyCopyDoneWithAWindowBuilt) {
    TWebCopy engine;
    engine.ShowDialog = false;
    EngineRecorder rec(engine);
    AddFileJob(engine, false);
    engine.CancelTransfers(); // a cancel before the run has no effect on it
    RunJobs(engine);
    EXPECT_EQ(rec.Events(), (Events{"CopyDone"}));
    EXPECT_EQ(Text(rec.AtDone().Caption), "Downloading ...");
    EXPECT_FALSE(engine.IsCancelled());
    EXPECT_EQ(engine.ProgressWindow(), nullptr);
}

TEST(RunJobs, FailedJobIsFollowedByFileDoneAndTheNextJob) {
    LocalHttpServer server;
    server.ServeStatus("/missing.cab", 404);
    server.ServeBytes("/ok.cab", "payload");
    TempDir dir;
    TWebCopy engine;
    engine.ShowDialog = false;
    EngineRecorder rec(engine);
    bool hadSession = false;
    engine.OnFileDone = [&](TWebCopy* sender, int idx) {
        rec.Add("FileDone " + std::to_string(idx));
        hadSession = TWebCopyRun::Session(*sender) != nullptr;
    };
    for (const char* path : {"/missing.cab", "/ok.cab"}) {
        TWebCopyItem* job = engine.Items().Add();
        job->URL = QString::fromStdString(server.Url(path));
        job->TargetDir = QString::fromStdString(dir.Slash());
    }
    RunJobs(engine);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "Error 404", "ErrorInfo 404 Returned http error code 404",
                                    "FileDone 0", "FileStart 1", "FileDone 1", "CopyDone"}));
    EXPECT_TRUE(hadSession);
    EXPECT_EQ(TWebCopyRun::Session(engine), nullptr);
    EXPECT_FALSE(engine.Items()[0]->CopySucceeded);
    EXPECT_TRUE(engine.Items()[1]->CopySucceeded);
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.cab"));
    EXPECT_EQ(ReadFile(dir / "ok.cab"), "payload");
}

TEST(RunJobs, CancelDuringFirstOfTwoJobsStopsTheRun) {
    LocalHttpServer server;
    server.ServeBytes("/big.bin", std::string(200000, 'x'));
    TempDir dir;
    TWebCopy engine;
    engine.ShowDialog = false;
    EngineRecorder rec(engine);
    engine.OnCopyProgress = [](TWebCopy* sender, int, std::uint64_t size, std::uint64_t) {
        if (size >= 8192)
            sender->CancelTransfers();
    };
    for (int i = 0; i < 2; ++i) {
        TWebCopyItem* job = engine.Items().Add();
        job->URL = QString::fromStdString(server.Url("/big.bin"));
        job->TargetDir = QString::fromStdString(dir.Slash());
        job->TargetFilename = QString("out%1.bin").arg(i);
    }
    RunJobs(engine);
    EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "CopyDone"}));
    EXPECT_FALSE(engine.Items()[0]->CopySucceeded);
    // Nothing of the cancelled download is left: no target, no temporary file.
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

TEST(StartTransfers, RunsOnAWorkerThreadAndEndsWithCopyDone) {
    LocalHttpServer server;
    server.ServeBytes("/a.bin", "abc");
    TempDir dir;
    std::promise<void> done;
    {
        TWebCopy engine;
        engine.ShowDialog = false;
        EngineRecorder rec(engine);
        engine.OnCopyDone = [&](TWebCopy*) {
            rec.Add("CopyDone");
            done.set_value();
        };
        TWebCopyItem* job = engine.Items().Add();
        job->URL = QString::fromStdString(server.Url("/a.bin"));
        job->TargetDir = QString::fromStdString(dir.Slash());
        engine.StartTransfers();
        done.get_future().wait();
        EXPECT_EQ(rec.Events(), (Events{"FileStart 0", "FileDone 0", "CopyDone"}));
        for (auto id : rec.Threads())
            EXPECT_NE(id, std::this_thread::get_id());
    } // the engine waits for its worker here
    EXPECT_EQ(ReadFile(dir / "a.bin"), "abc");
}

TEST(StartTransfers, DestroyingTheEngineDuringARunCancelsAndWaits) {
    LocalHttpServer server;
    // A body that trickles out, so the run is still going when the engine goes.
    server.Server().Get("/slow.bin", [](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(1000000, "application/octet-stream",
                                 [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                     std::this_thread::sleep_for(std::chrono::milliseconds(5));
                                     return sink.write(std::string(1000, 'z').data(), 1000);
                                 });
    });
    TempDir dir;
    std::promise<void> started;
    std::atomic<bool> signalled{false};
    auto engine = std::make_unique<TWebCopy>();
    engine->ShowDialog = false;
    engine->OnCopyProgress = [&](TWebCopy*, int, std::uint64_t, std::uint64_t) {
        if (!signalled.exchange(true))
            started.set_value();
    };
    TWebCopyItem* job = engine->Items().Add();
    job->URL = QString::fromStdString(server.Url("/slow.bin"));
    job->TargetDir = QString::fromStdString(dir.Slash());
    engine->StartTransfers();
    started.get_future().wait();
    engine.reset();
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

// What a worker thread holds until it exits (its thread-local state, the
// libraries' per-thread data) is gone once the engine is: a program that
// returns from main right after must not tear those libraries down under a
// thread still unwinding.
std::atomic<bool> g_workerUnwound{false};
struct UnwindsSlowly {
    ~UnwindsSlowly() {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        g_workerUnwound = true;
    }
};

TEST(StartTransfers, TheWorkerThreadHasExitedWhenTheEngineIsGone) {
    std::promise<void> done;
    {
        TWebCopy engine;
        engine.ShowDialog = false;
        engine.OnCopyDone = [&](TWebCopy*) {
            thread_local UnwindsSlowly state;
            (void)state;
            done.set_value();
        };
        engine.StartTransfers();
        done.get_future().wait();
        EXPECT_FALSE(g_workerUnwound);
    }
    EXPECT_TRUE(g_workerUnwound);
}

// A run started while the previous one is still ending (its copy-done handler
// still running) begins only after that run's worker has let go of the engine.
TEST(StartTransfers, ASecondRunBeginsAfterTheFirstHasEnded) {
    LocalHttpServer server;
    server.ServeBytes("/a.bin", "abc");
    TempDir dir;
    TWebCopy engine;
    engine.ShowDialog = false;
    std::mutex mutex;
    std::vector<std::string> order;
    auto note = [&](const std::string& what) {
        std::lock_guard lock(mutex);
        order.push_back(what);
    };
    std::promise<void> firstEnding, secondDone;
    std::atomic<int> runs{0};
    engine.OnFileStart = [&](TWebCopy*, int) { note("start"); };
    engine.OnCopyDone = [&](TWebCopy*) {
        if (++runs == 1) {
            firstEnding.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            note("first ended");
        } else {
            secondDone.set_value();
        }
    };
    TWebCopyItem* job = engine.Items().Add();
    job->URL = QString::fromStdString(server.Url("/a.bin"));
    job->TargetDir = QString::fromStdString(dir.Slash());
    engine.StartTransfers();
    firstEnding.get_future().wait();
    engine.StartTransfers();
    secondDone.get_future().wait();
    std::lock_guard lock(mutex);
    EXPECT_EQ(order, (Events{"start", "first ended", "start"}));
}

// The engine going away right after StartTransfers, before its worker has
// begun the run, still cancels that run: a server that never answers does not
// keep the destructor waiting.
TEST(StartTransfers, DestroyingTheEngineBeforeTheRunBeginsCancelsIt) {
    SilentServer silent(SilentServer::kNeverAnswers);
    for (int round = 0; round < 5; ++round) {
        auto engine = std::make_unique<TWebCopy>();
        engine->ShowDialog = false;
        engine->Items().Add()->URL = QString::fromStdString(silent.Url("/a.bin"));
        const auto start = std::chrono::steady_clock::now();
        engine->StartTransfers();
        engine.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    }
}

// A cancel asked for right after StartTransfers returns reaches the run even
// when its worker has not begun yet.
TEST(StartTransfers, ACancelRightAfterTheStartIsNotLost) {
    LocalHttpServer server;
    server.ServeBytes("/a.bin", std::string(100000, 'a'));
    TempDir dir;
    TWebCopy engine;
    engine.ShowDialog = false;
    EngineRecorder rec(engine);
    TWebCopyItem* job = engine.Items().Add();
    job->URL = QString::fromStdString(server.Url("/a.bin"));
    job->TargetDir = QString::fromStdString(dir.Slash());
    std::mutex mutex;
    std::condition_variable ended;
    int runsDone = 0;
    engine.OnCopyDone = [&](TWebCopy*) {
        std::lock_guard lock(mutex);
        ++runsDone;
        ended.notify_all();
    };
    for (int round = 1; round <= 5; ++round) {
        engine.StartTransfers();
        engine.CancelTransfers();
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return runsDone == round; });
        EXPECT_FALSE(job->CopySucceeded);
    }
    EXPECT_TRUE(rec.EventsOf("FileDone").empty());
}

// The routines that drop a cancel asked for before their transfer (from a
// handler, say) still stop when the engine is being destroyed: a destructor
// that cancels while the overwrite question is asked does not wait for the
// whole transfer.
TEST(StartTransfers, DestroyingTheEngineStopsARoutineBeforeItsTransfer) {
    TempDir local, remote;
    const std::string payload(8 << 20, 'p');
    WriteFile(local / "big.bin", payload);
    WriteFile(remote / "big.bin", payload);
    LocalFtpServer ftp(remote.Path());
    ASSERT_GT(ftp.Port(), 0);
    for (TWebCopyProtocol protocol : {wpFile, wpFtp}) {
        SCOPED_TRACE(protocol);
        const std::filesystem::path target = local / "out" / "big.bin";
        std::filesystem::create_directories(target.parent_path());
        WriteFile(target, "old");
        std::promise<void> asked;
        auto engine = std::make_unique<TWebCopy>();
        engine->ShowDialog = false;
        engine->OnCopyOverWrite = [&asked](TWebCopy* sender, const QString&, bool&) {
            asked.set_value();
            while (!sender->IsCancelled())
                std::this_thread::yield();
        };
        TWebCopyItem* job = engine->Items().Add();
        job->Protocol = protocol;
        job->TargetDir = QString::fromStdString((local / "out").string());
        if (protocol == wpFile) {
            job->URL = QString::fromStdString((local / "big.bin").string());
        } else {
            job->URL = "/big.bin";
            job->FTPHost = "127.0.0.1";
            job->FTPPort = ftp.Port();
        }
        engine->StartTransfers();
        asked.get_future().wait();
        engine.reset();
        EXPECT_LT(std::filesystem::file_size(target), payload.size());
    }
}

} // namespace
