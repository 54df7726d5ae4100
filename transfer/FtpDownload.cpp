#include "DownloadTarget.h"
#include "FtpSteps.h"
#include "InetError.h"
#include "InetFtpFile.h"
#include "RoutineSteps.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopyRun.h"

namespace quorvel {

namespace {

constexpr std::size_t kBlockSize = 4096;

// Reads the remote file into the target's temporary file block by block.
// True when it all arrived; false on a failure, which is reported, or a
// cancel, which is not.
bool ReadRemote(TWebCopy& engine, InetFtpFile& remote, DownloadTarget& target, const QString& url,
                bool listed, std::uint64_t size) {
    TWebCopyRun::ResetCancel(engine); // an earlier cancel is dropped, the engine's end is not
    TargetFile& file = target.File();
    const std::uint32_t startTick = engine.TickCount();
    const auto window = engine.ProgressWindow(); // fetched once, not per block
    std::uint64_t received = 0;
    std::size_t readCount = kBlockSize;
    while (readCount > 0 && !engine.IsCancelled()) {
        TransferSteps::ProcessPendingInput(engine, window.get());
        if (!remote.Read(file.Next(), kBlockSize, readCount)) {
            if (engine.IsCancelled())
                return false;
            RoutineSteps::ReportInetError(engine, remote.LastError());
            return false;
        }
        if (!file.Commit(readCount, kBlockSize)) {
            target.ReportWriteFailure();
            return false;
        }
        received += readCount;
        TransferSteps::ProgressStep(engine, window.get(), received, listed ? size : 0, startTick,
                                    engine.DlgDwnload);
    }
    if (engine.IsCancelled())
        return false;
    // A server that ends the data early without saying so still delivered less
    // than it listed: that is no success.
    if (listed && received < size) {
        TWebCopyRun::ReportError(engine, WebCopyError::kShortBody,
                                 QStringLiteral("Incomplete file received ") + url);
        return false;
    }
    return true;
}

} // namespace

bool FtpDownload(TWebCopy& engine, int idx, const QString& userId, const QString& password,
                 const QString& host, int port, const QString& url, const QString& targetDir,
                 const QString& targetFilename, bool copyNewerOnly, TDateTime& date, bool& noNewFile) {
    noNewFile = false;
    const std::string remotePath = LocalPath(url.toStdString());
    const QString fileName = QString::fromStdString(UrlFileName(remotePath));
    TransferSteps::WriteFileLine(engine, fileName, engine.DlgFromServerLabel, host, engine.ShowServer);

    auto connection = FtpSteps::Connect(engine, userId, password, host, port);
    if (!connection)
        return false;
    TransferSteps::ProcessPendingInput(engine);
    const std::string folder = FolderOf(remotePath);
    if (!folder.empty())
        connection->SetCurrentDirectory(folder); // on failure the login folder stays current

    InetFtpEntry entry;
    const bool listed = connection->FindFile(fileName.toStdString(), entry);
    if (listed && (copyNewerOnly || engine.OnFileDateCheck) &&
        !FtpSteps::CheckListedDate(engine, idx, entry, fileName, host, date, noNewFile))
        return false;

    // The size the server lists is known before any data moves.
    DownloadTarget target(engine, idx, 16 * kBlockSize, url);
    if (listed && !target.AllowsSize(entry.size))
        return false;

    TransferSteps::ProcessPendingInput(engine);
    std::unique_ptr<InetFtpFile> remote = connection->OpenRead(fileName.toStdString());
    TransferSteps::ProcessPendingInput(engine);
    if (!remote) {
        if (!engine.IsCancelled())
            TWebCopyRun::RaiseURLNotFound(engine, url);
        return false;
    }

    QString targetPath;
    if (!TransferSteps::SettleTargetPath(engine, targetDir, targetFilename, url, targetPath))
        return false;
    target.SetTarget(targetPath,
                     {WebCopyError::kWriteFailed, QStringLiteral("Error writing to file ") + targetPath,
                      QStringLiteral("Cannot create target file ") + targetPath});
    return target.Open(QStringLiteral("ftp://") + host + QLatin1Char(':') + QString::number(port) + url) &&
           ReadRemote(engine, *remote, target, url, listed, entry.size) && target.Finish();
}

} // namespace quorvel
