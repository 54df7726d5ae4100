#pragma once

#include "ShareFile.h"

#include "SmbClientLibrary.h"

#include <sys/stat.h>

#include <vector>

namespace quorvel {

// An open file of the share library. Internal to the share layer.
struct ShareFile::Impl {
    Impl(const SmbClientLibrary& l, SMBCCTX* c, SMBCFILE* f, const struct stat& st)
        : lib(l), context(c), file(f), info(st), buffer(kChunk) {}
    ~Impl() { lib.getFunctionClose(context)(context, file); }

    static constexpr std::size_t kChunk = 256 * 1024;
    const SmbClientLibrary& lib;
    SMBCCTX* context;
    SMBCFILE* file;
    struct stat info;
    std::vector<char> buffer;
    std::size_t head = 0, fill = 0;
};

} // namespace quorvel
