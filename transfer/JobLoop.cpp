#include "JobLoop.h"

#include "InetSession.h"
#include "InetWaitHook.h"
#include "TransferSteps.h"
#include "WebCopyRun.h"

#include <exception>

namespace quorvel {

namespace {

void BuildProgressWindow(TWebCopy& engine) {
    auto window = std::make_shared<TProgressWindow>(engine, engine.CaptionHeight());
    TWebCopyRun::SetProgressWindow(engine, window);
    // A run started by StartTransfers had its flag cleared there, on the
    // caller's thread, so that a cancel asked for right after the start is
    // not lost; a run called directly starts afresh here.
    if (!TWCopyThread::IsWorkerOf(&engine))
        TWebCopyRun::ResetCancel(engine);
    if (engine.ShowDialog)
        window->Show();
}

QString DirectionWord(const TWebCopy& engine, TWebCopyProtocol protocol) {
    switch (protocol) {
    case wpFile:
        return engine.DlgCopying;
    case wpFtpUpload:
    case wpHttpUpload:
        return engine.DlgUpload;
    default:
        return engine.DlgDwnload;
    }
}

bool Dispatch(TWebCopy& engine, int idx, TWebCopyItem& job, TDateTime& date, bool& noNewFile) {
    switch (job.Protocol) {
    case wpHttp:
        return HttpDownload(engine, idx, job.URL, job.TargetDir, job.TargetFilename, job.CopyNewerOnly, date,
                            noNewFile);
    case wpFtp:
        return FtpDownload(engine, idx, job.FTPUserID, job.FTPPassword, job.FTPHost, job.FTPPort, job.URL,
                           job.TargetDir, job.TargetFilename, job.CopyNewerOnly, date, noNewFile);
    case wpFile:
        return FileCopy(engine, idx, job.FTPUserID, job.FTPPassword, job.FTPHost, job.FTPPort, job.URL,
                        job.TargetDir, job.TargetFilename, job.CopyNewerOnly, date, noNewFile);
    case wpFtpUpload:
        return FtpUpload(engine, idx, job.FTPUserID, job.FTPPassword, job.FTPHost, job.FTPPort, job.URL,
                         job.TargetDir, job.TargetFilename, job.CopyNewerOnly, date, noNewFile);
    case wpHttpUpload:
        noNewFile = false;
        return HttpUpload(engine, job.URL, job.TargetDir, job.TargetFilename, job.HTTPCommand);
    }
    return false;
}

// A routine that throws must not end the run without its end events: the job
// is recorded as failed and reported, and the loop goes on.
bool RunOne(TWebCopy& engine, int idx, TWebCopyItem& job, TDateTime& date, bool& noNewFile) {
    try {
        return Dispatch(engine, idx, job, date, noNewFile);
    } catch (const std::exception& e) {
        TWebCopyRun::ReportError(engine, WebCopyError::kInternalFailure,
                                 QStringLiteral("Transfer failed ") + QString::fromUtf8(e.what()));
    } catch (...) {
        TWebCopyRun::ReportError(engine, WebCopyError::kInternalFailure,
                                 QStringLiteral("Transfer failed ") + job.URL);
    }
    return false;
}

void EndOfRun(TWebCopy& engine) {
    const auto window = engine.ProgressWindow();
    if (!window)
        return;
    const bool keep = engine.ShowOpenFile || engine.ShowOpenFolder;
    TransferSteps::ProcessPendingInput(engine);
    window->EndRun(keep, engine.IsCancelled(), engine.LastTargetFile(), engine.LastTargetDir());
    // A Cancel pressed between the last pending-input step and the end.
    TransferSteps::ProcessPendingInput(engine);
    if (!keep) {
        window->Detach();
        TWebCopyRun::SetProgressWindow(engine, nullptr);
    }
}

} // namespace

void RunJobs(TWebCopy& engine) {
    BuildProgressWindow(engine);
    TWebCopyRun::Session(engine).reset();
    if (CountNetworkJobs(engine) > 0)
        // The session watches the cancel flag, so a cancel (or the engine's
        // end) cuts short a connect or a read that is waiting on the server.
        TWebCopyRun::Session(engine) =
            InetSession::Open("WebCopy", engine.Proxy.toStdString(), &engine.CancelFlag());
    // A transfer that waits for the network first shows its latest block.
    const InetWaitHook publishBeforeWaiting([&engine] { TransferSteps::PublishPendingProgress(engine); });
    TWebCopyRun::CurrentNumber(engine) = 0;
    const int count = engine.Items().Count();
    for (int i = 0; i < count; ++i) {
        TWebCopyItem& job = *engine.Items()[i];
        if (!job.Active)
            continue;
        ++TWebCopyRun::CurrentNumber(engine);
        TWebCopyRun::RaiseFileStart(engine, i);
        if (const auto window = engine.ProgressWindow())
            window->SetCaption(DirectionWord(engine, job.Protocol) + QStringLiteral(" ..."));
        TDateTime date = job.FileDate;
        bool noNewFile = false;
        const bool result = RunOne(engine, i, job, date, noNewFile);
        // A job that ended within a tick of its last block shows that block.
        TransferSteps::PublishPendingProgress(engine);
        job.NewDate = date;
        job.CopySucceeded = result && !engine.IsCancelled();
        job.NoNewFile = noNewFile;
        if (engine.IsCancelled())
            break;
        TWebCopyRun::RaiseFileDone(engine, i);
    }
    TWebCopyRun::Session(engine).reset();
    TWebCopyRun::RaiseCopyDone(engine);
    EndOfRun(engine);
}

int CountNetworkJobs(const TWebCopy& engine) {
    int n = 0;
    for (int i = 0; i < engine.Items().Count(); ++i)
        n += engine.Items()[i]->Active && engine.Items()[i]->Protocol != wpFile;
    return n;
}

int CountActiveJobs(const TWebCopy& engine) {
    int n = 0;
    for (int i = 0; i < engine.Items().Count(); ++i)
        n += engine.Items()[i]->Active;
    return n;
}

} // namespace quorvel
