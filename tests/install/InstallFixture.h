#pragma once

#include "InstallTestSupport.h"
#include "TempDir.h"

#include "TCABFile.h"
#include "TFileOps.h"
#include "TStagedInstall.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

// A product folder and a package for it, installed by TStagedInstall itself.
class InstallFixture : public testing::Test {
protected:
    // Packs the files (name -> bytes) into the package of the folder.
    void MakePackage(const std::map<std::string, std::string>& files) {
        MakeCabinetFile(work / "pkg.cab", work / ("src" + std::to_string(++m_sources)), files);
        PutPackageBack();
    }
    void PutPackageBack() {
        std::filesystem::copy_file(work / "pkg.cab", folder / "DirevidUreziv.cab",
                                   std::filesystem::copy_options::overwrite_existing);
    }
    QString Folder() const { return QString::fromStdString(folder.Slash()); }
    // Installs the folder's package; `refusal` gets why it was not.
    bool Install(quorvel::TFileOps& ops = quorvel::TFileOps::System(),
                 quorvel::TStagedInstall::TRefusal* refusal = nullptr) {
        quorvel::TCABFile cab;
        quorvel::TStagedInstall install(Folder(), kPackage, ops);
        const bool installed =
            install.Install(cab, QString::fromStdString((folder / "DirevidUreziv.cab").string()));
        if (refusal)
            *refusal = install.Refusal();
        return installed;
    }
    quorvel::TStagedInstall::TRecovery Recover(quorvel::TFileOps& ops = quorvel::TFileOps::System()) {
        quorvel::TStagedInstall install(Folder(), kPackage, ops);
        return install.Recover();
    }
    bool Has(const std::map<std::string, std::string>& files) const {
        for (const auto& [name, bytes] : files)
            if (ReadFile(folder / name) != bytes)
                return false;
        return true;
    }

    const QString kPackage = QStringLiteral("DirevidUreziv.cab");
    TempDir work;
    TempDir folder;

private:
    int m_sources = 0;
};
