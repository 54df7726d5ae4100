#include "WebCopyCli.h"

#include "CommandLine.h"
#include "ConsoleReport.h"
#include "WebCopy.h"

#include <atomic>
#include <csignal>

namespace quorvel {

namespace {

std::atomic<TWebCopy*> g_interrupted{nullptr};

// A C function of this file alone: its name is no symbol of the library.
extern "C" {
static void OnInterrupt(int) {
    if (TWebCopy* engine = g_interrupted.load())
        engine->CancelTransfers(); // a lock-free atomic store
}
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

int RunWebCopyCli(int argc, char** argv, std::ostream& out, std::ostream& err, bool terminal,
                  bool handleInterrupt) {
    const TCommandLine line = TCommandLine::Parse(std::vector<std::string>(argv + 1, argv + argc));
    if (line.help) {
        out << TCommandLine::HelpText();
        return 0;
    }
    if (line.version) {
        out << "webcopy (Quorvel) " QUORVEL_VERSION "\n";
        return 0;
    }
    if (!line.error.empty()) {
        err << "webcopy: " << line.error << "\n";
        return 2;
    }

    TWebCopy engine;
    engine.ShowDialog = false;
    engine.FTPPassive = line.passive;
    engine.Proxy = Q(line.proxy);
    engine.ProxyUserID = Q(line.proxyUser);
    engine.ProxyPassword = Q(line.proxyPassword);
    for (const TCommandLineJob& given : line.jobs) {
        TWebCopyItem* job = engine.Items().Add();
        job->Protocol = given.protocol;
        job->URL = Q(given.url);
        job->FTPHost = Q(given.host);
        job->FTPPort = given.port;
        job->FTPUserID = Q(given.user);
        job->FTPPassword = Q(given.password);
        job->TargetDir = Q(given.targetDir);
        job->TargetFilename = Q(given.targetName);
        job->CopyNewerOnly = given.newerOnly;
        job->FileDate = given.newerThan;
        job->HTTPCommand = given.verb;
        job->Resume = line.resume;
    }
    ConsoleReport report(engine, out, terminal, line.keepExisting);
    if (handleInterrupt) {
        g_interrupted = &engine;
        std::signal(SIGINT, OnInterrupt);
    }
    engine.StartTransfers();
    report.WaitForDone();
    if (handleInterrupt) {
        std::signal(SIGINT, SIG_DFL);
        g_interrupted = nullptr;
    }
    bool all = true;
    for (int i = 0; i < engine.Items().Count(); ++i)
        all = all && engine.Items()[i]->CopySucceeded;
    return all ? 0 : 1;
}

} // namespace quorvel
