#include "DownloadChild.h"

#include "ChildProcess.h"
#include "JobLoop.h"
#include "WebCopy.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

using namespace quorvel;

// Run by the kill tests as a child process (this test binary started
// again): downloads one job and prints its progress.
TEST(DownloadChild, Run) {
    const char* url = std::getenv("QUORVEL_CHILD_URL");
    if (!url)
        GTEST_SKIP() << "runs only as the child of a kill test";
    TWebCopy engine;
    engine.ShowDialog = false;
    TWebCopyItem* job = engine.Items().Add();
    job->URL = QString::fromUtf8(url);
    job->TargetDir = QString::fromUtf8(std::getenv("QUORVEL_CHILD_DIR"));
    job->Resume = std::getenv("QUORVEL_CHILD_RESUME") != nullptr;
    engine.OnCopyProgress = [](TWebCopy*, int, std::uint64_t done, std::uint64_t) {
        std::printf("progress %llu\n", static_cast<unsigned long long>(done));
        std::fflush(stdout);
    };
    std::printf("pid %d\n", static_cast<int>(::getpid()));
    std::fflush(stdout);
    RunJobs(engine);
}

void KillDownloadChild(const std::string& url, const std::string& dir, bool resume, std::uint64_t killAfter,
                       std::uint64_t* done) {
    std::vector<std::string> environment = {"QUORVEL_CHILD_URL=" + url, "QUORVEL_CHILD_DIR=" + dir};
    if (resume)
        environment.push_back("QUORVEL_CHILD_RESUME=1");
    ChildProcess child(
        {std::filesystem::read_symlink("/proc/self/exe").string(), "--gtest_filter=DownloadChild.Run"},
        environment);
    int pid = 0;
    std::uint64_t reported = 0;
    for (int i = 0; i < 5000 && reported < killAfter; ++i) {
        const std::string line = child.ReadLine(10000);
        ASSERT_FALSE(line.empty()) << "the child stopped reporting";
        std::sscanf(line.c_str(), "pid %d", &pid);
        unsigned long long n = 0;
        if (std::sscanf(line.c_str(), "progress %llu", &n) == 1)
            reported = n;
    }
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    child.Stop();
    if (done)
        *done = reported;
}
