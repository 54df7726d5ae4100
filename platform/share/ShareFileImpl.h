#pragma once

#include "ShareFile.h"

#include <libsmbclient.h>

#include <sys/stat.h>

#include <vector>

// An open file of the share library. Internal to the share layer.
struct ShareFile::Impl {
    Impl(SMBCCTX* c, SMBCFILE* f, const struct stat& st) : context(c), file(f), info(st), buffer(kChunk) {}
    ~Impl() { smbc_getFunctionClose(context)(context, file); }

    static constexpr std::size_t kChunk = 256 * 1024;
    SMBCCTX* context;
    SMBCFILE* file;
    struct stat info;
    std::vector<char> buffer;
    std::size_t head = 0, fill = 0;
};
