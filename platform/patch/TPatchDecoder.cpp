#include "TPatchDecoder.h"

#include <unistd.h>
#include <zstd.h>
#include <zstd_errors.h>

namespace quorvel {

void TPatchDecoder::TFree::operator()(ZSTD_DCtx_s* context) const {
    ZSTD_freeDCtx(context);
}

TPatchDecoder::TPatchDecoder() = default;
TPatchDecoder::~TPatchDecoder() = default;

TPatchStatus TPatchDecoder::Start(int referenceFd) {
    if (!m_reference.Map(referenceFd))
        return m_failed = TPatchStatus::ReadFailed;
    m_context.reset(ZSTD_createDCtx());
    if (!m_context ||
        ZSTD_isError(ZSTD_DCtx_setParameter(m_context.get(), ZSTD_d_windowLogMax, Patch::kMaxWindowLog)) ||
        ZSTD_isError(ZSTD_DCtx_refPrefix(m_context.get(), m_reference.Data(), m_reference.Size())))
        return m_failed = TPatchStatus::Library;
    m_out.resize(ZSTD_DStreamOutSize());
    return TPatchStatus::Ok;
}

TPatchStatus TPatchDecoder::Feed(const void* data, std::size_t size, const Patch::TWrite& write) {
    if (m_failed != TPatchStatus::Ok || !m_context)
        return m_failed == TPatchStatus::Ok ? TPatchStatus::Library : m_failed;
    ZSTD_inBuffer input{data, size, 0};
    // Past the end of the frame, or until the decoder has taken every byte
    // and has nothing more to hand out.
    for (;;) {
        if (m_ended) {
            if (input.pos < input.size)
                return m_failed = TPatchStatus::BadFrame;
            return TPatchStatus::Ok;
        }
        ZSTD_outBuffer output{m_out.data(), m_out.size(), 0};
        const std::size_t hint = ZSTD_decompressStream(m_context.get(), &output, &input);
        if (ZSTD_isError(hint)) {
            const bool window = ZSTD_getErrorCode(hint) == ZSTD_error_frameParameter_windowTooLarge;
            return m_failed = window ? TPatchStatus::WindowTooLarge : TPatchStatus::BadFrame;
        }
        if (output.pos > 0 && !write(m_out.data(), output.pos))
            return m_failed = TPatchStatus::WriteFailed;
        m_ended = hint == 0;
        if (!m_ended && input.pos == input.size && output.pos < output.size)
            return TPatchStatus::Ok;
    }
}

TPatchStatus TPatchDecoder::Finish() const {
    if (m_failed != TPatchStatus::Ok)
        return m_failed;
    return m_ended ? TPatchStatus::Ok : TPatchStatus::BadFrame;
}

TPatchStatus TPatchDecoder::ApplyFile(int referenceFd, int frameFd, const Patch::TWrite& write) {
    TPatchDecoder decoder;
    TPatchStatus status = decoder.Start(referenceFd);
    std::vector<char> in(ZSTD_DStreamInSize());
    while (status == TPatchStatus::Ok) {
        const ssize_t got = read(frameFd, in.data(), in.size());
        if (got < 0)
            return TPatchStatus::ReadFailed;
        if (got == 0)
            return decoder.Finish();
        status = decoder.Feed(in.data(), static_cast<std::size_t>(got), write);
    }
    return status;
}

} // namespace quorvel
