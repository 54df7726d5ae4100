#include "PackageInstall.h"

#include "ReleaseRecord.h"
#include "TCABFile.h"
#include "TFileOps.h"
#include "TStagedInstall.h"
#include "TUniqueFd.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace quorvel {

namespace {

// The name the backup is written under until it is whole.
QString BackupTempName(const QString& backupName) {
    return QLatin1Char('.') + backupName + QStringLiteral(".new");
}

// Our names in the folder. The installed-release record is reserved even
// when no key asks for it, so an unsigned package can never plant a record
// that a later signed updater would believe.
void DeclareNames(TStagedInstall& install, const QString& packageName, const QString& backupName) {
    install.AddLeftover(backupName);
    install.AddLeftover(BackupTempName(backupName));
    install.Own(ReleaseRecord::Name(packageName));
}

// The package's bytes into the backup, a few MiB per call, so that a kill
// can land in the middle of the copy like anywhere else.
bool CopyAll(int source, int target, TFileOps& ops) {
    constexpr std::size_t kStep = 4 << 20;
    for (off_t offset = 0;;) {
        const ssize_t copied = ops.Copy(source, offset, target, kStep);
        if (copied < 0 && errno == EINTR)
            continue;
        if (copied < 0)
            return false;
        if (copied == 0)
            return true;
        offset += copied;
    }
}

// Copies the package to the backup name and returns the copy, open for
// reading. The copy is written under a temporary name of ours (created new,
// never through a link, readable by the user alone) and renamed over
// whatever stands at the backup name only when whole, so a partial copy is
// never found there.
TUniqueFd CopyToBackup(int folder, int package, const std::string& backup, const std::string& temp,
                       TFileOps& ops) {
    // Created first of all: from here on, a kill leaves a sign that the
    // next start reads as an install that did not happen.
    TUniqueFd target(openat(folder, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!target.Valid())
        return {};
    struct stat st {};
    const bool replace = fstatat(folder, backup.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!CopyAll(package, target.Get(), ops) || (replace && ops.Unlink(folder, backup.c_str(), 0) != 0) ||
        ops.Rename(folder, temp.c_str(), folder, backup.c_str()) != 0) {
        ops.Unlink(folder, temp.c_str(), 0);
        return {};
    }
    return target;
}

} // namespace

bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, TFileOps& ops, const TBackupCheck& acceptBackup,
                    const std::vector<TOwnFile>& ownFiles) {
    TStagedInstall install(folder, packageName, ops);
    DeclareNames(install, packageName, backupName);
    for (const TOwnFile& file : ownFiles)
        install.StageFile(file.name, file.bytes);
    // An interrupted install is undone before anything new starts; it takes
    // its package with it, so nothing is installed then. Other left-overs
    // are older than the package, which was downloaded after the start.
    const TStagedInstall::TRecovery recovery = install.Recover(true);
    if (recovery != TStagedInstall::TRecovery::Nothing)
        return false;

    const TUniqueFd dir(open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const TUniqueFd package(dir.Valid() ? openat(dir.Get(), QFile::encodeName(packageName).constData(),
                                                 O_RDONLY | O_NOFOLLOW | O_CLOEXEC)
                                        : -1);
    struct stat st {};
    if (!package.Valid() || fstat(package.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        install.Abandon();
        return false;
    }
    // What is checked is the copy, through the descriptor it is unpacked
    // from: a file put at the backup's name meanwhile is never read.
    const TUniqueFd backup =
        CopyToBackup(dir.Get(), package.Get(), QFile::encodeName(backupName).toStdString(),
                     QFile::encodeName(BackupTempName(backupName)).toStdString(), ops);
    if (!backup.Valid() || (acceptBackup && !acceptBackup(backup.Get()))) {
        install.Abandon();
        return false;
    }
    if (!install.Install(cabinet, backup.Get()))
        return false;
    // From now on the package stands for what is installed: its time is
    // what the next download is compared with.
    const timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    futimens(package.Get(), times);
    return true;
}

bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, const TBackupCheck& acceptBackup,
                    const std::vector<TOwnFile>& ownFiles) {
    return InstallPackage(cabinet, folder, packageName, backupName, TFileOps::System(), acceptBackup,
                          ownFiles);
}

TInstallRecovery RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName,
                                TFileOps& ops) {
    TStagedInstall install(folder, packageName, ops);
    DeclareNames(install, packageName, backupName);
    switch (install.Recover()) {
    case TStagedInstall::TRecovery::Nothing:
        return TInstallRecovery::Nothing;
    case TStagedInstall::TRecovery::RolledBack:
    case TStagedInstall::TRecovery::Interrupted:
        return TInstallRecovery::Undone;
    case TStagedInstall::TRecovery::Untrusted:
        return TInstallRecovery::Untrusted;
    case TStagedInstall::TRecovery::Failed:
        break;
    }
    return TInstallRecovery::Failed;
}

TInstallRecovery RecoverInstall(const QString& folder, const QString& packageName,
                                const QString& backupName) {
    return RecoverInstall(folder, packageName, backupName, TFileOps::System());
}

bool MarkNotInstalled(const QString& packagePath) {
    const timespec times[2] = {{0, UTIME_OMIT}, {0, 0}};
    return utimensat(AT_FDCWD, QFile::encodeName(packagePath).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool MarkNotInstalled(int fd) {
    const timespec times[2] = {{0, UTIME_OMIT}, {0, 0}};
    return futimens(fd, times) == 0;
}

} // namespace quorvel
