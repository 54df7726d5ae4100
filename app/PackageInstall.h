#pragma once

#include <QString>

#include <functional>

class TCABFile;
class TFileOps;

// Decides, just before unpacking, whether the backup copy (its path given)
// may be unpacked; an empty check accepts every backup.
using TBackupCheck = std::function<bool(const QString& backupPath)>;

// Installs a downloaded package: copies it to the backup name, unpacks the
// backup through a staged install (every file of the package, or none) and
// removes the backup. Returns true when the package was installed. A package
// that is missing, cannot be copied, is damaged, is refused by acceptBackup
// or cannot be installed whole leaves the folder's product files as they were.
bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, TFileOps& ops, const TBackupCheck& acceptBackup = {});
bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, const TBackupCheck& acceptBackup = {});

// Undoes an install that was interrupted (the journal of the staged install
// is there) and then removes the backup; also clears left-over folders of an
// install. True when an interrupted install was undone.
bool RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName,
                    TFileOps& ops);
bool RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName);
