#include "CabinetEntries.h"

#include "Fdi.h"
#include "TCabSource.h"

#include <cerrno>
#include <cstdlib>

namespace quorvel {

namespace {

// The output handle of the entry being read; the cabinet's own handles are
// descriptors, far below it.
constexpr Fdi::FileHandle kEntryHandle = INTPTR_MAX - 1;

Fdi::TCallbacks Callbacks(CabinetEntries::TVisitor& visitor) {
    Fdi::TCallbacks callbacks;
    callbacks.alloc = [](std::size_t size) { return std::malloc(size); };
    callbacks.free = [](void* block) { std::free(block); };
    callbacks.open = [](const std::string&, int, int) {
        errno = ENOENT;
        return Fdi::kInvalidHandle;
    };
    callbacks.read = [](Fdi::FileHandle, void*, std::uint32_t) -> std::int64_t { return -1; };
    callbacks.write = [&visitor](Fdi::FileHandle handle, const void* data,
                                 std::uint32_t count) -> std::int64_t {
        return handle == kEntryHandle && visitor.Data(data, count) ? count : -1;
    };
    callbacks.close = [](Fdi::FileHandle handle) { return handle == kEntryHandle ? 0 : -1; };
    callbacks.seek = [](Fdi::FileHandle, std::int64_t, int) -> std::int64_t { return -1; };
    return callbacks;
}

} // namespace

bool CabinetEntries::Read(int fd, TVisitor& visitor) {
    const TCabSource source = TCabSource::FromDescriptor(fd);
    std::string name, folder;
    if (!source.Locate(name, folder) || !Fdi::LoadLibrary())
        return false;
    const Fdi::TNotify notify = [&visitor](Fdi::TNotificationType type,
                                           Fdi::TNotification& n) -> Fdi::FileHandle {
        if (type == Fdi::fdintCOPY_FILE) {
            switch (visitor.Begin(n.psz1, static_cast<std::uint64_t>(n.cb),
                                  (n.attribs & Fdi::kAttribExecute) != 0)) {
            case TVisitor::TAnswer::Skip:
                return 0;
            case TVisitor::TAnswer::Take:
                return kEntryHandle;
            case TVisitor::TAnswer::Stop:
                return -1;
            }
        }
        if (type == Fdi::fdintCLOSE_FILE_INFO)
            return visitor.End() ? 1 : -1;
        // A delta is one cabinet: it never continues into another.
        return type == Fdi::fdintNEXT_CABINET || type == Fdi::fdintPARTIAL_FILE ? -1 : 0;
    };
    bool ok = false;
    Fdi::TErf erf;
    if (Fdi::HFDI fdi = Fdi::Create(source.Callbacks(Callbacks(visitor)), Fdi::TCpuType::cpu80386, &erf)) {
        ok = Fdi::Copy(fdi, name, folder, 0, notify, nullptr, nullptr);
        ok = Fdi::Destroy(fdi) && ok;
    }
    Fdi::FreeLibrary();
    return ok;
}

} // namespace quorvel
