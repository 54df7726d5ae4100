#pragma once

#include "QuorvelExport.h"

#include <QString>

#include <cstddef>
#include <string>
#include <vector>

namespace quorvel {

class TCABFile;
class TFileOps;

// Decides whether what was unpacked from the backup may be installed, from
// the bytes the unpacking itself read: Add is given every byte of the backup
// once, in file order, while its files are staged, and Matches is asked once
// they are staged, before any of them is committed. No check accepts every
// backup.
class TBackupCheck {
public:
    virtual ~TBackupCheck() = default;
    virtual void Add(const char* data, std::size_t size) = 0;
    // whole: Add was given the whole backup. Otherwise (an unpacking that
    // read far back) the check reads the open backup `fd` itself, with pread
    // or from its start.
    virtual bool Matches(int fd, bool whole) = 0;
};

// A small file of ours installed at the top of the folder with the package's
// files: committed and undone with them, so it always goes with what is
// installed. A package carrying the same name is refused.
struct QUORVEL_EXPORT TOwnFile {
    QString name;
    std::string bytes;
};

// Installs a downloaded package: makes its backup (a second name of the
// package file where the folder's file system allows one, else a copy; made
// under a temporary name and renamed when whole), opens it once, unpacks it
// from that descriptor through a staged install (every file of the package,
// or none) that commits only what `check` accepts, and removes the backup.
// Returns true when the package was installed. A package that is missing,
// cannot be copied, is damaged, is refused by check, does not fit on the
// disk or cannot be installed whole leaves the folder's product files as
// they were; the package and the backup then go too, so that the next
// "Start" downloads again. A folder that other users may change, or names
// of ours there that belong to another user, are not acted on at all.
QUORVEL_EXPORT bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                                   const QString& backupName, TFileOps& ops, TBackupCheck* check = nullptr,
                                   const std::vector<TOwnFile>& ownFiles = {});
QUORVEL_EXPORT bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                                   const QString& backupName, TBackupCheck* check = nullptr,
                                   const std::vector<TOwnFile>& ownFiles = {});

// What the start of the program found of an earlier install.
enum class TInstallRecovery { Nothing, Undone, Untrusted, Failed };

// Brings the folder back to a whole state after a close that did not end:
// an interrupted install is undone, and every left-over of ours (backup and
// its temporary copy, staging and rollback folders, journal) is cleared. An
// install that did not commit takes the package with it.
QUORVEL_EXPORT TInstallRecovery RecoverInstall(const QString& folder, const QString& packageName,
                                               const QString& backupName, TFileOps& ops);
QUORVEL_EXPORT TInstallRecovery RecoverInstall(const QString& folder, const QString& packageName,
                                               const QString& backupName);

// Dates a package that is not installed yet before any server date (the
// start of 1970), so that the date rule never takes it for the installed
// version: a package whose close never ran, or was killed before anything
// showed it, is downloaded again. A successful install dates it anew.
QUORVEL_EXPORT bool MarkNotInstalled(const QString& packagePath);
// The same for the open file.
QUORVEL_EXPORT bool MarkNotInstalled(int fd);

} // namespace quorvel
