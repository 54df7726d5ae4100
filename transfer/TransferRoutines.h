#pragma once

#include "QuorvelExport.h"

#include "DateTime.h"
#include "WebCopyTypes.h"

#include <QString>

namespace quorvel {

class TWebCopy;

// The transfer routines the job loop dispatches to, one per protocol. Each
// returns true on success and reports failures through the engine's events.
// date is in/out (the job's FileDate in, the source's date out); noNewFile is
// set when a job was skipped because its source was not newer.

QUORVEL_EXPORT bool HttpDownload(TWebCopy& engine, int idx, const QString& url, const QString& targetDir,
                                 const QString& targetFilename, bool copyNewerOnly, TDateTime& date,
                                 bool& noNewFile);

QUORVEL_EXPORT bool HttpUpload(TWebCopy& engine, const QString& url, const QString& targetDir,
                               const QString& targetFilename, TWebCopyHTTPCommand command);

QUORVEL_EXPORT bool FtpDownload(TWebCopy& engine, int idx, const QString& userId, const QString& password,
                                const QString& host, int port, const QString& url, const QString& targetDir,
                                const QString& targetFilename, bool copyNewerOnly, TDateTime& date,
                                bool& noNewFile);

QUORVEL_EXPORT bool FtpUpload(TWebCopy& engine, int idx, const QString& userId, const QString& password,
                              const QString& host, int port, const QString& url, const QString& targetDir,
                              const QString& targetFilename, bool copyNewerOnly, TDateTime& date,
                              bool& noNewFile);

QUORVEL_EXPORT bool FileCopy(TWebCopy& engine, int idx, const QString& userId, const QString& password,
                             const QString& host, int port, const QString& url, const QString& targetDir,
                             const QString& targetFilename, bool copyNewerOnly, TDateTime& date,
                             bool& noNewFile);

} // namespace quorvel
