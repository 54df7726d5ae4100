#include "CabFolders.h"

#include "MessageBox.h"

#include <QFile>
#include <cstring>
#include <sys/stat.h>

namespace quorvel {

bool ForceDirs(const QString& path) {
    QString dir = QString(path).replace('\\', '/');
    if (dir.endsWith('/') || dir.endsWith('\\'))
        dir.chop(1);
    if (dir.isEmpty() || DirExists(dir))
        return true;
    const qsizetype cut = std::max(dir.lastIndexOf('/'), dir.lastIndexOf('\\'));
    const QString parent = cut >= 0 ? dir.left(cut + 1) : QString();
    if (parent == dir || !ForceDirs(parent))
        return false;
    return mkdir(QFile::encodeName(dir).constData(), 0777) == 0 || DirExists(dir);
}

bool DirExists(const QString& path) {
    struct stat st {};
    return stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ShowSystemError(int code) {
    if (code == 0)
        return;
    char buffer[1025] = {};
    // The GNU variant may return a static text instead of filling the buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    ShowMessageBox(QStringLiteral("Error"), QString::fromLocal8Bit(text), TMessageKind::Warning);
}

} // namespace quorvel
