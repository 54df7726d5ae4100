#include "TransferRoutines.h"

// Uploads, FTP and file copies are not available yet: their jobs fail
// without transferring anything.

bool HttpUpload(TWebCopy&, const QString&, const QString&, const QString&, TWebCopyHTTPCommand) {
    return false;
}

bool FtpDownload(TWebCopy&, int, const QString&, const QString&, const QString&, int, const QString&,
                 const QString&, const QString&, bool, TDateTime&, bool& noNewFile) {
    noNewFile = false;
    return false;
}

bool FtpUpload(TWebCopy&, int, const QString&, const QString&, const QString&, int, const QString&,
               const QString&, const QString&, bool, TDateTime&, bool& noNewFile) {
    noNewFile = false;
    return false;
}

bool FileCopy(TWebCopy&, int, const QString&, const QString&, const QString&, int, const QString&,
              const QString&, const QString&, bool, TDateTime&, bool& noNewFile) {
    noNewFile = false;
    return false;
}
