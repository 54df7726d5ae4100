#include "Fdi.h"

#include "TCabHeader.h"
#include "TContext.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace quorvel {

namespace Fdi {

namespace {

std::atomic<bool> g_available{true};

} // namespace

bool LoadLibrary() {
    return g_available.load();
}
void FreeLibrary() {}
void SetAvailable(bool available) {
    g_available.store(available);
}

HFDI Create(TCallbacks callbacks, TCpuType, TErf* erf) {
    if (!callbacks.alloc)
        callbacks.alloc = [](std::size_t size) { return std::malloc(size); };
    if (!callbacks.free)
        callbacks.free = [](void* block) { std::free(block); };
    auto context = new (std::nothrow) TContext(std::move(callbacks));
    if (!context || !context->Valid() || !context->callbacks.open || !context->callbacks.read ||
        !context->callbacks.write || !context->callbacks.close || !context->callbacks.seek) {
        delete context;
        if (erf)
            *erf = TErf{TFdiError::AllocFail, 0, true};
        return nullptr;
    }
    return context;
}

bool IsCabinet(HFDI context, FileHandle handle, TCabinetInfo* info) {
    if (!context)
        return false;
    TCabHeader header;
    if (!header.ReadHeader(context->callbacks, handle))
        return context->Fail(TFdiError::NotACabinet);
    if (info)
        *info = header.Info();
    return true;
}

bool Copy(HFDI context, const std::string& cabinetName, const std::string& cabinetPath, int flags,
          const TNotify& notify, void* decrypt, void* userValue) {
    if (!context)
        return false;
    if (flags != 0 || decrypt != nullptr || !notify)
        return context->Fail(TFdiError::UserAbort);
    return context->Copy(cabinetName, cabinetPath, notify, userValue);
}

bool Destroy(HFDI context) {
    if (!context)
        return false;
    delete context;
    return true;
}

TErf LastError(HFDI context) {
    return context ? context->erf : TErf{};
}

} // namespace Fdi

} // namespace quorvel
