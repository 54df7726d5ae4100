#include "EngineRecorder.h"
#include "LocalHttpServer.h"
#include "TempDir.h"
#include "WebCopy.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

using Events = std::vector<std::string>;

// Lists the engine's signals, received queued on this (the main) thread, in
// the recorder's words; progress as "Progress DONE/TOTAL".
struct SignalLog {
    explicit SignalLog(TWebCopy& engine) {
        const auto queued = Qt::QueuedConnection;
        QObject::connect(
            &engine, &TWebCopy::FileStart, &context,
            [this](int idx) { Add("FileStart " + std::to_string(idx)); }, queued);
        QObject::connect(
            &engine, &TWebCopy::FileDone, &context,
            [this](int idx) { Add("FileDone " + std::to_string(idx)); }, queued);
        QObject::connect(
            &engine, &TWebCopy::CopyProgress, &context,
            [this](int, quint64 size, quint64 total) {
                Add("Progress " + std::to_string(size) + "/" + std::to_string(total));
            },
            queued);
        QObject::connect(
            &engine, &TWebCopy::Error, &context, [this](int code) { Add("Error " + std::to_string(code)); },
            queued);
        QObject::connect(
            &engine, &TWebCopy::ErrorInfo, &context,
            [this](int code, const QString& info) {
                Add("ErrorInfo " + std::to_string(code) + " " + info.toStdString());
            },
            queued);
        QObject::connect(
            &engine, &TWebCopy::URLNotFound, &context,
            [this](const QString& url) { Add("URLNotFound " + url.toStdString()); }, queued);
        QObject::connect(
            &engine, &TWebCopy::CopyDone, &context, [this] { Add("CopyDone"); }, queued);
    }

    void Add(const std::string& line) {
        events.push_back(line);
        onMainThread = onMainThread && QThread::currentThread() == context.thread();
    }

    Events Without(const std::string& word) const {
        Events out;
        std::copy_if(events.begin(), events.end(), std::back_inserter(out),
                     [&](const std::string& e) { return e.rfind(word, 0) != 0; });
        return out;
    }

    QObject context;
    Events events;
    bool onMainThread = true;
};

} // namespace

TEST(EngineSignals, AQueuedReceiverGetsEveryEventOfARealRunInOrderOnItsThread) {
    LocalHttpServer server;
    server.ServeStatus("/missing.bin", 404);
    const std::string payload(300000, 'p');
    server.ServeBytes("/data.bin", payload);
    TempDir dir;
    TWebCopy engine;
    engine.ShowDialog = false;
    EngineRecorder rec(engine);
    SignalLog log(engine);
    for (const char* path : {"/missing.bin", "/data.bin"}) {
        TWebCopyItem* job = engine.Items().Add();
        job->URL = QString::fromStdString(server.Url(path));
        job->TargetDir = QString::fromStdString(dir.Slash());
    }

    QEventLoop loop;
    QObject::connect(&engine, &TWebCopy::CopyDone, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit); // a guard only: CopyDone ends the wait
    engine.StartTransfers();
    loop.exec();

    EXPECT_TRUE(log.onMainThread);
    EXPECT_EQ(log.Without("Progress"),
              (Events{"FileStart 0", "Error 404", "ErrorInfo 404 Returned http error code 404", "FileDone 0",
                      "FileStart 1", "FileDone 1", "CopyDone"}));
    EXPECT_EQ(log.Without("Progress"), rec.Events());
    // Every block's progress, as the callback saw it, between the second
    // file's start and end, ending at the whole file.
    Events progress;
    for (const auto& [size, total] : rec.Progress())
        progress.push_back("Progress " + std::to_string(size) + "/" + std::to_string(total));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), "Progress 300000/300000");
    const auto start = std::find(log.events.begin(), log.events.end(), "FileStart 1");
    const auto done = std::find(log.events.begin(), log.events.end(), "FileDone 1");
    EXPECT_EQ(Events(start + 1, done), progress);
    EXPECT_EQ(ReadFile(dir / "data.bin"), payload);
}
