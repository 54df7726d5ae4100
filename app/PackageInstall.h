#pragma once

#include <QString>

class TCABFile;
class TFileOps;

// Installs a downloaded package: copies it to the backup name, unpacks the
// backup through a staged install (every file of the package, or none) and
// removes the backup. Returns true when the package was installed. A package
// that is missing, cannot be copied, is damaged or cannot be installed whole
// leaves the folder's product files as they were.
bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName, TFileOps& ops);
bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName);

// Undoes an install that was interrupted (the journal of the staged install
// is there) and then removes the backup; also clears left-over folders of an
// install. True when an interrupted install was undone.
bool RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName,
                    TFileOps& ops);
bool RecoverInstall(const QString& folder, const QString& packageName, const QString& backupName);
