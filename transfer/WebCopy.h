#pragma once

#include "QuorvelExport.h"

#include "JobLoop.h"
#include "ProgressFormat.h"
#include "ProgressWindow.h"
#include "TComponent.h"
#include "TransferRoutines.h"
#include "UrlHelpers.h"
#include "WCopyThread.h"
#include "WebCopyItems.h"
#include "WebCopyTypes.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvel {

class InetSession;
class TWebCopyRun;

// Runs a list of transfer jobs, one after another, on a worker thread of its
// own, keeps a progress window and reports through its events. Every event is
// raised on the worker thread.
class QUORVEL_EXPORT TWebCopy : public TComponent {
    Q_OBJECT
    Q_PROPERTY(bool AlwaysOnTop MEMBER AlwaysOnTop)
    Q_CLASSINFO("default:AlwaysOnTop", "false")
    Q_PROPERTY(QString DlgCancel MEMBER DlgCancel)
    Q_PROPERTY(QString DlgCaption MEMBER DlgCaption)
    Q_PROPERTY(QString DlgCompleted MEMBER DlgCompleted)
    Q_PROPERTY(QString DlgFileLabel MEMBER DlgFileLabel)
    Q_PROPERTY(QString DlgFileOfLabel MEMBER DlgFileOfLabel)
    Q_PROPERTY(QString DlgFromServerLabel MEMBER DlgFromServerLabel)
    Q_PROPERTY(QString DlgToServerLabel MEMBER DlgToServerLabel)
    Q_PROPERTY(QString DlgProgressLabel MEMBER DlgProgressLabel)
    Q_PROPERTY(QString DlgRateLabel MEMBER DlgRateLabel)
    Q_PROPERTY(QString DlgTimeLabel MEMBER DlgTimeLabel)
    Q_PROPERTY(QString DlgCopying MEMBER DlgCopying)
    Q_PROPERTY(QString DlgDwnload MEMBER DlgDwnload)
    Q_PROPERTY(QString DlgUpload MEMBER DlgUpload)
    Q_PROPERTY(QString DlgOpenFile MEMBER DlgOpenFile)
    Q_PROPERTY(QString DlgOpenFolder MEMBER DlgOpenFolder)
    Q_PROPERTY(bool FTPPassive MEMBER FTPPassive)
    Q_PROPERTY(bool HTTPKeepAliveAuthentication MEMBER HTTPKeepAliveAuthentication)
    Q_CLASSINFO("default:HTTPKeepAliveAuthentication", "false")
    Q_PROPERTY(TCollection* Items READ ItemsCollection)
    Q_PROPERTY(QString Proxy MEMBER Proxy)
    Q_PROPERTY(QString ProxyUserID MEMBER ProxyUserID)
    Q_PROPERTY(QString ProxyPassword MEMBER ProxyPassword)
    Q_PROPERTY(bool ShowDialog MEMBER ShowDialog)
    Q_CLASSINFO("default:ShowDialog", "true")
    Q_PROPERTY(bool ShowOpenFile MEMBER ShowOpenFile)
    Q_CLASSINFO("default:ShowOpenFile", "false")
    Q_PROPERTY(bool ShowOpenFolder MEMBER ShowOpenFolder)
    Q_CLASSINFO("default:ShowOpenFolder", "false")
    Q_PROPERTY(bool ShowCompletion MEMBER ShowCompletion)
    Q_CLASSINFO("default:ShowCompletion", "false")
    Q_PROPERTY(bool ShowFileName MEMBER ShowFileName)
    Q_CLASSINFO("default:ShowFileName", "true")
    Q_PROPERTY(bool ShowServer MEMBER ShowServer)
    Q_CLASSINFO("default:ShowServer", "true")
    Q_PROPERTY(bool ShowTime MEMBER ShowTime)
    Q_CLASSINFO("default:ShowTime", "false")
    Q_PROPERTY(QString Version READ Version WRITE SetVersion)

public:
    explicit TWebCopy(QObject* owner = nullptr);
    // Cancels a run still going on and waits for its worker to let go of the
    // component, so that no thread is left touching a freed engine.
    ~TWebCopy() override;

    // Published properties; set them only while no run is going on.
    bool AlwaysOnTop = false;
    QString DlgCancel = QStringLiteral("Cancel");
    QString DlgCaption = QStringLiteral("Downloading");
    QString DlgCompleted = QStringLiteral("completed");
    QString DlgFileLabel = QStringLiteral("File :");
    QString DlgFileOfLabel = QStringLiteral("of");
    QString DlgFromServerLabel = QStringLiteral("from");
    QString DlgToServerLabel = QStringLiteral("to");
    QString DlgProgressLabel = QStringLiteral("Progress :");
    QString DlgRateLabel = QStringLiteral("Transfer rate :");
    QString DlgTimeLabel = QStringLiteral("Estimated time left :");
    QString DlgCopying = QStringLiteral("Copying");
    QString DlgDwnload = QStringLiteral("Downloading");
    QString DlgUpload = QStringLiteral("Uploading");
    QString DlgOpenFile = QStringLiteral("Open file");
    QString DlgOpenFolder = QStringLiteral("Open folder");
    bool FTPPassive = false;
    bool HTTPKeepAliveAuthentication = false;
    QString Proxy;
    QString ProxyUserID;
    QString ProxyPassword;
    bool ShowDialog = true;
    bool ShowOpenFile = false;
    bool ShowOpenFolder = false;
    bool ShowCompletion = false;
    bool ShowFileName = true;
    bool ShowServer = true;
    bool ShowTime = false;

    TWebCopyItems& Items() { return m_items; }
    const TWebCopyItems& Items() const { return m_items; }
    TCollection* ItemsCollection() const { return const_cast<TWebCopyItems*>(&m_items); }

    QString Version() const { return QStringLiteral("1.4.0.1"); }
    void SetVersion(const QString&) {} // read-only in effect

    // Events, raised on the worker thread when bound.
    TWebCopyConnectError OnConnectError;
    TWebCopyCancel OnCopyCancel;
    TWebCopyThreadDone OnCopyDone;
    TWebCopyOverwrite OnCopyOverWrite;
    TWebCopyProgress OnCopyProgress;
    TWebCopyError OnError;
    TWebCopyErrorInfo OnErrorInfo;
    TWebCopyFileDone OnFileDone;
    TWebCopyFileStart OnFileStart;
    TWebCopyFileDateCheck OnFileDateCheck;
    TWebCopyURLNotFound OnURLNotFound;
    TWebCopyNoNewFile OnNoNewFileFound;
    // Raised by the downloads (HTTP, FTP, file copy) for the file they write:
    // every block as it goes into the temporary file, and the whole file
    // before it replaces the target.
    TWebCopyDataBlock OnDataBlock;
    TWebCopyVerifyFile OnVerifyFile;

    // Starts one run on a new worker thread. When an earlier run is still
    // going, it first waits for that run's worker to end (the owner starts a
    // run only once the previous one has reported its end, so the wait is
    // short); called from a handler on the worker, it does not wait. The
    // run's cancel flag is cleared here, so a CancelTransfers made right
    // after this returns always reaches the new run.
    void StartTransfers();
    // Asks the current run to stop at its next check; safe from any thread,
    // and from a signal handler (a lock-free atomic store).
    void CancelTransfers() { m_run.Cancelled = true; }

    // Read-only views of the current (or last) run. The run changes them on
    // its worker thread: read them from its handlers, or once it has ended.
    // Whether the run was cancelled (by CancelTransfers, the progress
    // window's Cancel button or the engine's end).
    bool IsCancelled() const { return m_run.Cancelled; }
    // The cancel flag itself, for a caller's own transfers that should stop
    // with the run (InetSession's cancel flag); it stays valid as long as
    // the engine.
    const std::atomic<bool>& CancelFlag() const { return m_run.Cancelled; }
    // The number of the active job being run, counted from 1.
    int CurrentNumber() const { return m_run.CurrentNumber; }
    // The local file the last transfer wrote or sent, and its folder (for an
    // FTP upload, the remote folder).
    QString LastTargetFile() const { return m_run.LastTargetFile; }
    QString LastTargetDir() const { return m_run.LastTargetDir; }

    // The progress window of the current run: built at the start of every
    // run, gone (nullptr) after a run unless an Open button kept it. Its
    // getters may be used from any thread.
    std::shared_ptr<TProgressWindow> ProgressWindow() const;

    // Milliseconds for rates and times left, wrapping at 2^32: a monotonic
    // clock, unless a test replaced it (TWebCopyRun::SetTickSource).
    std::uint32_t TickCount() const;

    // Height of a window title bar, used by the progress window's layout.
    int CaptionHeight() const { return m_captionHeight; }

Q_SIGNALS:
    // The notification events as signals, emitted on the worker thread right
    // after the callback of the same event (the events that ask for an answer
    // stay callbacks only). A GUI connects with Qt::QueuedConnection and
    // receives them on its own thread, in the order they were raised.
    void FileStart(int idx);
    void FileDone(int idx);
    void CopyProgress(int fileidx, quint64 size, quint64 totsize);
    void CopyDone();
    void CopyCancel();
    void Error(int errorCode);
    void ErrorInfo(int errorCode, const QString& errorInfo);
    void ConnectError();
    void URLNotFound(const QString& url);
    void NoNewFileFound(const QString& tgtfile, quorvel::TDateTime curdate, quorvel::TDateTime newdate);

private:
    // The engine's routines (free functions of transfer/) reach the run
    // state and raise the events through TWebCopyRun, a header of transfer/
    // that is not installed: a caller cannot change a run from outside.
    friend class TWebCopyRun;

    // Run-time state of the current run.
    struct TRunState {
        std::atomic<bool> Cancelled{false};
        int CurrentNumber = 0;
        std::unique_ptr<InetSession> Session;
        QString LastTargetFile;
        QString LastTargetDir;
        // Replaces the monotonic clock when set (tests).
        std::function<std::uint32_t()> TickSource;
    };

    TRunState m_run;
    TWebCopyItems m_items{this};
    int m_captionHeight;
    mutable std::mutex m_windowMutex;
    std::shared_ptr<TProgressWindow> m_progressWindow;
    std::vector<std::weak_ptr<TProgressWindow>> m_keptWindows; // worker thread and destructor only
    std::atomic<bool> m_ending{false};
    std::mutex m_runMutex;
    std::condition_variable m_runEnded;
    int m_runningThreads = 0;
    std::vector<std::thread> m_workers; // under m_runMutex

    // Makes the signals' argument types known to queued connections.
    static void RegisterEventTypes();
    // Waits until no run is going, then joins the workers' threads.
    void WaitForWorkers();

    // Clears the cancel flag for a new run, unless the engine is being
    // destroyed: a run that starts while the destructor waits for it is
    // cancelled too.
    void ResetCancel();
    void SetProgressWindow(std::shared_ptr<TProgressWindow> window);
    // Book-keeping of worker threads (TWCopyThread): a run is counted from
    // its start to its RunEnded, and its thread is kept until joined.
    void RunStarted(const std::function<void()>& body);
    void RunEnded();

    // Raises OnError then OnErrorInfo for one failure.
    void ReportError(WebCopyError code, const QString& info);
    // Raise one event: its callback when bound, then its signal.
    void RaiseFileStart(int idx);
    void RaiseFileDone(int idx);
    void RaiseCopyDone();
    void RaiseCopyCancel();
    void RaiseCopyProgress(std::uint64_t size, std::uint64_t totsize);
    void RaiseConnectError();
    void RaiseURLNotFound(const QString& url);
    void RaiseNoNewFileFound(const QString& tgtfile, TDateTime curdate, TDateTime newdate);
};

} // namespace quorvel
