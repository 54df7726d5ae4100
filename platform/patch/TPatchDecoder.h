#pragma once

#include "PatchStatus.h"
#include "TMappedFile.h"

#include <cstdint>
#include <memory>
#include <vector>

struct ZSTD_DCtx_s;

namespace quorvel {

// Applies a patch frame to its reference as the frame's bytes arrive, handing
// the result on in blocks: the reference is mapped, the frame is never held
// whole, and a frame asking for a window above Patch::kMaxWindowLog is
// refused before anything is decoded, so memory stays bounded whatever the
// sizes. Only one frame is taken: bytes after it are a bad frame.
class TPatchDecoder {
public:
    TPatchDecoder();
    ~TPatchDecoder();
    TPatchDecoder(const TPatchDecoder&) = delete;
    TPatchDecoder& operator=(const TPatchDecoder&) = delete;

    // Maps the reference file open at referenceFd; ReadFailed when it
    // cannot be, Library when no decoder can be made.
    TPatchStatus Start(int referenceFd);
    // Decodes the next bytes of the frame.
    TPatchStatus Feed(const void* data, std::size_t size, const Patch::TWrite& write);
    // Ok only when the frame has ended whole (its checksum held).
    TPatchStatus Finish() const;

    // The whole frame in the file open at frameFd (read from its position).
    static TPatchStatus ApplyFile(int referenceFd, int frameFd, const Patch::TWrite& write);

private:
    struct TFree {
        void operator()(ZSTD_DCtx_s* context) const;
    };
    TMappedFile m_reference;
    std::unique_ptr<ZSTD_DCtx_s, TFree> m_context;
    std::vector<char> m_out;
    bool m_ended = false;
    TPatchStatus m_failed = TPatchStatus::Ok;
};

} // namespace quorvel
