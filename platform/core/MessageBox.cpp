#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <mutex>

namespace quorvel {

namespace {

std::mutex g_mutex;
MessageBoxHandler g_handler;

void ShowRealBox(const QString& title, const QString& text, TMessageKind kind) {
    const QMessageBox::Icon icon = kind == TMessageKind::Information ? QMessageBox::Information
                                   : kind == TMessageKind::Warning   ? QMessageBox::Warning
                                                                     : QMessageBox::Critical;
    QMessageBox box(icon, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

} // namespace

void ShowMessageBox(const QString& title, const QString& text, TMessageKind kind) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = g_handler;
    }
    if (handler) {
        handler(title, text, kind);
        return;
    }
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        ShowRealBox(title, text, kind);
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [=] { ShowRealBox(title, text, kind); }, Qt::BlockingQueuedConnection);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    MessageBoxHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

} // namespace quorvel
