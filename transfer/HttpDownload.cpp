#include "DownloadTarget.h"
#include "HttpResume.h"
#include "InetError.h"
#include "InetRequest.h"
#include "InetSession.h"
#include "JobDeadline.h"
#include "RoutineSteps.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopyErrors.h"
#include "WebCopyRun.h"

#include <memory>

namespace quorvel {

namespace {

constexpr std::size_t kBlockSize = 4096;

// A request of the run's session, closed when the routine leaves early.
class RequestGuard {
public:
    RequestGuard(InetSession* session, InetRequest* request) : m_session(session), m_request(request) {}
    ~RequestGuard() { Close(); }
    RequestGuard(const RequestGuard&) = delete;
    RequestGuard& operator=(const RequestGuard&) = delete;
    InetRequest* get() const { return m_request; }
    void Reset(InetRequest* request) {
        Close();
        m_request = request;
    }
    void Close() {
        if (m_session && m_request)
            m_session->CloseRequest(m_request);
        m_request = nullptr;
    }

private:
    InetSession* m_session;
    InetRequest* m_request;
};

// The session's deadline for one job, cleared when the job ends.
class DeadlineGuard {
public:
    DeadlineGuard(InetSession* session, const TWebCopy& engine, int idx) : m_session(session) {
        if (m_session && idx >= 0 && idx < engine.Items().Count())
            m_session->SetDeadline(JobDeadline::For(*engine.Items()[idx]));
    }
    ~DeadlineGuard() {
        if (m_session)
            m_session->SetDeadline(std::nullopt);
    }
    DeadlineGuard(const DeadlineGuard&) = delete;
    DeadlineGuard& operator=(const DeadlineGuard&) = delete;

private:
    InetSession* m_session;
};

// The target is written through a buffer of sixteen blocks.
constexpr std::size_t kTargetBuffer = 16 * kBlockSize;

DownloadTarget::Words WriteWords(const QString& targetPath) {
    return {WebCopyError::kWriteFailed, QStringLiteral("Error writing to file ") + targetPath,
            QStringLiteral("Cannot create file ") + targetPath};
}

// Outcome of the date check: go on, end the job on a failure, or end it
// because the date rule wants no new file (the server's is not newer, or the
// handler refused it).
enum class DateCheck { Proceed, Stop, Refused };

DateCheck CheckServerDate(TWebCopy& engine, int idx, InetRequest& request, const QString& url,
                          const QString& shortName, bool copyNewerOnly, TDateTime& date, bool& noNewFile) {
    TDateFields fields;
    request.QueryLastModified(fields);
    TDateTime serverDate = 0;
    try {
        serverDate = SystemTimeToDate(fields);
    } catch (const EConvertError&) {
        // Without a server date nothing can be compared; the job fails with a
        // report instead of ending the whole run.
        TWebCopyRun::ReportError(engine, WebCopyError::kNoServerDate,
                                 QStringLiteral("No valid modification date from server ") + url);
        return DateCheck::Stop;
    }
    if (engine.OnFileDateCheck) {
        date = serverDate;
        bool allow = true;
        engine.OnFileDateCheck(&engine, idx, serverDate, allow);
        return allow ? DateCheck::Proceed : DateCheck::Refused;
    }
    if (copyNewerOnly && serverDate > date) {
        date = serverDate;
        return DateCheck::Proceed;
    }
    noNewFile = true;
    date = serverDate;
    TWebCopyRun::RaiseNoNewFileFound(engine, shortName, date, serverDate);
    return DateCheck::Refused;
}

// Reads the body block by block into the target's temporary file, after
// the resumed bytes it already holds. True when the whole body arrived: as
// much as announced, or, without a length, up to a clean end (an empty body
// is an empty file); false on a failure, which is reported, or a cancel,
// which is not.
bool ReadBody(TWebCopy& engine, InetRequest& request, DownloadTarget& target, const QString& targetPath,
              std::uint64_t total, std::uint64_t resumed) {
    TargetFile& file = target.File();
    std::uint64_t received = resumed;
    const std::uint32_t startTick = engine.TickCount();
    std::size_t readCount = kBlockSize;
    // The run's window stays the same during the transfer.
    const auto window = engine.ProgressWindow();
    while (readCount > 0 && !engine.IsCancelled()) {
        TransferSteps::ProcessPendingInput(engine, window.get());
        if (!request.Read(file.Next(), kBlockSize, readCount)) {
            // A cancel that cut the wait short is no failure of the transfer.
            if (engine.IsCancelled())
                return false;
            RoutineSteps::ReportInetError(engine, request.LastError());
            return false;
        }
        if (!file.Commit(readCount, kBlockSize)) {
            target.ReportWriteFailure();
            return false;
        }
        received += readCount;
        // A body past its announced length is no file the server meant.
        if (total > 0 && received > total) {
            TWebCopyRun::ReportError(engine, WebCopyError::kShortBody,
                                     QStringLiteral("File longer than announced received ") + targetPath);
            return false;
        }
        target.Checkpoint();
        TransferSteps::ProgressStep(engine, window.get(), received, total, startTick, engine.DlgDwnload,
                                    resumed);
        TransferSteps::ProcessPendingInput(engine, window.get());
    }
    if (engine.IsCancelled())
        return false;
    if (total > 0 && received < total) {
        TWebCopyRun::ReportError(engine, WebCopyError::kShortBody,
                                 QStringLiteral("Incomplete file received ") + targetPath);
        return false;
    }
    return true;
}

// A partial download kept by an earlier run of the job, reopened to go on
// from its trusted bytes.
struct KeptPartial {
    std::uint64_t start = 0; // 0: none, start afresh
    ResumeRecord record;
};

// Reopens the job's kept partial file when its record is whole and names
// the same URL. A file that holds everything still asks for its last byte,
// so that the server confirms it is the same file.
KeptPartial ReopenKept(DownloadTarget& target, const QString& url) {
    KeptPartial kept;
    std::uint64_t fileSize = 0;
    const auto record = target.File().KeptRecord(fileSize);
    if (!record || record->url != url.toStdString())
        return kept;
    const std::uint64_t trusted = record->TrustedLength(fileSize);
    const std::uint64_t start = trusted == record->total ? trusted - 1 : trusted;
    if (start == 0 || !target.File().Reopen(start))
        return kept;
    kept.start = start;
    kept.record = *record;
    // Whatever ends this run before the rest arrives keeps the file.
    target.KeepForResume(kept.record);
    return kept;
}

} // namespace

bool HttpDownload(TWebCopy& engine, int idx, const QString& url, const QString& targetDir,
                  const QString& targetFilename, bool copyNewerOnly, TDateTime& date, bool& noNewFile) {
    noNewFile = false;
    const QString shortName = QString::fromStdString(UrlFileName(url.toStdString()));
    const QString fullUrl = QString::fromStdString(AddUrlCredentials(engine, url.toStdString()));
    TransferSteps::WriteFileLine(engine, shortName, engine.DlgFromServerLabel,
                                 QString::fromStdString(UrlHost(fullUrl.toStdString())), engine.ShowServer);

    DownloadTarget target(engine, idx, kTargetBuffer, url);
    const bool resume = idx >= 0 && idx < engine.Items().Count() && engine.Items()[idx]->Resume;
    KeptPartial kept;
    if (resume) {
        // The kept file sits beside the target, whose path the request does not change.
        const QString plannedPath = TransferSteps::TargetPathOf(targetDir, targetFilename, fullUrl);
        target.SetTarget(plannedPath, WriteWords(plannedPath));
        target.Name();
        kept = ReopenKept(target, url);
    }

    TransferSteps::ProcessPendingInput(engine);
    InetSession* session = TWebCopyRun::Session(engine).get();
    const DeadlineGuard deadline(session, engine, idx);
    RequestGuard request(session, nullptr);
    // At most twice: a range request whose answer does not fit the kept file
    // is asked again for the whole file.
    for (int attempt = 0; attempt < 2 && session; ++attempt) {
        const auto headers = kept.start > 0 ? HttpResume::RangeHeaders(kept.start, kept.record.validator)
                                            : std::vector<std::string>();
        request.Reset(session->OpenUrl(fullUrl.toStdString(), engine.HTTPKeepAliveAuthentication, headers));
        if (!request.get() || kept.start == 0)
            break;
        const HttpResume::Answer answer =
            HttpResume::Judge(*request.get(), kept.start, kept.record.total, kept.record.validator);
        if (answer == HttpResume::Answer::Append || answer == HttpResume::Answer::Other)
            break;
        // The server's file changed, or it serves no ranges: from byte 0.
        kept.start = 0;
        target.DropResume();
        if (answer == HttpResume::Answer::StartOver)
            break;
    }
    TransferSteps::ProcessPendingInput(engine);
    if (!request.get()) {
        // A cancel that cut the connect or the wait for the headers short
        // is not a missing URL.
        if (engine.IsCancelled())
            return false;
        TWebCopyRun::RaiseURLNotFound(engine, fullUrl);
        return false;
    }
    std::uint32_t status = 0;
    request.get()->QueryStatusCode(status);
    if (status >= 300) {
        request.Close();
        TWebCopyRun::ReportError(engine, WebCopyErrorFromHttpStatus(static_cast<int>(status)),
                                 QStringLiteral("Returned http error code ") + QString::number(status));
        return false;
    }
    if (copyNewerOnly || engine.OnFileDateCheck) {
        const DateCheck check =
            CheckServerDate(engine, idx, *request.get(), fullUrl, shortName, copyNewerOnly, date, noNewFile);
        // A part kept for a file the job no longer wants would stay forever.
        if (check == DateCheck::Refused)
            target.DropResume();
        if (check != DateCheck::Proceed)
            return false;
    }
    // A cancel asked for before the first block (for example by the date
    // check handler) ends the job here, before any file is made.
    if (engine.IsCancelled())
        return false;

    QString targetPath;
    if (!TransferSteps::SettleTargetPath(engine, targetDir, targetFilename, fullUrl, targetPath))
        return false;
    target.SetTarget(targetPath, WriteWords(targetPath));
    std::uint64_t total = kept.record.total;
    if (kept.start == 0) {
        total = 0;
        request.get()->QueryContentLength(total);
    }
    if (!target.AllowsSize(total))
        return false;
    if (kept.start > 0) {
        // The kept bytes reach OnDataBlock first, now that they are sure to stay.
        if (!target.File().Replay()) {
            target.DropResume();
            target.ReportWriteFailure();
            return false;
        }
    } else {
        if (!target.Open())
            return false;
        const std::string validator = HttpResume::Validator(*request.get());
        if (resume && total > 0 && !validator.empty())
            target.KeepForResume({url.toStdString(), validator, total, 0, {}});
    }
    return ReadBody(engine, *request.get(), target, targetPath, total, kept.start) && target.Finish();
}

} // namespace quorvel
