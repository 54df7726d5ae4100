#include "InetError.h"
#include "InetSession.h"
#include "InetUpload.h"
#include "LocalSourceFile.h"
#include "RoutineSteps.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopyErrors.h"
#include "WebCopyRun.h"

#include <QFileInfo>

namespace quorvel {

namespace {

constexpr std::size_t kBlockSize = 4096;

// Sends the body block by block; false when a block could not be read or
// sent (reported), or the run was cancelled.
bool SendBody(TWebCopy& engine, LocalSourceFile& local, InetUpload& upload, const QString& localPath,
              std::uint64_t size) {
    const std::uint32_t startTick = engine.TickCount();
    const auto window = engine.ProgressWindow(); // fetched once, not per block
    std::uint64_t sent = 0;
    std::size_t readCount = kBlockSize;
    while (readCount == kBlockSize && !engine.IsCancelled()) {
        const char* block = nullptr; // a view of the file's buffer: no copy per block
        if (!local.ReadBlock(kBlockSize, block, readCount)) {
            TWebCopyRun::ReportError(engine, WebCopyError::kReadFailed,
                                     QStringLiteral("Error reading file ") + localPath);
            return false;
        }
        std::size_t written = 0;
        if (!upload.Write(block, readCount, written)) {
            if (!engine.IsCancelled())
                RoutineSteps::ReportInetError(engine, upload.LastError());
            return false;
        }
        sent += readCount;
        TransferSteps::ProgressStep(engine, window.get(), sent, size, startTick, engine.DlgUpload);
        TransferSteps::ProcessPendingInput(engine, window.get());
    }
    // A file that changed length since it was opened cannot match the length
    // announced to the server.
    if (!engine.IsCancelled() && sent != size) {
        TWebCopyRun::ReportError(engine, WebCopyError::kReadFailed,
                                 QStringLiteral("Error reading file ") + localPath);
        return false;
    }
    return !engine.IsCancelled();
}

} // namespace

bool HttpUpload(TWebCopy& engine, const QString& url, const QString& targetDir, const QString& targetFilename,
                TWebCopyHTTPCommand command) {
    TransferSteps::ShowUploadAnimation(engine);
    const QString shortName = QString::fromStdString(UrlFileName(url.toStdString()));
    const QString fullUrl = QString::fromStdString(AddUrlCredentials(engine, url.toStdString()));
    const QString host = QString::fromStdString(UrlHost(fullUrl.toStdString()));
    TransferSteps::WriteFileLine(engine, shortName, engine.DlgFromServerLabel, host, engine.ShowServer);

    const QString name = targetFilename.isEmpty() ? shortName : targetFilename;
    const QString localPath =
        QString::fromStdString(JoinTargetPath(targetDir.toStdString(), name.toStdString()));
    const std::string nativePath = LocalPath(localPath.toStdString());
    if (!QFileInfo::exists(QString::fromStdString(nativePath)))
        return false;
    TransferSteps::ProcessPendingInput(engine);

    InetError error = InetError::kNone;
    const auto verb = command == hcPut ? InetUpload::Verb::Put : InetUpload::Verb::Post;
    // The request goes to the URL's host and path; a URL written without a
    // scheme ("host:8080/x") names them just as well, over HTTP.
    const std::string requestUrl =
        fullUrl.contains(QStringLiteral("://")) ? fullUrl.toStdString() : "http://" + fullUrl.toStdString();
    std::unique_ptr<InetUpload> upload =
        TWebCopyRun::Session(engine) ? InetUpload::Open(*TWebCopyRun::Session(engine), requestUrl, verb,
                                                        TWebCopyRun::Session(engine)->CancelFlag(), error)
                                     : nullptr;
    if (!upload) {
        TWebCopyRun::ReportError(engine, WebCopyError::kCannotConnect,
                                 QStringLiteral("Cannot connect to server ") + host);
        return false;
    }
    // Opened for reading only: a read-only file can be sent.
    std::unique_ptr<LocalSourceFile> local = LocalSourceFile::Open(nativePath);
    std::uint64_t size = 0;
    if (!local || !local->Size(size)) {
        TWebCopyRun::ReportError(engine, WebCopyError::kCannotOpenSource,
                                 QStringLiteral("Cannot open target file ") + localPath);
        return false;
    }
    if (!upload->Send(size)) {
        if (!engine.IsCancelled())
            RoutineSteps::ReportInetError(engine, upload->LastError());
        return false;
    }
    if (!SendBody(engine, *local, *upload, localPath, size))
        return false;
    if (!upload->End()) {
        if (!engine.IsCancelled())
            RoutineSteps::ReportInetError(engine, upload->LastError());
        return false;
    }
    // The server's answer decides: an error status is no success.
    std::uint32_t status = 0;
    if (upload->QueryStatusCode(status) && status >= 300) {
        TWebCopyRun::ReportError(engine, WebCopyErrorFromHttpStatus(static_cast<int>(status)),
                                 QStringLiteral("Returned http error code ") + QString::number(status));
        return false;
    }
    return true;
}

} // namespace quorvel
