#pragma once

#include "QuorvelExport.h"

#include "WebCopyTypes.h"

#include <QObject>

#include <cstdint>

namespace quorvel {

// One transfer job. Published properties are plain members declared to Qt's
// property system; the result fields are written by the job loop after each
// run of the job.
class QUORVEL_EXPORT TWebCopyItem : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active MEMBER Active)
    Q_CLASSINFO("default:Active", "true")
    Q_PROPERTY(bool CopyNewerOnly MEMBER CopyNewerOnly)
    Q_CLASSINFO("default:CopyNewerOnly", "false")
    Q_PROPERTY(double FileDate MEMBER FileDate)
    Q_PROPERTY(QString FTPHost MEMBER FTPHost)
    Q_PROPERTY(QString FTPUserID MEMBER FTPUserID)
    Q_PROPERTY(QString FTPPassword MEMBER FTPPassword)
    Q_PROPERTY(int FTPPort MEMBER FTPPort)
    Q_PROPERTY(quorvel::WebCopyEnums::TWebCopyHTTPCommand HTTPCommand MEMBER HTTPCommand)
    Q_PROPERTY(quorvel::WebCopyEnums::TWebCopyProtocol Protocol MEMBER Protocol)
    Q_PROPERTY(bool Resume MEMBER Resume)
    Q_CLASSINFO("default:Resume", "false")
    Q_PROPERTY(QString TargetDir MEMBER TargetDir)
    Q_PROPERTY(QString TargetFilename MEMBER TargetFilename)
    Q_PROPERTY(QString URL MEMBER URL)

public:
    explicit TWebCopyItem(QObject* parent = nullptr) : QObject(parent) {}

    bool Active = true;
    bool CopyNewerOnly = false;
    TDateTime FileDate = 0;
    QString FTPHost;
    QString FTPUserID;
    QString FTPPassword;
    int FTPPort = 21;
    TWebCopyHTTPCommand HTTPCommand = hcPost;
    TWebCopyProtocol Protocol = wpHttp;
    QString TargetDir;
    QString TargetFilename;
    QString URL;
    // Bytes a download may bring at most (0: no bound). An announced length
    // above it (Content-Length, the FTP size, the source file's size) fails
    // before anything is written, and data running past it is cut; either
    // way the job fails with error 12 and the target stays as it was.
    std::uint64_t MaxSize = 0;
    // HTTP downloads only: the least average rate, in bytes a second, the
    // download must keep (0: none). With MaxSize set, a download still going
    // a grace of a minute plus MaxSize / MinAverageRate seconds after it
    // started fails as a stall does (InetError::kTimeout).
    std::uint64_t MinAverageRate = 0;
    // HTTP downloads only: a download that ends early keeps what arrived
    // (beside the target, with what is needed to go on safely), and the next
    // run of the job asks the server for the rest. Off: every run starts
    // from byte 0 and leaves nothing behind.
    bool Resume = false;

    // Results of the last run of this job.
    bool CopySucceeded = false;
    bool NoNewFile = false;
    TDateTime NewDate = 0;
};

} // namespace quorvel
