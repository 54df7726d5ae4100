#include "FolderPolicy.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cctype>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
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

// ".NAME." + 16 hex digits + one of the engine's suffixes of a partial download.
bool IsPartialDownloadName(const std::string& name, const std::string& package) {
    const std::string prefix = "." + package + ".";
    if (name.size() < prefix.size() + 16 || name.compare(0, prefix.size(), prefix) != 0)
        return false;
    const std::string hash = name.substr(prefix.size(), 16);
    const std::string suffix = name.substr(prefix.size() + 16);
    return std::all_of(hash.begin(), hash.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }) &&
           (suffix == ".part" || suffix == ".resume" || suffix == ".resume.new");
}

} // namespace

bool HoldsForeignDownload(const QString& folder, const QString& packageName) {
    DIR* dir = opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return false;
    const std::string package = QFile::encodeName(packageName).toStdString();
    bool foreign = false;
    while (const dirent* entry = readdir(dir)) {
        struct stat st {};
        if (IsPartialDownloadName(entry->d_name, package) &&
            fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1))
            foreign = true;
    }
    closedir(dir);
    return foreign;
}

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
