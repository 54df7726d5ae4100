#include "FtpSteps.h"
#include "InetError.h"
#include "InetFtpFile.h"
#include "LocalSourceFile.h"
#include "RoutineSteps.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopyRun.h"

namespace quorvel {

namespace {

constexpr std::size_t kBlockSize = 4096;

// Sends the local file block by block; the loop ends after the first block
// shorter than a whole one. True when the server confirmed the whole file,
// as long as it was when opened, or the run was cancelled on the way.
bool SendLocal(TWebCopy& engine, LocalSourceFile& local, InetFtpFile& remote, const QString& localPath,
               std::uint64_t size) {
    std::size_t written = kBlockSize;
    std::uint64_t sent = 0;
    TWebCopyRun::ResetCancel(engine); // an earlier cancel is dropped, the engine's end is not
    const std::uint32_t startTick = engine.TickCount();
    const auto window = engine.ProgressWindow(); // fetched once, not per block
    while (written == kBlockSize && !engine.IsCancelled()) {
        TransferSteps::ProcessPendingInput(engine, window.get());
        std::size_t readCount = 0;
        const char* block = nullptr; // a view of the file's buffer: no copy per block
        if (!local.ReadBlock(kBlockSize, block, readCount)) {
            TWebCopyRun::ReportError(engine, WebCopyError::kReadFailed,
                                     QStringLiteral("Error reading file ") + localPath);
            return false;
        }
        if (!remote.Write(block, readCount, written)) {
            if (engine.IsCancelled())
                return true;
            RoutineSteps::ReportInetError(engine, remote.LastError());
            return false;
        }
        sent += written;
        TransferSteps::ProgressStep(engine, window.get(), sent, size, startTick, engine.DlgUpload);
    }
    if (engine.IsCancelled())
        return true; // the remote file keeps what was sent
    // A file that changed length on the way was not sent as it is: the
    // transfer is abandoned rather than confirmed.
    if (sent != size) {
        TWebCopyRun::ReportError(engine, WebCopyError::kReadFailed,
                                 QStringLiteral("Error reading file ") + localPath);
        return false;
    }
    if (!remote.Finish()) {
        if (!engine.IsCancelled())
            RoutineSteps::ReportInetError(engine, remote.LastError());
        return engine.IsCancelled();
    }
    return true;
}

} // namespace

bool FtpUpload(TWebCopy& engine, int idx, const QString& userId, const QString& password, const QString& host,
               int port, const QString& url, const QString& targetDir, const QString& targetFilename,
               bool copyNewerOnly, TDateTime& date, bool& noNewFile) {
    noNewFile = false;
    TransferSteps::ShowUploadAnimation(engine);
    const std::string localPath = LocalPath(url.toStdString());
    const QString shortName = QString::fromStdString(UrlFileName(localPath));
    TransferSteps::WriteFileLine(engine, shortName, engine.DlgToServerLabel, host, true);

    auto connection = FtpSteps::Connect(engine, userId, password, host, port);
    if (!connection)
        return false;
    TransferSteps::ProcessPendingInput(engine);
    const std::string remoteFolder = LocalPath(targetDir.toStdString());
    if (!remoteFolder.empty() && !connection->SetCurrentDirectory(remoteFolder)) {
        if (!connection->CreateDirectory(remoteFolder))
            return false;
        connection->SetCurrentDirectory(remoteFolder);
    }

    TransferSteps::ProcessPendingInput(engine);
    const QString remoteName = targetFilename.isEmpty() ? shortName : targetFilename;
    if (copyNewerOnly || engine.OnFileDateCheck) {
        InetFtpEntry entry;
        if (connection->FindFile(remoteName.toStdString(), entry) &&
            !FtpSteps::CheckListedDate(engine, idx, entry, remoteName, host, date, noNewFile))
            return false;
    }

    // The local file is opened before the remote one is created, so that a
    // local file that cannot be read leaves the file on the server untouched.
    // It is opened for reading only: a read-only file can be sent.
    std::unique_ptr<LocalSourceFile> local = LocalSourceFile::Open(localPath);
    std::uint64_t size = 0;
    if (!local || !local->Size(size)) {
        TWebCopyRun::ReportError(engine, WebCopyError::kCannotOpenSource,
                                 QStringLiteral("Cannot open target file ") + url);
        return false;
    }
    std::unique_ptr<InetFtpFile> remote = connection->OpenWrite(remoteName.toStdString());
    if (!remote) {
        if (!engine.IsCancelled())
            TWebCopyRun::RaiseURLNotFound(engine, url);
        return false;
    }
    TransferSteps::ProcessPendingInput(engine);
    TWebCopyRun::SetLastTarget(engine, QString::fromStdString(localPath),
                               QString::fromStdString(remoteFolder));
    return SendLocal(engine, *local, *remote, url, size);
}

} // namespace quorvel
