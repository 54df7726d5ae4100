#include "PackageInstall.h"

#include "TCABFile.h"
#include "TFileOps.h"
#include "TStagedInstall.h"
#include "TUniqueFd.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace {

// Copies the package to the backup name. Whatever stands at that name (a
// symbolic link included) is replaced, never written through.
bool CopyToBackup(int folder, const std::string& package, const std::string& backup, TFileOps& ops) {
    const TUniqueFd source(openat(folder, package.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!source.Valid() || fstat(source.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    if (ops.Unlink(folder, backup.c_str(), 0) != 0 && errno != ENOENT)
        return false;
    const TUniqueFd target(
        openat(folder, backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!target.Valid())
        return false;
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = read(source.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put =
                ops.Write(target.Get(), buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return false;
            done += put;
        }
    }
}

} // namespace

bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, TFileOps& ops, const TBackupCheck& acceptBackup) {
    const TUniqueFd dir(open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const std::string package = QFile::encodeName(packageName).toStdString();
    const std::string backup = QFile::encodeName(backupName).toStdString();
    struct stat st {};
    if (!dir.Valid() || fstatat(dir.Get(), package.c_str(), &st, 0) != 0 || !S_ISREG(st.st_mode))
        return false;

    TStagedInstall install(folder, packageName, ops);
    // An interrupted install is undone before anything new starts.
    if (install.Recover() == TStagedInstall::TRecovery::Failed)
        return false;
    bool installed = false;
    // A backup left by an earlier, interrupted install is never unpacked in
    // place of the package just downloaded.
    // The copy is what gets unpacked, so it is the copy that is checked.
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    if (CopyToBackup(dir.Get(), package, backup, ops) && (!acceptBackup || acceptBackup(base + backupName))) {
        install.Reserve(backupName);
        installed = install.Install(cabinet, base + backupName);
    }
    ops.Unlink(dir.Get(), backup.c_str(), 0);
    return installed;
}

bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, const TBackupCheck& acceptBackup) {
    return InstallPackage(cabinet, folder, packageName, backupName, TFileOps::System(), acceptBackup);
}

bool RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName,
                    TFileOps& ops) {
    TStagedInstall install(folder, packageName, ops);
    if (install.Recover() != TStagedInstall::TRecovery::RolledBack)
        return false;
    // The interrupted install's backup goes too; "Start" fetches the package again.
    const TUniqueFd dir(open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid())
        ops.Unlink(dir.Get(), QFile::encodeName(backupName).constData(), 0);
    return true;
}

bool RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName) {
    return RecoverInstall(folder, packageName, backupName, TFileOps::System());
}
