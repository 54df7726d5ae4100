#include "UpdateCommand.h"

#include "BuiltInSettings.h"
#include "FolderPolicy.h"
#include "TUpdate.h"
#include "WebCopy.h"

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr int kExitCurrent = 0;
constexpr int kExitError = 1;
constexpr int kExitAvailable = 10;

struct TOptions {
    bool check = false;
    bool update = false;
    QString folder;
    QString url;
};

// --check or --update, with --folder DIR and --url URL; nullptr-free parse
// that leaves anything else to the caller's usage line.
bool Parse(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--check")
            options.check = true;
        else if (arg == "--update")
            options.update = true;
        else if ((arg == "--folder" || arg == "--url") && i + 1 < argc)
            (arg == "--folder" ? options.folder : options.url) = QString::fromLocal8Bit(argv[++i]);
        else
            return false;
    }
    return options.check != options.update;
}

std::atomic<TUpdate*> g_running{nullptr};

// A C function of this file alone: its name is no symbol of the library.
extern "C" {
static void CancelOnSignal(int) {
    if (TUpdate* update = g_running.load())
        update->Cancel();
}
}

// One line a user reads: the window's texts, a carriage return as a space.
void PrintLine(std::FILE* to, QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    std::fprintf(to, "%s\n", qUtf8Printable(text));
}

// "\r12.3 of 200.0 MB" on a terminal, at most a few times a second.
class TProgressLine {
public:
    void Show(const TUpdateProgress& progress) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_last < std::chrono::milliseconds(200) && progress.done != progress.total)
            return;
        m_last = now;
        m_shown = true;
        std::fprintf(stderr, "\rDownloading: %.1f of %.1f MB ", progress.done / 1e6, progress.total / 1e6);
        std::fflush(stderr);
    }
    ~TProgressLine() {
        if (m_shown)
            std::fputc('\n', stderr);
    }

private:
    std::chrono::steady_clock::time_point m_last{};
    bool m_shown = false;
};

int ExitStatus(const TUpdateOutcome& outcome) {
    switch (outcome.reason) {
    case TUpdateReason::Installed:
    case TUpdateReason::UpToDate:
        return kExitCurrent;
    case TUpdateReason::UpdateAvailable:
        return kExitAvailable;
    default:
        return kExitError;
    }
}

} // namespace

namespace UpdateCommand {

bool Wanted(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--check") == 0 || std::strcmp(argv[i], "--update") == 0)
            return true;
    return false;
}

int Run(int argc, char** argv) {
    TOptions options;
    if (!Parse(argc, argv, options)) {
        std::fprintf(stderr, "Usage: DirevidUreziv --check | --update [--folder DIR] [--url URL]\n");
        return kExitError;
    }
    // Qt Core alone: the program's folder and the engine's objects, no GUI.
    QCoreApplication app(argc, argv);
    TUpdateSettings settings = BuiltInSettings();
    settings.folder = options.folder.isEmpty() ? QCoreApplication::applicationDirPath() : options.folder;
    if (!options.url.isEmpty())
        settings.url = options.url;
    // A folder the system's package manager owns is refused outright; one this
    // user cannot write to is named before anything is downloaded into it.
    const QString refusal = FolderPolicy::Refusal(settings.folder);
    if (!refusal.isEmpty() && (options.update || FolderPolicy::IsSystemOwned(settings.folder))) {
        PrintLine(stderr, refusal);
        return kExitError;
    }

    TUpdate update(settings);
    TProgressLine progress;
    if (isatty(STDERR_FILENO))
        update.OnProgress = [&](const TUpdateProgress& now) { progress.Show(now); };
    g_running = &update;
    std::signal(SIGINT, CancelOnSignal);
    std::signal(SIGTERM, CancelOnSignal);
    TWebCopy engine;
    const TUpdateOutcome outcome =
        update.Run(engine, options.check ? TUpdate::TMode::Check : TUpdate::TMode::Update);
    g_running = nullptr;
    if (outcome.reason == TUpdateReason::Cancelled)
        PrintLine(stderr, QStringLiteral("Cancelled."));
    else
        PrintLine(outcome.Succeeded() ? stdout : stderr, outcome.message);
    return ExitStatus(outcome);
}

} // namespace UpdateCommand

} // namespace quorvel
