#pragma once

#include <QObject>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "DateTime.h"

namespace quorvel {

class TWebCopy;

// Enumerations of the job record, registered with Qt so that job properties
// of these types can be streamed by name.
namespace WebCopyEnums {
Q_NAMESPACE

// Which transfer routine runs a job.
enum TWebCopyProtocol { wpHttp, wpFtp, wpFile, wpFtpUpload, wpHttpUpload };
Q_ENUM_NS(TWebCopyProtocol)

// Request kind of an HTTP upload.
enum TWebCopyHTTPCommand { hcPost, hcPut };
Q_ENUM_NS(TWebCopyHTTPCommand)

} // namespace WebCopyEnums

using WebCopyEnums::TWebCopyHTTPCommand;
using WebCopyEnums::TWebCopyProtocol;
using enum WebCopyEnums::TWebCopyProtocol;
using enum WebCopyEnums::TWebCopyHTTPCommand;

// Event types. Sender is always the engine; parameters passed by reference
// are preset by the engine and read back after the handler returns.
using TWebCopyFileStart = std::function<void(TWebCopy* Sender, int idx)>;
using TWebCopyFileDone = std::function<void(TWebCopy* Sender, int idx)>;
using TWebCopyThreadDone = std::function<void(TWebCopy* Sender)>;
using TWebCopyCancel = std::function<void(TWebCopy* Sender)>;
using TWebCopyProgress =
    std::function<void(TWebCopy* Sender, int fileidx, std::uint64_t size, std::uint64_t totsize)>;
using TWebCopyFileDateCheck = std::function<void(TWebCopy* Sender, int idx, TDateTime newdate, bool& allow)>;
using TWebCopyNoNewFile =
    std::function<void(TWebCopy* Sender, const QString& tgtfile, TDateTime curdate, TDateTime newdate)>;
using TWebCopyOverwrite = std::function<void(TWebCopy* Sender, const QString& tgtfile, bool& allow)>;
using TWebCopyURLNotFound = std::function<void(TWebCopy* Sender, const QString& url)>;
using TWebCopyConnectError = std::function<void(TWebCopy* Sender)>;
using TWebCopyError = std::function<void(TWebCopy* Sender, int ErrorCode)>;
using TWebCopyErrorInfo = std::function<void(TWebCopy* Sender, int ErrorCode, const QString& ErrorInfo)>;
// Bytes of a download as they are written into its temporary file, in file
// order from byte 0 (bytes a resumed download keeps come first, read back
// from the kept file), so that a handler can digest the file as it arrives.
using TWebCopyDataBlock =
    std::function<void(TWebCopy* Sender, int idx, const char* data, std::size_t length)>;
// A download is whole and on the disk, not yet in place: clearing accept
// refuses it (error 13); the temporary file goes and the target stays as it was.
// fd is the open temporary file, flushed, exactly the file that replaces the
// target when accepted: read it with pread (its position is its end) and
// leave it open. tempPath is its name, for messages; what stands at a name
// may change, the descriptor's file does not.
using TWebCopyVerifyFile =
    std::function<void(TWebCopy* Sender, int idx, int fd, const QString& tempPath, bool& accept)>;

// Error codes the engine hands out (OnError, OnErrorInfo): its own, some of
// them shared with the file copy and FTP routines (0 to 6); HTTP statuses
// (300 and above) and internet layer codes (12000 and above) are carried with
// their numbers unchanged, each through its own translation (WebCopyErrors.h),
// so that no other layer's code is handed out by mistake.
enum class WebCopyError {
    kCannotCreateFile = 3,
    // The body ended before the announced Content-Length was received.
    kShortBody = 7,
    // A received block could not be written to the target file (disk full, ...).
    kWriteFailed = 8,
    // The server gave no usable Last-Modified date while a date check was asked for.
    kNoServerDate = 9,
    // A routine failed in an unexpected way; the job is recorded as failed.
    kInternalFailure = 10,
    // A local file being sent could not be read to its end.
    kReadFailed = 11,
    // The announced size, or the data received, passed the job's MaxSize.
    kTooLarge = 12,
    // OnVerifyFile refused the whole file.
    kRefused = 13,
    // Another run of the same job is writing the job's temporary file.
    kInUse = 14,
    // Codes shared with the file copy and the FTP routines.
    kIdenticalFiles = 0,
    kCannotOpenSource = 1,
    kCannotSizeSource = 2,
    kCopyReadFailed = 4,
    kCopyWriteFailed = 5,
    kCannotConnect = 6,
};

} // namespace quorvel
