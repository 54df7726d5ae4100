#include "DownloadTarget.h"
#include "LocalSourceFile.h"
#include "RoutineSteps.h"
#include "ShareConnection.h"
#include "ShareSourceFile.h"
#include "TransferRoutines.h"
#include "TransferSteps.h"
#include "WebCopyRun.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace quorvel {

namespace {

constexpr std::size_t kBlockSize = 16384;
// A round of an in-kernel copy moves this much: the per-call cost of such a
// copy is high enough that 16 KiB rounds would run at a fraction of the disk's
// speed.
constexpr std::size_t kDirectRound = 16 * kBlockSize;

// Seconds and milliseconds since the Unix epoch as a file time (100 ns units
// since 1601-01-01).
std::uint64_t ToFileTime(std::int64_t seconds, int milliseconds) {
    constexpr std::int64_t kEpochGap = 11644473600LL;
    return static_cast<std::uint64_t>(seconds + kEpochGap) * 10000000ULL +
           static_cast<std::uint64_t>(milliseconds) * 10000ULL;
}

// True when both paths name one file: the same text, or another spelling of
// it ("./", "..", doubled separators) or a link to it. Copying a file onto
// itself would empty it before the first block is read.
bool SameFile(const std::string& source, const std::string& target) {
    if (source == target)
        return true;
    std::error_code ec;
    return std::filesystem::equivalent(source, target, ec) && !ec;
}

// Copies block by block into the target's temporary file. Reports a read or
// write failure (4, 5), also when the source ends before the size it had when
// opened (it shrank on the way), or error 12 past the job's MaxSize; true
// when the whole source was copied, false after a failure or a cancel.
bool CopyBlocks(TWebCopy& engine, SourceFile& source, DownloadTarget& downloadTarget,
                const QString& sourcePath, std::uint64_t size, std::uint32_t startTick) {
    TargetFile& target = downloadTarget.File();
    std::vector<char> block(kBlockSize);
    TWebCopyRun::ResetCancel(engine); // an earlier cancel is dropped, the engine's end is not
    std::uint64_t copied = 0;
    // Local files move inside the kernel, round by round, as long as the two
    // files allow it; otherwise through the block buffer.
    int direct = source.Descriptor();
    for (;;) {
        std::size_t got = 0;
        bool readFailed = false, writeFailed = false;
        if (direct >= 0) {
            switch (target.CopyFrom(direct, kDirectRound, got)) {
            case TargetFile::CopyResult::Copied:
                break;
            case TargetFile::CopyResult::Unsupported:
                if (copied > 0) {
                    readFailed = true;
                    break;
                }
                direct = -1;
                continue;
            case TargetFile::CopyResult::ReadFailed:
                readFailed = true;
                break;
            case TargetFile::CopyResult::WriteFailed:
                writeFailed = true;
                break;
            }
        } else if (!source.Read(block.data(), kBlockSize, got)) {
            readFailed = true;
        } else if (!target.Append(block.data(), got)) {
            writeFailed = true;
        }
        // A clean end of the source before its size: it shrank on the way.
        if (got == 0 && !writeFailed && copied < size && !engine.IsCancelled())
            readFailed = true;
        if (readFailed) {
            TWebCopyRun::ReportError(engine, WebCopyError::kCopyReadFailed,
                                     QStringLiteral("Error reading source file ") + sourcePath);
            return false;
        }
        if (writeFailed) {
            downloadTarget.ReportWriteFailure();
            return false;
        }
        copied += got;
        RoutineSteps::CopyProgressStep(engine, copied, size, startTick, engine.DlgCopying);
        TransferSteps::ProcessPendingInput(engine);
        if (got == 0 || engine.IsCancelled())
            break;
    }
    return !engine.IsCancelled();
}

// Everything between connecting the share and disconnecting it.
bool CopyFile(TWebCopy& engine, int idx, ShareConnection* share, const QString& host, const QString& url,
              const QString& targetDir, const QString& targetFilename, bool copyNewerOnly, TDateTime& date,
              bool& noNewFile) {
    const std::uint32_t startTick = engine.TickCount();
    // Paths in texts and events are in this system's spelling, "/" between
    // folders, a share's name and path too.
    const std::string nativeSource = LocalPath(url.toStdString());
    const QString sourcePath = QString::fromStdString(
        host.isEmpty() ? nativeSource : LocalPath(host.toStdString() + "/" + url.toStdString()));
    const QString targetPath = RoutineSteps::FormTargetPath(engine, targetDir, targetFilename, url);
    const std::string nativeTarget = targetPath.toStdString();
    if (sourcePath == targetPath || (!share && SameFile(nativeSource, nativeTarget))) {
        TWebCopyRun::ReportError(engine, WebCopyError::kIdenticalFiles,
                                 QStringLiteral("Cannot copy identical files ") + sourcePath);
        return false;
    }

    std::unique_ptr<SourceFile> source;
    if (share) {
        ShareError error = ShareError::kNone;
        if (auto file = share->Open(url.toStdString(), error))
            source = std::make_unique<ShareSourceFile>(std::move(file));
    } else {
        source = LocalSourceFile::Open(nativeSource);
    }
    if (!source) {
        TWebCopyRun::ReportError(engine, WebCopyError::kCannotOpenSource,
                                 QStringLiteral("Cannot open source file ") + sourcePath);
        return false;
    }

    if (copyNewerOnly || engine.OnFileDateCheck) {
        std::int64_t seconds = 0;
        int ms = 0;
        if (source->LastWriteTime(seconds, ms) &&
            !RoutineSteps::CheckSourceDate(engine, idx, FileTimeToDate(ToFileTime(seconds, ms)), sourcePath,
                                           date, noNewFile, RoutineSteps::DateOnRefusal::Kept))
            return false;
    }
    std::uint64_t size = 0;
    if (!source->Size(size)) {
        TWebCopyRun::ReportError(engine, WebCopyError::kCannotSizeSource,
                                 QStringLiteral("Zero length source file ") + sourcePath);
        return false;
    }
    DownloadTarget target(engine, idx, 64 * kBlockSize, sourcePath);
    if (!target.AllowsSize(size))
        return false;
    if (!RoutineSteps::AllowOverwrite(engine, targetPath))
        return false;
    // Checked again just before the copy: a link may have appeared in between.
    if (!share && SameFile(nativeSource, nativeTarget)) {
        TWebCopyRun::ReportError(engine, WebCopyError::kIdenticalFiles,
                                 QStringLiteral("Cannot copy identical files ") + sourcePath);
        return false;
    }
    target.SetTarget(targetPath, {WebCopyError::kCopyWriteFailed,
                                  QStringLiteral("Error writing to destination file ") + targetPath,
                                  QStringLiteral("Cannot create target file ") + targetPath});
    return target.Open() && CopyBlocks(engine, *source, target, sourcePath, size, startTick) &&
           target.Finish();
}

} // namespace

bool FileCopy(TWebCopy& engine, int idx, const QString& userId, const QString& password, const QString& host,
              int, const QString& url, const QString& targetDir, const QString& targetFilename,
              bool copyNewerOnly, TDateTime& date, bool& noNewFile) {
    noNewFile = false;
    if (const auto window = engine.ProgressWindow())
        window->SetAnimationClip(kTransferAnimationClip);
    QString server =
        QString::fromStdString(LocalPath(host.isEmpty() ? FolderOf(url.toStdString()) : host.toStdString()));
    if (host.isEmpty() && server.endsWith(QLatin1Char('/')))
        server.chop(1);
    TransferSteps::WriteFileLine(engine, QString::fromStdString(UrlFileName(url.toStdString())),
                                 engine.DlgFromServerLabel, server, true);

    std::unique_ptr<ShareConnection> share;
    if (!host.isEmpty()) {
        ShareError error = ShareError::kNone;
        share =
            ShareConnection::Connect(host.toStdString(), userId.toStdString(), password.toStdString(), error);
        if (!share) {
            // Nothing was connected, so there is nothing to disconnect.
            TWebCopyRun::RaiseConnectError(engine);
            return false;
        }
    }
    bool result = CopyFile(engine, idx, share.get(), host, url, targetDir, targetFilename, copyNewerOnly,
                           date, noNewFile);
    if (share && !share->Disconnect()) {
        TWebCopyRun::RaiseConnectError(engine);
        result = false;
    }
    return result;
}

} // namespace quorvel
