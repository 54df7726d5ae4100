#include "SmbClientLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace quorvel {

namespace {

// Looks up one entry point; false (and entry left empty) when it is missing.
template <typename F> bool Resolve(void* handle, const char* name, F& entry) {
    entry = reinterpret_cast<F>(::dlsym(handle, name));
    return entry != nullptr;
}

// Loads the library and every entry point; false when any is missing.
bool Load(SmbClientLibrary& lib) {
    // Kept loaded for the life of the process: the library's own threads and
    // exit handlers must not outlive its code.
    void* handle = ::dlopen("libsmbclient.so.0", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle)
        return false;
    return Resolve(handle, "smbc_new_context", lib.newContext) &&
           Resolve(handle, "smbc_free_context", lib.freeContext) &&
           Resolve(handle, "smbc_init_context", lib.initContext) &&
           Resolve(handle, "smbc_setDebug", lib.setDebug) &&
           Resolve(handle, "smbc_getOptionUserData", lib.getOptionUserData) &&
           Resolve(handle, "smbc_setOptionUserData", lib.setOptionUserData) &&
           Resolve(handle, "smbc_setFunctionAuthDataWithContext", lib.setFunctionAuthDataWithContext) &&
           Resolve(handle, "smbc_setOptionNoAutoAnonymousLogin", lib.setOptionNoAutoAnonymousLogin) &&
           Resolve(handle, "smbc_setOptionUseKerberos", lib.setOptionUseKerberos) &&
           Resolve(handle, "smbc_setOptionFallbackAfterKerberos", lib.setOptionFallbackAfterKerberos) &&
           Resolve(handle, "smbc_getFunctionOpendir", lib.getFunctionOpendir) &&
           Resolve(handle, "smbc_getFunctionClosedir", lib.getFunctionClosedir) &&
           Resolve(handle, "smbc_getFunctionOpen", lib.getFunctionOpen) &&
           Resolve(handle, "smbc_getFunctionFstat", lib.getFunctionFstat) &&
           Resolve(handle, "smbc_getFunctionRead", lib.getFunctionRead) &&
           Resolve(handle, "smbc_getFunctionClose", lib.getFunctionClose);
}

} // namespace

const SmbClientLibrary* SmbClientLibrary::Get() {
    static SmbClientLibrary library;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] { loaded = Load(library); });
    return loaded ? &library : nullptr;
}

} // namespace quorvel
