#include "PackageInstall.h"

#include "TCABFile.h"

#include <filesystem>

namespace fs = std::filesystem;

bool InstallPackage(TCABFile& cabinet, const QString& folder, const QString& packageName,
                    const QString& backupName) {
    const fs::path package = (folder + packageName).toStdString();
    const fs::path backup = (folder + backupName).toStdString();
    std::error_code ec;
    if (!fs::is_regular_file(package, ec))
        return false;

    fs::copy_file(package, backup, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        // A backup left by an earlier, interrupted install is never unpacked
        // in place of the package just downloaded.
        fs::remove(backup, ec);
        return false;
    }

    cabinet.SetCABFile(folder + backupName);
    cabinet.SetTargetPath(folder);
    // Overwriting starts only once every file of the package is known to
    // decompress with good checksums, so a damaged package leaves the product
    // as it was instead of half-updated.
    const bool installed = cabinet.VerifyAll() && cabinet.ExtractAll();
    fs::remove(backup, ec);
    return installed;
}
