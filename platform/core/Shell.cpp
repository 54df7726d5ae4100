#include "Shell.h"

#include <QDesktopServices>
#include <QUrl>
#include <mutex>

namespace quorvel {

namespace {
std::mutex g_mutex;
ShellOpenHandler g_handler;
} // namespace

void ShellOpen(const QString& path) {
    ShellOpenHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        handler = g_handler;
    }
    if (handler) {
        handler(path);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler) {
    std::lock_guard<std::mutex> lock(g_mutex);
    ShellOpenHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

} // namespace quorvel
