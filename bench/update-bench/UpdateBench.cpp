// The updater's whole job, headless and without a window: TUpdate::Run
// downloads the package from <url> into <folder>, checks it and installs it.
// Prints the time of the run, the part of it until the last progress report
// of the download, and the peak memory. Exit status 0 when the run ended
// Installed; otherwise its reason and message go to stderr.
// With a public key (base64), a release statement at <url>.release decides,
// as in an updater built with a key.
// Usage: update_bench <url> <folder> [<public key>]
#include "TUpdate.h"
#include "WebCopy.h"

#include <QCoreApplication>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>

using namespace quorvel;

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: update_bench <url> <folder> [<public key>]\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    TUpdateSettings settings;
    settings.folder = QString::fromLocal8Bit(argv[2]);
    settings.url = QString::fromLocal8Bit(argv[1]);
    if (argc == 4)
        settings.key = QString::fromLocal8Bit(argv[3]);
    TUpdate update(settings);

    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    // Written on the engine's worker thread: the nanoseconds from the start
    // to the download's last progress report.
    std::atomic<long long> arrived{0};
    update.OnProgress = [&](const TUpdateProgress&) {
        arrived = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
    };
    TWebCopy engine;
    const TUpdateOutcome outcome = update.Run(engine);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (outcome.reason != TUpdateReason::Installed)
        std::fprintf(stderr, "update ended with reason %d (engine error %d): %s\n",
                     static_cast<int>(outcome.reason), outcome.engineError, qPrintable(outcome.message));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.3f download=%.3f peak_kib=%ld\n", seconds, arrived.load() / 1e9, usage.ru_maxrss);
    return outcome.reason == TUpdateReason::Installed ? 0 : 1;
}
