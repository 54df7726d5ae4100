#include "TContext.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

namespace quorvel {

namespace Fdi {

static_assert(kAttribExecute == MSCAB_ATTRIB_EXEC);

namespace {

// The decompressor's error codes turned into ours; the one place they appear.
TFdiError FromMspack(int code) {
    switch (code) {
    case MSPACK_ERR_OK:
        return TFdiError::None;
    case MSPACK_ERR_OPEN:
        return TFdiError::CabinetNotFound;
    case MSPACK_ERR_SIGNATURE:
        return TFdiError::NotACabinet;
    case MSPACK_ERR_NOMEMORY:
        return TFdiError::AllocFail;
    case MSPACK_ERR_WRITE:
        return TFdiError::TargetFile;
    case MSPACK_ERR_CHECKSUM:
    case MSPACK_ERR_DECRUNCH:
        return TFdiError::MdiFail;
    default: // read, seek, data format, arguments
        return TFdiError::CorruptCabinet;
    }
}

} // namespace

// One open file as the decompressor sees it. Output files are borrowed: the
// caller opened them in its copy-file answer and closes them itself.
struct TMsFile {
    TContext* context;
    FileHandle handle;
    bool borrowed;
};

namespace {

// The context whose call into the decompressor is running on this thread.
// The decompressor hands copies of the system interface to its inner parts,
// so the interface pointer it passes back cannot lead to the context.
thread_local TContext* t_active = nullptr;

class TActive {
public:
    explicit TActive(TContext* context) : m_previous(t_active) { t_active = context; }
    ~TActive() { t_active = m_previous; }
    TActive(const TActive&) = delete;
    TActive& operator=(const TActive&) = delete;

private:
    TContext* m_previous;
};

TContext* Owner(mspack_system*) {
    return t_active;
}
TMsFile* AsFile(mspack_file* file) {
    return reinterpret_cast<TMsFile*>(file);
}

mspack_file* SysOpen(mspack_system* self, const char* filename, int mode) {
    TContext* context = Owner(self);
    if (mode == MSPACK_SYS_OPEN_WRITE) {
        if (context->pendingOutput <= 0)
            return nullptr;
        return reinterpret_cast<mspack_file*>(new TMsFile{context, context->pendingOutput, true});
    }
    if (mode != MSPACK_SYS_OPEN_READ)
        return nullptr;
    const FileHandle handle = context->callbacks.open(filename, O_RDONLY, 0);
    if (handle == kInvalidHandle)
        return nullptr;
    return reinterpret_cast<mspack_file*>(new TMsFile{context, handle, false});
}

void SysClose(mspack_file* file) {
    TMsFile* f = AsFile(file);
    if (!f->borrowed)
        f->context->callbacks.close(f->handle);
    delete f;
}

int SysRead(mspack_file* file, void* buffer, int bytes) {
    TMsFile* f = AsFile(file);
    if (bytes < 0)
        return -1;
    return static_cast<int>(f->context->callbacks.read(f->handle, buffer, static_cast<std::uint32_t>(bytes)));
}

int SysWrite(mspack_file* file, void* buffer, int bytes) {
    TMsFile* f = AsFile(file);
    if (bytes < 0)
        return -1;
    return static_cast<int>(
        f->context->callbacks.write(f->handle, buffer, static_cast<std::uint32_t>(bytes)));
}

int SysSeek(mspack_file* file, off_t offset, int mode) {
    TMsFile* f = AsFile(file);
    return f->context->callbacks.seek(f->handle, offset, mode) < 0 ? -1 : 0;
}

off_t SysTell(mspack_file* file) {
    TMsFile* f = AsFile(file);
    return static_cast<off_t>(f->context->callbacks.seek(f->handle, 0, soCurrent));
}

// The decompressor's diagnostics are not shown: failures come back as codes.
void SysMessage(mspack_file*, const char*, ...) {}

// Each block carries its context in front of it, because the decompressor's
// free hook gets no context and the block must go back to the caller's free.
constexpr std::size_t kBlockHeader = alignof(std::max_align_t);

void* SysAlloc(mspack_system* self, size_t bytes) {
    TContext* context = Owner(self);
    if (bytes > SIZE_MAX - kBlockHeader)
        return nullptr;
    auto* block = static_cast<unsigned char*>(context->callbacks.alloc(bytes + kBlockHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &context, sizeof context);
    return block + kBlockHeader;
}

void SysFree(void* memory) {
    if (!memory)
        return;
    unsigned char* block = static_cast<unsigned char*>(memory) - kBlockHeader;
    TContext* context = nullptr;
    std::memcpy(&context, block, sizeof context);
    context->callbacks.free(block);
}

void SysCopy(void* src, void* dest, size_t bytes) {
    std::memmove(dest, src, bytes);
}

std::uint16_t DosDate(const mscabd_file& file) {
    return static_cast<std::uint16_t>(((file.date_y - 1980) << 9) | (file.date_m << 5) | file.date_d);
}

std::uint16_t DosTime(const mscabd_file& file) {
    return static_cast<std::uint16_t>((file.time_h << 11) | (file.time_m << 5) | (file.time_s >> 1));
}

} // namespace

TContext::TContext(TCallbacks cb) : callbacks(std::move(cb)) {
    m_system.open = SysOpen;
    m_system.close = SysClose;
    m_system.read = SysRead;
    m_system.write = SysWrite;
    m_system.seek = SysSeek;
    m_system.tell = SysTell;
    m_system.message = SysMessage;
    m_system.alloc = SysAlloc;
    m_system.free = SysFree;
    m_system.copy = SysCopy;
    m_system.null_ptr = nullptr;
    TActive active(this);
    m_decompressor = mspack_create_cab_decompressor(&m_system);
}

TContext::~TContext() {
    TActive active(this);
    CloseParts();
    if (m_decompressor)
        mspack_destroy_cab_decompressor(m_decompressor);
}

bool TContext::Fail(TFdiError error, int type) {
    erf.oper = error;
    erf.type = type;
    erf.error = true;
    return false;
}

void TContext::CloseParts() {
    // Closing the first part closes every part joined to it.
    if (!m_parts.empty() && m_parts.front().cabinet)
        m_decompressor->close(m_decompressor, m_parts.front().cabinet);
    m_parts.clear();
    m_names.clear();
}

bool TContext::OpenPart(const std::string& fullName, TCabinetPart& part) {
    const FileHandle handle = callbacks.open(fullName, O_RDONLY, 0);
    if (handle == kInvalidHandle)
        return Fail(TFdiError::CabinetNotFound);
    const bool header = part.header.ReadHeader(callbacks, handle);
    const bool files = header && part.header.ReadFiles(callbacks, handle);
    callbacks.close(handle);
    if (!header)
        return Fail(TFdiError::NotACabinet);
    if (!files)
        return Fail(TFdiError::CorruptCabinet);
    m_names.push_back(fullName);
    part.cabinet = m_decompressor->open(m_decompressor, m_names.back().c_str());
    if (!part.cabinet) {
        const int code = m_decompressor->last_error(m_decompressor);
        return Fail(code == MSPACK_ERR_OK ? TFdiError::CorruptCabinet : FromMspack(code), code);
    }
    return true;
}

bool TContext::NotifyCabinetInfo(const TCabinetPart& part, const std::string& path, const TNotify& notify,
                                 void* pv) {
    TNotification n;
    n.psz1 = part.cabinet->nextname ? part.cabinet->nextname : "";
    n.psz2 = part.cabinet->nextinfo ? part.cabinet->nextinfo : "";
    n.psz3 = path;
    n.setID = part.cabinet->set_id;
    n.iCabinet = part.cabinet->set_index;
    n.pv = pv;
    return notify(fdintCABINET_INFO, n) != -1 || Fail(TFdiError::UserAbort);
}

// Opens and joins the following parts of the set for as long as a file of the
// first part continues into them.
bool TContext::FollowSet(std::string path, const TNotify& notify, void* pv) {
    bool needNext = false;
    for (const auto& entry : m_parts.front().header.Files())
        needNext = needNext || m_parts.front().header.ContinuesToNext(entry);
    while (needNext && m_parts.back().cabinet->nextname) {
        TNotification n;
        n.psz1 = m_parts.back().cabinet->nextname;
        n.psz2 = m_parts.back().cabinet->nextinfo ? m_parts.back().cabinet->nextinfo : "";
        n.psz3 = path;
        n.pv = pv;
        if (notify(fdintNEXT_CABINET, n) == -1)
            return Fail(TFdiError::UserAbort);
        path = n.psz3;
        // The next part lives beside this one; a name with folders in it
        // would make the cabinet choose what else is read.
        if (n.psz1.find_first_of("/\\") != std::string::npos)
            return Fail(TFdiError::CabinetNotFound);
        // A set that names one of its own parts again would never end.
        for (const std::string& opened : m_names)
            if (opened == path + n.psz1)
                return Fail(TFdiError::WrongCabinet);
        TCabinetPart next;
        if (!OpenPart(path + n.psz1, next))
            return false;
        if (m_decompressor->append(m_decompressor, m_parts.back().cabinet, next.cabinet) != MSPACK_ERR_OK) {
            m_decompressor->close(m_decompressor, next.cabinet);
            return Fail(TFdiError::WrongCabinet);
        }
        m_parts.push_back(std::move(next));
        if (!NotifyCabinetInfo(m_parts.back(), path, notify, pv))
            return false;
        needNext = false;
        for (const auto& entry : m_parts.back().header.Files())
            needNext = needNext || entry.folder == TCabHeader::kPrevAndNext;
    }
    return true;
}

// Marks the files of the first part that began in an earlier cabinet, which
// cannot be extracted from this one; files are matched on size and offset in
// table order because the decompressor drops entries it finds invalid.
std::vector<bool> TContext::PartialFiles(const TCabinetPart& part,
                                         const std::vector<mscabd_file*>& files) const {
    std::vector<bool> partial(files.size(), false);
    if (!part.header.Info().hasprev)
        return partial;
    const auto& entries = part.header.Files();
    std::size_t cursor = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        for (std::size_t j = cursor; j < entries.size(); ++j) {
            if (entries[j].length == files[i]->length && entries[j].offset == files[i]->offset) {
                partial[i] = part.header.ContinuesFromPrev(entries[j]);
                cursor = j + 1;
                break;
            }
        }
    }
    return partial;
}

bool TContext::CopyFile(mscabd_file* file, const TNotify& notify, void* pv) {
    TNotification n;
    n.cb = file->length;
    n.psz1 = file->filename ? file->filename : "";
    n.date = DosDate(*file);
    n.time = DosTime(*file);
    n.attribs = static_cast<std::uint16_t>(file->attribs);
    n.pv = pv;
    const FileHandle out = notify(fdintCOPY_FILE, n);
    if (out == -1)
        return Fail(TFdiError::UserAbort);
    if (out == 0)
        return true;
    pendingOutput = out;
    const int code = m_decompressor->extract(m_decompressor, file, "");
    pendingOutput = 0;
    if (code != MSPACK_ERR_OK) {
        callbacks.close(out);
        return Fail(FromMspack(code), code);
    }
    n.hf = out;
    n.cb = 0;
    return notify(fdintCLOSE_FILE_INFO, n) == 1 || Fail(TFdiError::TargetFile);
}

bool TContext::Copy(const std::string& name, const std::string& path, const TNotify& notify, void* pv) {
    TActive active(this);
    erf = TErf{};
    CloseParts();
    m_parts.emplace_back();
    if (!OpenPart(path + name, m_parts.front())) {
        m_parts.clear();
        return false;
    }
    // The first part's own files, taken before later parts are joined to it.
    std::vector<mscabd_file*> files;
    for (mscabd_file* f = m_parts.front().cabinet->files; f; f = f->next)
        files.push_back(f);
    const std::vector<bool> partial = PartialFiles(m_parts.front(), files);
    bool ok = NotifyCabinetInfo(m_parts.front(), path, notify, pv) && FollowSet(path, notify, pv);
    for (std::size_t i = 0; ok && i < files.size(); ++i) {
        if (partial[i]) {
            TNotification n;
            n.psz1 = files[i]->filename ? files[i]->filename : "";
            n.psz2 = m_parts.front().cabinet->prevname ? m_parts.front().cabinet->prevname : "";
            n.psz3 = m_parts.front().cabinet->previnfo ? m_parts.front().cabinet->previnfo : "";
            n.pv = pv;
            ok = notify(fdintPARTIAL_FILE, n) != -1 || Fail(TFdiError::UserAbort);
            continue;
        }
        ok = CopyFile(files[i], notify, pv);
    }
    if (ok) {
        TNotification n;
        n.iFolder = m_parts.front().header.Info().cFolders;
        n.pv = pv;
        ok = notify(fdintENUMERATE, n) != -1 || Fail(TFdiError::UserAbort);
    }
    CloseParts();
    return ok;
}

} // namespace Fdi

} // namespace quorvel
