#include "CabTestSupport.h"
#include "TestBytes.h"
#include "cabfiles.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <tuple>

using namespace quorvel;

namespace {

// One extraction with its own component, cabinet, target and progress
// record. Its first progress event waits at `meet` until the other job has
// begun writing too, so that both are inside a file at once.
struct Job {
    Tree files;
    TempDir work, target;
    TCABFile cab;
    std::vector<std::tuple<QString, qint64, qint64>> progress;
    std::atomic<bool> met{false};
    bool ok = false;

    Job(int id, bool zip, std::latch& meet) {
        for (int i = 0; i < 16; ++i)
            files["job" + std::to_string(id) + "/f" + std::to_string(i) + ".bin"] =
                Pattern(120000 + static_cast<std::size_t>(i * 1000 + id), id * 100 + i);
        WriteFile(work / "c.cab", GcabOf(files, zip));
        cab.SetCABFile(QString::fromStdString((work / "c.cab").string()));
        cab.SetTargetPath(QString::fromStdString(target.Slash()));
        cab.OnDecompressProgress = [this, &meet](QObject*, const QString& name, qint64 pos, qint64 total) {
            progress.emplace_back(name, pos, total);
            if (!met.exchange(true))
                meet.arrive_and_wait();
        };
    }

    void Run(std::latch& meet) {
        ok = cab.ExtractAll();
        if (!met.exchange(true)) // never wrote: the other job must not wait for it
            meet.count_down();
    }

    // Every progress event names a file of this job, and each file's last
    // one reports all of it.
    void ExpectOwnProgress() const {
        std::map<std::string, std::pair<qint64, qint64>> last;
        for (const auto& [stored, pos, total] : progress) {
            const std::string name = QString(stored).replace('\\', '/').toStdString();
            ASSERT_TRUE(files.count(name)) << name;
            EXPECT_LE(pos, total);
            last[name] = {pos, total};
        }
        ASSERT_EQ(last.size(), files.size());
        for (const auto& [name, bytes] : files)
            EXPECT_EQ(last[name], std::make_pair(qint64(bytes.size()), qint64(bytes.size()))) << name;
    }
};

TEST(CabThreads, TwoExtractionsAtOnceEachWriteAndReportOnlyTheirOwnFiles) {
    MessageRecorder boxes;
    std::latch meet(2);
    Job mszip(0, true, meet), stored(1, false, meet);
    std::thread first(&Job::Run, &mszip, std::ref(meet)), second(&Job::Run, &stored, std::ref(meet));
    first.join();
    second.join();
    for (const Job* job : {&mszip, &stored}) {
        EXPECT_TRUE(job->ok);
        ExpectTree(job->target.Path(), job->files);
        job->ExpectOwnProgress();
    }
    EXPECT_TRUE(boxes.texts.empty());
}

} // namespace
