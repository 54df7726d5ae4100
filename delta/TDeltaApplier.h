#pragma once

#include "DeltaError.h"
#include "TDeltaManifest.h"

#include <string>
#include <vector>

namespace quorvel {

class TFileOps;

// Builds the files of a delta package in a staging folder: each patch is
// applied to the installed file of the same path (whose digest must be the
// manifest's before it is used), each whole file is copied, and every result
// must have the manifest's size and digest. Reads the package from an open
// descriptor, the installed files from the open product folder (no link is
// followed, only regular files are used), and writes only below the open
// staging folder, through the given file operations. Memory stays bounded
// whatever the sizes: entries stream through, references are mapped.
class TDeltaApplier {
public:
    explicit TDeltaApplier(TFileOps& ops);

    // None when every file of the manifest was built in the staging folder
    // (missing folders there are created). On any error the files built are
    // removed again and the error says why.
    TDeltaError Apply(int deltaFd, int productDir, int stagingDir);

    // Reads only the manifest of the package open at deltaFd.
    static TDeltaError ReadManifest(int deltaFd, TDeltaManifest& manifest);

    // What the last Apply read and built, and the path it failed on.
    const TDeltaManifest& Manifest() const { return m_manifest; }
    const std::vector<std::string>& Built() const { return m_built; }
    const std::string& FailedPath() const { return m_failedPath; }

private:
    TFileOps& m_ops;
    TDeltaManifest m_manifest;
    std::vector<std::string> m_built;
    std::string m_failedPath;
};

} // namespace quorvel
