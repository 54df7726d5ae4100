#include "TDeltaStager.h"

#include "TDeltaApplier.h"
#include "TDeltaManifest.h"

namespace quorvel {

bool TDeltaStager::Declared(std::uint64_t& files, std::uint64_t& bytes) {
    TDeltaManifest manifest;
    if (TDeltaApplier::ReadManifest(m_fd, manifest) != TDeltaError::None)
        return false;
    files = manifest.entries.size();
    bytes = 0;
    for (const TDeltaEntry& entry : manifest.entries)
        bytes += entry.size;
    return true;
}

bool TDeltaStager::Fill(int productDir, int stagingDir, const std::string&, TFileOps& ops) {
    TDeltaApplier applier(ops);
    return applier.Apply(m_fd, productDir, stagingDir) == TDeltaError::None;
}

} // namespace quorvel
