#include "PackageInstall.h"

#include "ReleaseRecord.h"
#include "TCABFile.h"
#include "TFileOps.h"
#include "TStagedInstall.h"
#include "TUniqueFd.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// The package's second name at `temp`, made to the open file itself (through
// /proc, whatever stands at its name by now), or invalid where no link can
// be made (a file system without them, links refused) or where the backup
// would not be a file of ours with no other name: the package must be the
// running user's with one link. Nothing writes the package in place (a new
// download replaces it by a rename), so the backup cannot differ from it.
TUniqueFd LinkPackage(int folder, int package, const std::string& temp) {
    struct stat st {};
    if (fstat(package, &st) != 0 || st.st_uid != geteuid() || st.st_nlink != 1)
        return {};
    const std::string self = "/proc/self/fd/" + std::to_string(package);
    if (linkat(AT_FDCWD, self.c_str(), folder, temp.c_str(), AT_SYMLINK_FOLLOW) != 0)
        return {};
    TUniqueFd linked(openat(folder, temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat made {};
    if (!linked.Valid() || fstat(linked.Get(), &made) != 0 || made.st_dev != st.st_dev ||
        made.st_ino != st.st_ino) {
        unlinkat(folder, temp.c_str(), 0);
        return {};
    }
    return linked;
}

// The package copied to `temp` (created new, never through a link, readable
// by the user alone).
TUniqueFd CopyPackage(int folder, int package, const std::string& temp, TFileOps& ops) {
    TUniqueFd target(openat(folder, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!target.Valid())
        return {};
    if (!CopyAll(package, target.Get(), ops)) {
        ops.Unlink(folder, temp.c_str(), 0);
        return {};
    }
    return target;
}

// Makes the backup of the package and returns it, open for reading: a
// second name of the package where one can be made, so that no byte is
// copied, else a copy. Either is made under a temporary name of ours and
// renamed over whatever stands at the backup name only when whole, so a
// partial copy is never found there.
TUniqueFd MakeBackup(int folder, int package, const std::string& backup, const std::string& temp,
                     TFileOps& ops) {
    // Made first of all: from here on, a kill leaves a sign that the next
    // start reads as an install that did not happen.
    TUniqueFd target = LinkPackage(folder, package, temp);
    if (!target.Valid())
        target = CopyPackage(folder, package, temp, ops);
    if (!target.Valid())
        return {};
    struct stat st {};
    const bool replace = fstatat(folder, backup.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if ((replace && ops.Unlink(folder, backup.c_str(), 0) != 0) ||
        ops.Rename(folder, temp.c_str(), folder, backup.c_str()) != 0) {
        ops.Unlink(folder, temp.c_str(), 0);
        return {};
    }
    return target;
}

} // namespace

bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, TFileOps& ops, TBackupCheck* check,
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
    // from: a file put at the backup's name meanwhile is never read. The
    // check digests the very bytes the extraction reads, so the backup is
    // read once, and nothing it staged is committed unless they match.
    const TUniqueFd backup = MakeBackup(dir.Get(), package.Get(), QFile::encodeName(backupName).toStdString(),
                                        QFile::encodeName(BackupTempName(backupName)).toStdString(), ops);
    if (!backup.Valid()) {
        install.Abandon();
        return false;
    }
    const auto previousBytes = cabinet.OnCabinetBytes;
    if (check) {
        cabinet.OnCabinetBytes = [check](const char* data, std::size_t size) { check->Add(data, size); };
        install.CheckStaged([&] { return check->Matches(backup.Get(), cabinet.CabinetBytesWhole()); });
    }
    const bool installed = install.Install(cabinet, backup.Get());
    cabinet.OnCabinetBytes = previousBytes;
    if (!installed)
        return false;
    // From now on the package stands for what is installed: its time is
    // what the next download is compared with.
    const timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    futimens(package.Get(), times);
    return true;
}

bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, TBackupCheck* check, const std::vector<TOwnFile>& ownFiles) {
    return InstallPackage(cabinet, folder, packageName, backupName, TFileOps::System(), check, ownFiles);
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
