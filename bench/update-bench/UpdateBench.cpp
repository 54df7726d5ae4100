// The updater's whole job, headless: the window is built, "Start" downloads
// the package from <url> into <folder>, and closing the window installs it.
// Prints the time from "Start" to the end of the close (the window's
// building is left out, as the peer's process start-up is negligible), the
// part of it the download took, and the peak memory. Exit status 0 when the update was downloaded and
// installed.
// With a public key (base64), the updater is built with it as with
// QUORVEL_UPDATE_KEY: the release statement at <url>.release decides.
// Usage: update_bench <url> <folder> [<public key>]
#include "MessageBox.h"
#include "WebCopy.h"
#include "softwareupdate.h"

#include <QApplication>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: update_bench <url> <folder> [<public key>]\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    bool failed = false;
    SetMessageBoxHandler([&failed](const QString&, const QString& text, TMessageKind) {
        failed = failed || text.startsWith(QStringLiteral("Error"));
        std::fprintf(stderr, "%s\n", qPrintable(text));
    });
    double seconds = 0, download = 0;
    {
        TForm1 form(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[1]));
        // The window shows no detail; the log does.
        form.WebCopy1->OnErrorInfo = [](TWebCopy*, int code, const QString& info) {
            std::fprintf(stderr, "error %d: %s\n", code, qPrintable(info));
        };
        if (argc == 4)
            form.SetUpdateKey(QString::fromLocal8Bit(argv[3]));
        const auto start = std::chrono::steady_clock::now();
        form.BitBtn1Click();
        const bool received = form.transferDone && !form.updateFailed;
        const auto downloaded = std::chrono::steady_clock::now();
        form.close();
        download = std::chrono::duration<double>(downloaded - start).count();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        failed = failed || !received;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("seconds=%.3f download=%.3f peak_kib=%ld\n", seconds, download, usage.ru_maxrss);
    return failed ? 1 : 0;
}
