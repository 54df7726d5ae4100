#include "TPatchEncoder.h"

#include "TMappedFile.h"

#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zstd.h>

namespace quorvel {

namespace {

struct TFreeCCtx {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

// The smallest window that reaches from the end of the result back to the
// first byte of the reference.
int WindowLog(std::uint64_t referenceSize, std::uint64_t newSize) {
    const std::uint64_t span = referenceSize + newSize;
    int log = 10; // the smallest window a frame can have
    while (log < 63 && (std::uint64_t{1} << log) < span)
        ++log;
    return log;
}

bool Set(ZSTD_CCtx* context, ZSTD_cParameter parameter, int value) {
    return !ZSTD_isError(ZSTD_CCtx_setParameter(context, parameter, value));
}

// Runs the compressor over input until it has taken it all (and, at the
// end, flushed the frame), handing every output block to write.
TPatchStatus Pump(ZSTD_CCtx* context, ZSTD_inBuffer& input, ZSTD_EndDirective mode, std::vector<char>& out,
                  const Patch::TWrite& write) {
    for (;;) {
        ZSTD_outBuffer output{out.data(), out.size(), 0};
        const std::size_t left = ZSTD_compressStream2(context, &output, &input, mode);
        if (ZSTD_isError(left))
            return TPatchStatus::Library;
        if (output.pos > 0 && !write(out.data(), output.pos))
            return TPatchStatus::WriteFailed;
        const bool done = mode == ZSTD_e_end ? left == 0 : input.pos == input.size;
        if (done)
            return TPatchStatus::Ok;
    }
}

} // namespace

bool TPatchEncoder::Fits(std::uint64_t referenceSize, std::uint64_t newSize) {
    return WindowLog(referenceSize, newSize) <= Patch::kMaxWindowLog;
}

TPatchStatus TPatchEncoder::Make(int referenceFd, int newFd, const Patch::TWrite& write, int level) {
    struct stat st {};
    TMappedFile reference;
    if (fstat(newFd, &st) != 0 || !S_ISREG(st.st_mode) || !reference.Map(referenceFd))
        return TPatchStatus::ReadFailed;
    const off_t position = lseek(newFd, 0, SEEK_CUR);
    if (position < 0 || position > st.st_size)
        return TPatchStatus::ReadFailed;
    const std::uint64_t newSize = static_cast<std::uint64_t>(st.st_size - position);
    if (!Fits(reference.Size(), newSize))
        return TPatchStatus::TooLarge;

    const std::unique_ptr<ZSTD_CCtx, TFreeCCtx> context(ZSTD_createCCtx());
    if (!context || !Set(context.get(), ZSTD_c_compressionLevel, level) ||
        !Set(context.get(), ZSTD_c_windowLog, WindowLog(reference.Size(), newSize)) ||
        !Set(context.get(), ZSTD_c_enableLongDistanceMatching, 1) ||
        !Set(context.get(), ZSTD_c_checksumFlag, 1) || !Set(context.get(), ZSTD_c_contentSizeFlag, 1) ||
        ZSTD_isError(ZSTD_CCtx_setPledgedSrcSize(context.get(), newSize)) ||
        ZSTD_isError(ZSTD_CCtx_refPrefix(context.get(), reference.Data(), reference.Size())))
        return TPatchStatus::Library;

    std::vector<char> in(ZSTD_CStreamInSize()), out(ZSTD_CStreamOutSize());
    for (;;) {
        const ssize_t got = read(newFd, in.data(), in.size());
        if (got < 0)
            return TPatchStatus::ReadFailed;
        ZSTD_inBuffer input{in.data(), static_cast<std::size_t>(got), 0};
        const TPatchStatus status =
            Pump(context.get(), input, got == 0 ? ZSTD_e_end : ZSTD_e_continue, out, write);
        if (status != TPatchStatus::Ok || got == 0)
            return status;
    }
}

} // namespace quorvel
