#include "TFileBuilder.h"

#include "FileDigest.h"
#include "FileMetadata.h"
#include "FolderSteps.h"
#include "SignatureError.h"
#include "TDeltaManifest.h"
#include "TFileOps.h"
#include "TFolderSet.h"
#include "TPatchDecoder.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace quorvel {

namespace {

TDeltaError WriteError(int error) {
    return error == ENOSPC || error == EDQUOT ? TDeltaError::NoSpace : TDeltaError::IoError;
}

// A name that does not lead to a regular file the way a file of the
// product would be reached.
bool NotThere(int error) {
    return error == ENOENT || error == ENOTDIR || error == ELOOP;
}

} // namespace

TFileBuilder::TFileBuilder(TFileOps& ops) : m_ops(ops) {}
TFileBuilder::~TFileBuilder() = default;

TDeltaError TFileBuilder::OpenBase(const TDeltaEntry& entry, TFolderSet& product, TUniqueFd& base) {
    const std::vector<std::string> parts = FolderSteps::SplitPath(entry.path);
    const int dir = product.Open(parts, parts.size() - 1, m_ops);
    if (dir < 0)
        return NotThere(errno) ? TDeltaError::MissingBase : TDeltaError::IoError;
    // Non-blocking, so that a pipe planted at the name cannot hold the open.
    base = TUniqueFd(openat(dir, parts.back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!base.Valid())
        return NotThere(errno) ? TDeltaError::MissingBase : TDeltaError::IoError;
    if (fstat(base.Get(), &st) != 0)
        return TDeltaError::IoError;
    if (!S_ISREG(st.st_mode))
        return TDeltaError::MissingBase;
    FileDigest::Sha512 digest{};
    if (FileDigest::OfDescriptor(base.Get(), digest) != SignatureError::kNone)
        return TDeltaError::IoError;
    return digest == entry.base ? TDeltaError::None : TDeltaError::ChangedBase;
}

TDeltaError TFileBuilder::Begin(const TDeltaEntry& entry, TFolderSet& product, TFolderSet& staging) {
    m_entry = &entry;
    m_written = 0;
    m_writeError = TDeltaError::None;
    m_hash.Reset();
    m_decoder.reset();
    if (entry.kind == TDeltaEntry::TKind::Patch) {
        TUniqueFd base;
        if (const TDeltaError error = OpenBase(entry, product, base); error != TDeltaError::None)
            return error;
        m_decoder = std::make_unique<TPatchDecoder>();
        if (m_decoder->Start(base.Get()) != TPatchStatus::Ok)
            return TDeltaError::IoError;
    }
    const std::vector<std::string> parts = FolderSteps::SplitPath(entry.path);
    const int dir = staging.Open(parts, parts.size() - 1, m_ops, [](const std::string&) { return true; });
    if (dir < 0)
        return WriteError(errno);
    m_out = TUniqueFd(
        openat(dir, parts.back().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!m_out.Valid())
        return WriteError(errno);
    // A program is staged with execute bits as a full install stages it;
    // the install then gives it the mode it gives any staged program.
    if (entry.executable && !FileMetadata::MakeRunnable(m_out.Get()))
        return TDeltaError::IoError;
    return TDeltaError::None;
}

TDeltaError TFileBuilder::Write(const void* data, std::size_t size) {
    // A result longer than the manifest says is wrong however it ends.
    if (size > m_entry->size - m_written)
        return m_writeError = TDeltaError::ResultMismatch;
    m_written += size;
    if (!m_hash.Update(data, size))
        return m_writeError = TDeltaError::IoError;
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t done = m_ops.Write(m_out.Get(), bytes, size);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return m_writeError = WriteError(done < 0 ? errno : ENOSPC);
        bytes += done;
        size -= static_cast<std::size_t>(done);
    }
    return TDeltaError::None;
}

TDeltaError TFileBuilder::Data(const void* data, std::size_t size) {
    if (!m_decoder)
        return Write(data, size);
    const TPatchStatus status = m_decoder->Feed(data, size, [this](const void* out, std::size_t count) {
        return Write(out, count) == TDeltaError::None;
    });
    if (status == TPatchStatus::WriteFailed)
        return m_writeError;
    return status == TPatchStatus::Ok ? TDeltaError::None : TDeltaError::BadPatch;
}

TDeltaError TFileBuilder::End() {
    if (m_decoder && m_decoder->Finish() != TPatchStatus::Ok)
        return TDeltaError::BadPatch;
    TSha512::Digest digest{};
    if (!m_hash.Final(digest))
        return TDeltaError::IoError;
    if (m_written != m_entry->size || digest != m_entry->result)
        return TDeltaError::ResultMismatch;
    m_ops.Closing(m_out.Get());
    m_out.Reset();
    m_decoder.reset();
    return TDeltaError::None;
}

void TFileBuilder::Discard(TFolderSet& staging) {
    m_decoder.reset();
    if (!m_out.Valid())
        return;
    m_out.Reset();
    const std::vector<std::string> parts = FolderSteps::SplitPath(m_entry->path);
    const int dir = staging.Open(parts, parts.size() - 1, m_ops);
    if (dir >= 0)
        m_ops.Unlink(dir, parts.back().c_str(), 0);
}

} // namespace quorvel
