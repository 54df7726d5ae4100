#include "DeltaCheck.h"

#include "CabinetExtract.h"
#include "TDeltaApplier.h"
#include "TFileOps.h"
#include "TUniqueFd.h"
#include "TWorkFolder.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace quorvel {

bool DeltaCheck::Run(const std::string& oldCab, const std::string& delta, std::string& report) {
    const TWorkFolder work("");
    std::vector<CabinetExtract::TFile> files;
    if (!work.Valid() || !CabinetExtract::Extract(oldCab, work.Path() + "/product", files, report)) {
        if (report.empty())
            report = "cannot create a temporary folder";
        return false;
    }
    mkdir((work.Path() + "/staging").c_str(), 0700);
    const TUniqueFd deltaFd(open(delta.c_str(), O_RDONLY | O_CLOEXEC)),
        product(open((work.Path() + "/product").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
        staging(open((work.Path() + "/staging").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!deltaFd.Valid() || !product.Valid() || !staging.Valid()) {
        report = "cannot open " + delta;
        return false;
    }
    TDeltaApplier applier(TFileOps::System());
    const TDeltaError error = applier.Apply(deltaFd.Get(), product.Get(), staging.Get());
    if (error != TDeltaError::None) {
        report = std::string(DeltaErrorText(error)) +
                 (applier.FailedPath().empty() ? std::string() : ": " + applier.FailedPath());
        return false;
    }
    std::size_t patches = 0;
    for (const TDeltaEntry& entry : applier.Manifest().entries)
        patches += entry.kind == TDeltaEntry::TKind::Patch;
    report = std::to_string(applier.Built().size()) + " files built (" + std::to_string(patches) +
             " patched), every result as the manifest says";
    return true;
}

} // namespace quorvel
