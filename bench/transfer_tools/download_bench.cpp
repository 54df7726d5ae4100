// Downloads one URL into a folder through the transfer engine, with an
// OnCopyProgress handler that copies the bar and two progress lines the way
// the updater does, and prints the time taken and the peak memory.
// Usage: download_bench [--resume] [--cancel-at BYTES] <url> <folder>
//   --resume      the job resumes a kept partial download, and keeps one
//   --cancel-at   cancels once that many bytes are in (to leave a partial)
#include "WebCopy.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <iostream>
#include <mutex>
#include <string>

using namespace quorvel;

namespace {

// What the updater's window would show, written from the worker thread.
struct Mirror {
    std::mutex mutex;
    int max = 0, position = 0;
    QString progress, rate;
};

} // namespace

int main(int argc, char** argv) {
    bool resume = false;
    std::uint64_t cancelAt = 0;
    int arg = 1;
    for (; arg < argc && argv[arg][0] == '-'; ++arg) {
        if (std::string(argv[arg]) == "--resume")
            resume = true;
        else if (std::string(argv[arg]) == "--cancel-at" && arg + 1 < argc)
            cancelAt = std::stoull(argv[++arg]);
        else
            break;
    }
    if (argc - arg != 2) {
        std::cerr << "usage: download_bench [--resume] [--cancel-at BYTES] <url> <folder>\n";
        return 2;
    }
    const char* url = argv[arg];
    const char* folder = argv[arg + 1];
    Mirror mirror;
    std::promise<void> done;
    bool ok = false;
    const auto start = std::chrono::steady_clock::now();
    {
        TWebCopy engine;
        engine.ShowDialog = false;
        engine.ShowFileName = false;
        engine.OnCopyProgress = [&](TWebCopy* sender, int, std::uint64_t done, std::uint64_t) {
            if (cancelAt > 0 && done >= cancelAt)
                sender->CancelTransfers();
            const auto window = sender->ProgressWindow();
            const TProgressBarState bar = window->ProgressBar();
            QString progress = window->ProgressLabel().Caption;
            QString rate = window->RateLabel().Caption;
            std::lock_guard lock(mirror.mutex);
            mirror.max = bar.Max;
            mirror.position = bar.Position;
            mirror.progress = std::move(progress);
            mirror.rate = std::move(rate);
        };
        engine.OnErrorInfo = [](TWebCopy*, int code, const QString& info) {
            std::cerr << "error " << code << ": " << info.toStdString() << "\n";
        };
        engine.OnCopyDone = [&](TWebCopy*) { done.set_value(); };
        TWebCopyItem* job = engine.Items().Add();
        job->URL = QString::fromUtf8(url);
        job->TargetDir = QString::fromUtf8(folder);
        job->Resume = resume;
        engine.StartTransfers();
        done.get_future().wait();
        ok = job->CopySucceeded;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.4f peak_kib=%ld bar=%d/%d progress=\"%s\" ok=%d\n", seconds, usage.ru_maxrss,
                mirror.position, mirror.max, mirror.progress.toStdString().c_str(), ok ? 1 : 0);
    return ok ? 0 : 1;
}
