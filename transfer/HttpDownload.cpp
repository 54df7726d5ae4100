#include "DownloadTarget.h"
#include "InetError.h"
#include "InetRequest.h"
#include "InetSession.h"
#include "RoutineSteps.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopy.h"

#include <memory>

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
    void Close() {
        if (m_session && m_request)
            m_session->CloseRequest(m_request);
        m_request = nullptr;
    }

private:
    InetSession* m_session;
    InetRequest* m_request;
};

// The target is written through a buffer of sixteen blocks.
constexpr std::size_t kTargetBuffer = 16 * kBlockSize;

// Outcome of the date check: go on, or end the job with the given result.
enum class DateCheck { Proceed, Stop };

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
        engine.ReportError(WebCopyError::kNoServerDate,
                           QStringLiteral("No valid modification date from server ") + url);
        return DateCheck::Stop;
    }
    if (engine.OnFileDateCheck) {
        date = serverDate;
        bool allow = true;
        engine.OnFileDateCheck(&engine, idx, serverDate, allow);
        return allow ? DateCheck::Proceed : DateCheck::Stop;
    }
    if (copyNewerOnly && serverDate > date) {
        date = serverDate;
        return DateCheck::Proceed;
    }
    noNewFile = true;
    date = serverDate;
    if (engine.OnNoNewFileFound)
        engine.OnNoNewFileFound(&engine, shortName, date, serverDate);
    return DateCheck::Stop;
}

// Reads the body block by block into the target's temporary file. True
// when the whole body arrived: as much as announced, or, without a length,
// up to a clean end (an empty body is an empty file); false on a failure,
// which is reported, or a cancel, which is not.
bool ReadBody(TWebCopy& engine, InetRequest& request, DownloadTarget& target, const QString& targetPath,
              std::uint64_t total) {
    TargetFile& file = target.File();
    std::uint64_t received = 0;
    const std::uint32_t startTick = engine.TickCount();
    std::size_t readCount = kBlockSize;
    // The run's window stays the same during the transfer.
    const auto window = engine.ProgressWindow();
    while (readCount > 0 && !engine.Cancelled) {
        TransferSteps::ProcessPendingInput(engine, window.get());
        if (!request.Read(file.Next(), kBlockSize, readCount)) {
            // A cancel that cut the wait short is no failure of the transfer.
            if (engine.Cancelled)
                return false;
            RoutineSteps::ReportInetError(engine, request.LastError());
            return false;
        }
        if (!file.Commit(readCount, kBlockSize)) {
            target.ReportWriteFailure();
            return false;
        }
        received += readCount;
        TransferSteps::ProgressStep(engine, window.get(), received, total, startTick, engine.DlgDwnload);
        TransferSteps::ProcessPendingInput(engine, window.get());
    }
    if (engine.Cancelled)
        return false;
    if (total > 0 && received < total) {
        engine.ReportError(WebCopyError::kShortBody,
                           QStringLiteral("Incomplete file received ") + targetPath);
        return false;
    }
    return true;
}

} // namespace

bool HttpDownload(TWebCopy& engine, int idx, const QString& url, const QString& targetDir,
                  const QString& targetFilename, bool copyNewerOnly, TDateTime& date, bool& noNewFile) {
    noNewFile = false;
    const QString shortName = QString::fromStdString(UrlFileName(url.toStdString()));
    const QString fullUrl = QString::fromStdString(AddUrlCredentials(engine, url.toStdString()));
    TransferSteps::WriteFileLine(engine, shortName, engine.DlgFromServerLabel,
                                 QString::fromStdString(UrlHost(fullUrl.toStdString())), engine.ShowServer);

    TransferSteps::ProcessPendingInput(engine);
    InetSession* session = engine.Session.get();
    RequestGuard request(session,
                         session ? session->OpenUrl(fullUrl.toStdString(), engine.HTTPKeepAliveAuthentication)
                                 : nullptr);
    TransferSteps::ProcessPendingInput(engine);
    if (!request.get()) {
        // A cancel that cut the connect or the wait for the headers short
        // is not a missing URL.
        if (engine.Cancelled)
            return false;
        if (engine.OnURLNotFound)
            engine.OnURLNotFound(&engine, fullUrl);
        return false;
    }
    std::uint32_t status = 0;
    request.get()->QueryStatusCode(status);
    if (status >= 300) {
        request.Close();
        engine.ReportError(static_cast<int>(status),
                           QStringLiteral("Returned http error code ") + QString::number(status));
        return false;
    }
    if ((copyNewerOnly || engine.OnFileDateCheck) &&
        CheckServerDate(engine, idx, *request.get(), fullUrl, shortName, copyNewerOnly, date, noNewFile) ==
            DateCheck::Stop)
        return false;
    // A cancel asked for before the first block (for example by the date
    // check handler) ends the job here, before any file is made.
    if (engine.Cancelled)
        return false;

    QString targetPath;
    if (!TransferSteps::SettleTargetPath(engine, targetDir, targetFilename, fullUrl, targetPath))
        return false;
    std::uint64_t total = 0;
    request.get()->QueryContentLength(total);
    DownloadTarget target(engine, idx, kTargetBuffer, url);
    target.SetTarget(targetPath,
                     {WebCopyError::kWriteFailed, QStringLiteral("Error writing to file ") + targetPath,
                      QStringLiteral("Cannot create file ") + targetPath});
    if (!target.AllowsSize(total) || !target.Open())
        return false;
    return ReadBody(engine, *request.get(), target, targetPath, total) && target.Finish();
}
