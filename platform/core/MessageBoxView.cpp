#include "MessageBox.h"
#include "QuorvelExport.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace quorvel {

namespace {

void ShowRealBox(const QString& title, const QString& text, TMessageKind kind) {
    const QMessageBox::Icon icon = kind == TMessageKind::Information ? QMessageBox::Information
                                   : kind == TMessageKind::Warning   ? QMessageBox::Warning
                                                                     : QMessageBox::Critical;
    QMessageBox box(icon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

// A modal box on the GUI thread; none without a QApplication.
void ShowOnGuiThread(const QString& title, const QString& text, TMessageKind kind) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        ShowRealBox(title, text, kind);
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [=] { ShowRealBox(title, text, kind); }, Qt::BlockingQueuedConnection);
}

// Every program that links this library shows real boxes from its start.
const bool g_registered = [] {
    SetMessageBoxView(ShowOnGuiThread);
    return true;
}();

} // namespace

// Named by the library's link option, so the linker keeps this object; of C
// linkage, so the name the option gives is the symbol's own.
extern "C" {
[[maybe_unused]] extern QUORVEL_EXPORT const bool* const quorvel_message_box_linked;
const bool* const quorvel_message_box_linked = &g_registered;
}

} // namespace quorvel
