#include "WebCopy.h"

#include <QMetaType>

namespace quorvel {

void TWebCopy::RegisterEventTypes() {
    static const bool registered = [] {
        qRegisterMetaType<quint64>("quint64");
        qRegisterMetaType<TDateTime>("quorvel::TDateTime");
        return true;
    }();
    (void)registered;
}

void TWebCopy::RaiseFileStart(int idx) {
    if (OnFileStart)
        OnFileStart(this, idx);
    Q_EMIT FileStart(idx);
}

void TWebCopy::RaiseFileDone(int idx) {
    if (OnFileDone)
        OnFileDone(this, idx);
    Q_EMIT FileDone(idx);
}

void TWebCopy::RaiseCopyDone() {
    if (OnCopyDone)
        OnCopyDone(this);
    Q_EMIT CopyDone();
}

void TWebCopy::RaiseCopyCancel() {
    if (OnCopyCancel)
        OnCopyCancel(this);
    Q_EMIT CopyCancel();
}

void TWebCopy::RaiseCopyProgress(std::uint64_t size, std::uint64_t totsize) {
    if (OnCopyProgress)
        OnCopyProgress(this, m_run.CurrentNumber, size, totsize);
    Q_EMIT CopyProgress(m_run.CurrentNumber, size, totsize);
}

void TWebCopy::RaiseConnectError() {
    if (OnConnectError)
        OnConnectError(this);
    Q_EMIT ConnectError();
}

void TWebCopy::RaiseURLNotFound(const QString& url) {
    if (OnURLNotFound)
        OnURLNotFound(this, url);
    Q_EMIT URLNotFound(url);
}

void TWebCopy::RaiseNoNewFileFound(const QString& tgtfile, TDateTime curdate, TDateTime newdate) {
    if (OnNoNewFileFound)
        OnNoNewFileFound(this, tgtfile, curdate, newdate);
    Q_EMIT NoNewFileFound(tgtfile, curdate, newdate);
}

} // namespace quorvel
