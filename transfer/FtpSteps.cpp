#include "FtpSteps.h"

#include "DateTime.h"
#include "InetSession.h"
#include "RoutineSteps.h"
#include "WebCopyRun.h"

namespace quorvel {

namespace FtpSteps {

std::unique_ptr<InetFtpConnection> Connect(TWebCopy& engine, const QString& userId, const QString& password,
                                           const QString& host, int port) {
    InetFtpConnection::Login login;
    login.host = host.toStdString();
    login.port = port;
    if (!userId.isEmpty() && !password.isEmpty()) {
        login.user = userId.toStdString();
        login.password = password.toStdString();
    }
    login.passive = engine.FTPPassive;
    InetError error = InetError::kNone;
    // A run without a session (it could not be opened) reaches no server.
    std::unique_ptr<InetFtpConnection> connection =
        TWebCopyRun::Session(engine)
            ? InetFtpConnection::Connect(login, TWebCopyRun::Session(engine)->CancelFlag(), error)
            : nullptr;
    // A cancel that ended the wait for the server is no connection failure.
    if (!connection && !engine.IsCancelled())
        TWebCopyRun::ReportError(engine, WebCopyError::kCannotConnect,
                                 QStringLiteral("Cannot connect to FTP server ") + host);
    return connection;
}

TDateTime EntryDate(const InetFtpEntry& entry) {
    return DateTime::FromUnixUtc(entry.time);
}

bool CheckListedDate(TWebCopy& engine, int idx, const InetFtpEntry& entry, const QString& name,
                     const QString& host, TDateTime& date, bool& noNewFile) {
    if (!entry.hasTime) {
        TWebCopyRun::ReportError(engine, WebCopyError::kNoServerDate,
                                 QStringLiteral("No valid modification date from server ") + host);
        return false;
    }
    return RoutineSteps::CheckSourceDate(engine, idx, EntryDate(entry), name, date, noNewFile);
}

} // namespace FtpSteps

} // namespace quorvel
