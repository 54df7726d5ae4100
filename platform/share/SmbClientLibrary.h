#pragma once

#include <libsmbclient.h>

namespace quorvel {

// The share client library's entry points, loaded the first time a share is
// used. The library drags in some eighty further libraries whose loading
// would add tens of milliseconds to the start of every program built on the
// transfer engine, while most runs never touch a share.
struct SmbClientLibrary {
    // The loaded library, or nullptr when it is not installed or lacks one
    // of the entry points. Loaded once per process and never unloaded.
    static const SmbClientLibrary* Get();

    decltype(&smbc_new_context) newContext = nullptr;
    decltype(&smbc_free_context) freeContext = nullptr;
    decltype(&smbc_init_context) initContext = nullptr;
    decltype(&smbc_setDebug) setDebug = nullptr;
    decltype(&smbc_getOptionUserData) getOptionUserData = nullptr;
    decltype(&smbc_setOptionUserData) setOptionUserData = nullptr;
    decltype(&smbc_setFunctionAuthDataWithContext) setFunctionAuthDataWithContext = nullptr;
    decltype(&smbc_setOptionNoAutoAnonymousLogin) setOptionNoAutoAnonymousLogin = nullptr;
    decltype(&smbc_setOptionUseKerberos) setOptionUseKerberos = nullptr;
    decltype(&smbc_setOptionFallbackAfterKerberos) setOptionFallbackAfterKerberos = nullptr;
    decltype(&smbc_getFunctionOpendir) getFunctionOpendir = nullptr;
    decltype(&smbc_getFunctionClosedir) getFunctionClosedir = nullptr;
    decltype(&smbc_getFunctionOpen) getFunctionOpen = nullptr;
    decltype(&smbc_getFunctionFstat) getFunctionFstat = nullptr;
    decltype(&smbc_getFunctionRead) getFunctionRead = nullptr;
    decltype(&smbc_getFunctionClose) getFunctionClose = nullptr;
};

} // namespace quorvel
