#include "TransferRoutines.h"
#include "TransferSteps.h"

// Uploads, FTP and file copies are not available yet: their jobs fail
// without transferring anything (uploads still show their animation).

bool HttpUpload(TWebCopy& engine, const QString&, const QString&, const QString&, TWebCopyHTTPCommand) {
    TransferSteps::ShowUploadAnimation(engine);
    return false;
}

bool FtpDownload(TWebCopy&, int, const QString&, const QString&, const QString&, int, const QString&,
                 const QString&, const QString&, bool, TDateTime&, bool& noNewFile) {
    noNewFile = false;
    return false;
}

bool FtpUpload(TWebCopy& engine, int, const QString&, const QString&, const QString&, int, const QString&,
               const QString&, const QString&, bool, TDateTime&, bool& noNewFile) {
    TransferSteps::ShowUploadAnimation(engine);
    noNewFile = false;
    return false;
}

bool FileCopy(TWebCopy&, int, const QString&, const QString&, const QString&, int, const QString&,
              const QString&, const QString&, bool, TDateTime&, bool& noNewFile) {
    noNewFile = false;
    return false;
}
