#pragma once

#include <QString>

class TCABFile;

// Installs a downloaded package: copies it to the backup name, checks that the
// whole backup unpacks cleanly, unpacks it over the folder's files and removes
// the backup. Returns true when the files were unpacked. A package that is
// missing, cannot be copied or is damaged changes no product file.
bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName);
