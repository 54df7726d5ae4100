#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class TCABFile;
class TFileOps;

// Decides, just before unpacking, whether the backup copy may be unpacked.
// It is given the open descriptor the copy will be unpacked from (read it
// with pread, or from its start); an empty check accepts every backup.
using TBackupCheck = std::function<bool(int backupFd)>;

// A small file of ours installed at the top of the folder with the package's
// files: committed and undone with them, so it always goes with what is
// installed. A package carrying the same name is refused.
struct TOwnFile {
    QString name;
    std::string bytes;
};

// Installs a downloaded package: copies it to the backup name (written under
// a temporary name and renamed when whole), opens that copy once, checks it
// and unpacks it from the same descriptor through a staged install (every
// file of the package, or none), and removes the backup. Returns true when
// the package was installed. A package that is missing, cannot be copied, is
// damaged, is refused by acceptBackup, does not fit on the disk or cannot be
// installed whole leaves the folder's product files as they were; the
// package and the backup then go too, so that the next "Start" downloads
// again. A folder that other users may change, or names of ours there that
// belong to another user, are not acted on at all.
bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, TFileOps& ops, const TBackupCheck& acceptBackup = {},
                    const std::vector<TOwnFile>& ownFiles = {});
bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, const TBackupCheck& acceptBackup = {},
                    const std::vector<TOwnFile>& ownFiles = {});

// What the start of the program found of an earlier install.
enum class TInstallRecovery { Nothing, Undone, Untrusted, Failed };

// Brings the folder back to a whole state after a close that did not end:
// an interrupted install is undone, and every left-over of ours (backup and
// its temporary copy, staging and rollback folders, journal) is cleared. An
// install that did not commit takes the package with it.
TInstallRecovery RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName,
                                TFileOps& ops);
TInstallRecovery RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName);

// Dates a package that is not installed yet before any server date (the
// start of 1970), so that the date rule never takes it for the installed
// version: a package whose close never ran, or was killed before anything
// showed it, is downloaded again. A successful install dates it anew.
bool MarkNotInstalled(const QString& packagePath);
// The same for the open file.
bool MarkNotInstalled(int fd);

} // namespace quorvel
