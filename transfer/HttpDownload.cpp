#include "InetError.h"
#include "InetRequest.h"
#include "InetSession.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopy.h"

#include <cstdio>
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

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

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

// Reads the body into the open file block by block. Returns true when the
// whole body arrived (or the run was cancelled after data arrived).
bool ReadBody(TWebCopy& engine, InetRequest& request, std::FILE* file, const QString& targetPath,
              std::uint64_t total) {
    char block[kBlockSize];
    std::uint64_t received = 0;
    const std::uint32_t startTick = engine.TickCount();
    std::size_t readCount = kBlockSize;
    bool result = false;
    while (readCount > 0 && !engine.Cancelled) {
        TransferSteps::ProcessPendingInput(engine);
        if (!request.Read(block, kBlockSize, readCount)) {
            int code = request.LastError();
            if (code == InetError::kNone)
                code = InetError::kConnectionAborted;
            engine.ReportError(code, QString::fromStdString(WinInetErrorText(code)));
            return false;
        }
        if (readCount > 0 && std::fwrite(block, 1, readCount, file) != readCount) {
            engine.ReportError(WebCopyError::kWriteFailed,
                               QStringLiteral("Error writing to file ") + targetPath);
            return false;
        }
        received += readCount;
        TransferSteps::ProgressStep(engine, received, total, startTick, engine.DlgDwnload);
        TransferSteps::ProcessPendingInput(engine);
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
    const std::string nativePath = targetPath.toStdString();
    ForceFolders(FolderOf(nativePath));
    FilePtr file(std::fopen(nativePath.c_str(), "wb"));
    if (!file) {
        engine.ReportError(WebCopyError::kCannotCreateFile,
                           QStringLiteral("Cannot create file ") + targetPath);
        return false;
    }
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 16);

    std::uint64_t total = 0;
    request.get()->QueryContentLength(total);
    bool result = ReadBody(engine, *request.get(), file.get(), targetPath, total);
    // Data still buffered can fail to reach the disk only now.
    if (std::fclose(file.release()) != 0 && result) {
        engine.ReportError(WebCopyError::kWriteFailed, QStringLiteral("Error writing to file ") + targetPath);
        result = false;
    }
    return result;
}
