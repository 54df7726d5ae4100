#include "InetError.h"
#include "InetRequest.h"
#include "InetSession.h"
#include "RoutineSteps.h"
#include "TargetFile.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopy.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

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

// Creates the target file (its folder first), replacing an existing one; the
// buffer holds sixteen blocks.
constexpr std::size_t kTargetBuffer = 16 * kBlockSize;
bool OpenTarget(TargetFile& file, const QString& targetPath) {
    const std::string path = targetPath.toStdString();
    ForceFolders(FolderOf(path));
    return file.Open(path);
}

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

// Reads the body block by block into the target file, which it creates when
// the first block (or the end of an empty body) is in. Returns true when the
// whole body arrived (or the run was cancelled after data arrived).
bool ReadBody(TWebCopy& engine, InetRequest& request, TargetFile& file, const QString& targetPath,
              std::uint64_t total) {
    std::uint64_t received = 0;
    const std::uint32_t startTick = engine.TickCount();
    std::size_t readCount = kBlockSize;
    bool result = false;
    // The run's window stays the same during the transfer.
    const auto window = engine.ProgressWindow();
    while (readCount > 0 && !engine.Cancelled) {
        TransferSteps::ProcessPendingInput(engine, window.get());
        if (!request.Read(file.Next(), kBlockSize, readCount)) {
            // A cancel that cut the wait short is no failure of the transfer.
            if (engine.Cancelled)
                break;
            RoutineSteps::ReportInetError(engine, request.LastError());
            return false;
        }
        if (!file.IsOpen() && !OpenTarget(file, targetPath)) {
            engine.ReportError(WebCopyError::kCannotCreateFile,
                               QStringLiteral("Cannot create file ") + targetPath);
            return false;
        }
        if (!file.Commit(readCount, kBlockSize)) {
            engine.ReportError(WebCopyError::kWriteFailed,
                               QStringLiteral("Error writing to file ") + targetPath);
            return false;
        }
        received += readCount;
        TransferSteps::ProgressStep(engine, window.get(), received, total, startTick, engine.DlgDwnload);
        TransferSteps::ProcessPendingInput(engine, window.get());
        if (readCount > 0)
            result = true;
    }
    if (!engine.Cancelled && total > 0 && received < total) {
        engine.ReportError(WebCopyError::kShortBody,
                           QStringLiteral("Incomplete file received ") + targetPath);
        return false;
    }
    return result;
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
    // check handler) ends the job here, so an existing target is not emptied.
    if (engine.Cancelled)
        return false;

    QString targetPath;
    if (!TransferSteps::SettleTargetPath(engine, targetDir, targetFilename, fullUrl, targetPath))
        return false;
    TargetFile file(kTargetBuffer);
    std::uint64_t total = 0;
    request.get()->QueryContentLength(total);
    bool result = ReadBody(engine, *request.get(), file, targetPath, total);
    // Data still buffered can fail to reach the disk only now.
    if (!file.Close() && result) {
        engine.ReportError(WebCopyError::kWriteFailed, QStringLiteral("Error writing to file ") + targetPath);
        result = false;
    }
    return result;
}
