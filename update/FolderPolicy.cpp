#include "FolderPolicy.h"

#include <QDir>
#include <QFileInfo>

#include <fcntl.h>

#include <unistd.h>

namespace quorvel {

namespace FolderPolicy {

namespace {

// The folder with its links followed; the nearest existing parent stands in
// for a folder that does not exist yet, so that /usr/lib/new is still /usr.
QString ResolvedPath(const QString& folder) {
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    QString missing;
    while (!QFileInfo::exists(path) && path != QStringLiteral("/")) {
        missing = QLatin1Char('/') + QFileInfo(path).fileName() + missing;
        path = QFileInfo(path).absolutePath();
    }
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return QDir::cleanPath((canonical.isEmpty() ? path : canonical) + missing);
}

} // namespace

bool IsSystemOwned(const QString& folder) {
    const QString path = ResolvedPath(folder);
    return path == QStringLiteral("/usr") || path.startsWith(QStringLiteral("/usr/"));
}

bool IsWritable(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir())
        return false;
    // The effective user's rights, a read-only mount included (EROFS).
    return ::faccessat(AT_FDCWD, QFile::encodeName(info.absoluteFilePath()).constData(), W_OK | X_OK,
                       AT_EACCESS) == 0;
}

QString Refusal(const QString& folder) {
    if (IsSystemOwned(folder))
        return QStringLiteral(
                   "%1 is under /usr, which the system's package manager owns: an updater updates a "
                   "product's own folder (for example under /opt), never that one.")
            .arg(folder);
    if (!IsWritable(folder))
        return QStringLiteral("cannot write to %1").arg(folder);
    return {};
}

} // namespace FolderPolicy

} // namespace quorvel
