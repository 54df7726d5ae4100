#include "CabCallbacks.h"

#include "CabFolders.h"
#include "DateTime.h"
#include "FileMetadata.h"
#include "TCABFile.h"
#include "TCabExtraction.h"
#include "TFileOps.h"
#include "TTargetFolder.h"

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

// A handle of 0 means "skip this file" to the decompression layer, so a
// created file must never get descriptor 0 (when standard input is closed).
int AwayFromZero(int fd) {
    if (fd != 0)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

// The target path as the overwrite event shows it: TargetPath, a separator
// when it has none at its end, then the current entry's name.
QString DisplayTarget(const TCABFile& cab) {
    QString base = cab.TargetPath();
    if (!base.isEmpty() && !base.endsWith('/') && !base.endsWith('\\'))
        base += '/';
    return base + cab.CurrentFileName;
}

// Stamps the file with the cabinet's DOS date and time, read as local time.
// A stored value that is no valid date leaves the time the system set.
void SetFileTime(int fd, std::uint16_t dosDate, std::uint16_t dosTime) {
    const int day = dosDate & 31, month = (dosDate >> 5) & 15, year = (dosDate >> 9) + 1980;
    const int second = (dosTime & 31) * 2, minute = (dosTime >> 5) & 63, hour = dosTime >> 11;
    std::time_t when = 0;
    try {
        when = static_cast<std::time_t>(
            DateTime::ToUnixLocal(DateTime::Encode(TDateFields{year, month, day, hour, minute, second, 0})));
    } catch (const EConvertError&) {
        return;
    }
    if (when == static_cast<std::time_t>(-1))
        return;
    const timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
    futimens(fd, times);
}

Fdi::FileHandle CopyFile(TCABFile& cab, const Fdi::TNotification& n) {
    const std::string name = n.psz1;
    // Reported with "/" between folders, as every path on this system.
    cab.CurrentFileName = QString::fromUtf8(name.c_str()).replace('\\', '/');
    cab.CurrentBytesWritten = 0;
    cab.CurrentFileSize = n.cb;

    std::vector<std::string> parts;
    if (!TTargetFolder::SplitEntryName(name, parts))
        return -1;
    if (TCabExtraction::Verifying(cab))
        return kSinkHandle;
    const std::string base = QFile::encodeName(cab.TargetPath()).toStdString();
    // A target folder that does not exist yet is created with its parents.
    if (!base.empty() && !DirExists(cab.TargetPath()))
        ForceDirs(cab.TargetPath());
    const int dir = TTargetFolder::OpenFolder(base, parts, parts.size() - 1);
    if (dir < 0)
        return -1;
    const std::string& leaf = parts.back();
    struct stat st {};
    bool keepMode = false;
    if (fstatat(dir, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        bool allow = true;
        if (cab.OnOverWriteFile)
            cab.OnOverWriteFile(&cab, DisplayTarget(cab), allow);
        if (!allow) {
            close(dir);
            return 0;
        }
        keepMode = S_ISREG(st.st_mode);
        unlinkat(dir, leaf.c_str(), 0);
    }
    const int fd =
        AwayFromZero(openat(dir, leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd < 0) {
        close(dir);
        return -1;
    }
    // A replaced file keeps its permissions, so a replaced program stays
    // executable; a new one the cabinet marks as a program may be run by
    // whoever may read it.
    if (keepMode)
        fchmod(fd, st.st_mode & 0777);
    else if ((n.attribs & Fdi::kAttribExecute) != 0)
        FileMetadata::MakeRunnable(fd);
    TCabExtraction::Output(cab) = {dir, leaf, fd};
    return fd;
}

Fdi::FileHandle CloseFile(TCABFile* cab, const Fdi::TNotification& n) {
    if (n.hf == kSinkHandle)
        return 1;
    SetFileTime(static_cast<int>(n.hf), n.date, n.time);
    if (cab && cab->FileOps)
        cab->FileOps->Closing(static_cast<int>(n.hf));
    const bool closed = CabClose(n.hf) == 0;
    if (cab && closed && TCabExtraction::Output(*cab).handle == n.hf) {
        close(TCabExtraction::Output(*cab).dir);
        TCabExtraction::Output(*cab) = {};
    }
    // A file whose close failed may not hold what was written: stop there.
    return closed ? 1 : 0;
}

} // namespace

void* CabAlloc(std::size_t size) {
    return std::malloc(size);
}

void CabFree(void* block) {
    std::free(block);
}

Fdi::FileHandle CabOpen(const std::string& name, int flags, int mode) {
    const int fd = open(name.c_str(), flags | O_CLOEXEC, mode);
    return fd < 0 ? Fdi::kInvalidHandle : fd;
}

std::int64_t CabRead(Fdi::FileHandle handle, void* buffer, std::uint32_t count) {
    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t got = read(static_cast<int>(handle), static_cast<char*>(buffer) + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<std::uint32_t>(got);
    }
    return done;
}

std::int64_t CabWrite(Fdi::FileHandle handle, const void* buffer, std::uint32_t count, TCABFile* cab) {
    std::uint32_t done = 0;
    int error = 0;
    TFileOps& ops = cab && cab->FileOps ? *cab->FileOps : TFileOps::System();
    while (done < count) {
        const ssize_t put =
            ops.Write(static_cast<int>(handle), static_cast<const char*>(buffer) + done, count - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            error = put < 0 ? errno : EIO;
            break;
        }
        done += static_cast<std::uint32_t>(put);
    }
    if (cab) {
        cab->CurrentBytesWritten += count;
        if (cab->OnDecompressProgress)
            cab->OnDecompressProgress(cab, cab->CurrentFileName, cab->CurrentBytesWritten,
                                      cab->CurrentFileSize);
    }
    ShowSystemError(error);
    return error != 0 && done == 0 ? -1 : static_cast<std::int64_t>(done);
}

int CabClose(Fdi::FileHandle handle) {
    if (close(static_cast<int>(handle)) == 0)
        return 0;
    ShowSystemError(errno);
    return -1;
}

std::int64_t CabSeek(Fdi::FileHandle handle, std::int64_t distance, int origin) {
    const off_t position = lseek(static_cast<int>(handle), distance, origin);
    if (position < 0)
        ShowSystemError(errno);
    return position;
}

Fdi::FileHandle CabNotify(Fdi::TNotificationType type, Fdi::TNotification& notification) {
    auto* cab = static_cast<TCABFile*>(notification.pv);
    switch (type) {
    case Fdi::fdintCOPY_FILE:
        return cab ? CopyFile(*cab, notification) : 0;
    case Fdi::fdintCLOSE_FILE_INFO:
        return CloseFile(cab, notification);
    default: // cabinet info, partial file, next cabinet, enumerate: go on
        return 0;
    }
}

Fdi::TCallbacks CabCallbacks(TCABFile* cab) {
    auto write = [cab](Fdi::FileHandle handle, const void* buffer, std::uint32_t count) {
        return CabWrite(handle, buffer, count, cab);
    };
    return Fdi::TCallbacks{CabAlloc, CabFree, CabOpen, CabRead, write, CabClose, CabSeek};
}

} // namespace quorvel
