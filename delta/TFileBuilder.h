#pragma once

#include "DeltaError.h"
#include "TSha512.h"
#include "TUniqueFd.h"

#include <cstdint>
#include <memory>

namespace quorvel {

class TFileOps;
class TFolderSet;
class TPatchDecoder;
struct TDeltaEntry;

// Builds one file of a delta in the staging folder from its cabinet entry's
// bytes: a patch goes through the decoder against the installed file, a
// whole file is copied; the result is hashed and counted as it is written.
class TFileBuilder {
public:
    explicit TFileBuilder(TFileOps& ops);
    ~TFileBuilder();

    // Checks the installed file a patch applies to (opened below the product
    // folder without following links, a regular file with the manifest's
    // digest) and creates the result's file in the staging folder.
    TDeltaError Begin(const TDeltaEntry& entry, TFolderSet& product, TFolderSet& staging);
    // The next bytes of the entry.
    TDeltaError Data(const void* data, std::size_t size);
    // Ends the file: None when it is whole and has the manifest's size and
    // digest. The file stays in the staging folder.
    TDeltaError End();
    // Removes a file that was begun and not ended well.
    void Discard(TFolderSet& staging);

private:
    TDeltaError OpenBase(const TDeltaEntry& entry, TFolderSet& product, TUniqueFd& base);
    TDeltaError Write(const void* data, std::size_t size);

    TFileOps& m_ops;
    const TDeltaEntry* m_entry = nullptr;
    TUniqueFd m_out;
    std::unique_ptr<TPatchDecoder> m_decoder;
    TSha512 m_hash;
    std::uint64_t m_written = 0;
    TDeltaError m_writeError = TDeltaError::None;
};

} // namespace quorvel
