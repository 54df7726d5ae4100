#include "ShareConnection.h"

#include "ShareError.h"
#include "ShareFile.h"
#include "ShareFileImpl.h"
#include "ShareName.h"
#include "SmbClientLibrary.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

namespace quorvel {

struct ShareConnection::Impl {
    const SmbClientLibrary* lib = nullptr;
    SMBCCTX* context = nullptr;
    std::string url;
    std::string user, password;

    ~Impl() {
        if (context)
            lib->freeContext(context, 1);
    }

    // The library asks for credentials for each server it logs in to.
    static void Credentials(SMBCCTX* c, const char*, const char*, char* workgroup, int workgroupLength,
                            char* user, int userLength, char* password, int passwordLength) {
        const auto* self = static_cast<const Impl*>(SmbClientLibrary::Get()->getOptionUserData(c));
        auto put = [](char* out, int length, const std::string& value) {
            if (length <= 0)
                return;
            const std::size_t n = std::min(value.size(), static_cast<std::size_t>(length - 1));
            std::memcpy(out, value.data(), n);
            out[n] = '\0';
        };
        (void)workgroup;
        (void)workgroupLength;
        put(user, userLength, self->user);
        put(password, passwordLength, self->password);
    }
};

ShareConnection::ShareConnection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

ShareConnection::~ShareConnection() = default;

std::unique_ptr<ShareConnection> ShareConnection::Connect(const std::string& share, const std::string& user,
                                                          const std::string& password, ShareError& error) {
    auto impl = std::make_unique<Impl>();
    impl->url = ShareName::Url(share);
    if (impl->url.empty()) {
        error = ShareError::kBadName;
        return nullptr;
    }
    impl->lib = SmbClientLibrary::Get();
    if (!impl->lib) {
        error = ShareError::kNoClient;
        return nullptr;
    }
    const SmbClientLibrary& lib = *impl->lib;
    impl->user = user;
    impl->password = password;
    impl->context = lib.newContext();
    if (!impl->context) {
        error = ShareErrorFromErrno(errno);
        return nullptr;
    }
    lib.setOptionUserData(impl->context, impl.get());
    lib.setFunctionAuthDataWithContext(impl->context, &Impl::Credentials);
    // Only the credentials given: no guest or anonymous fallback, no Kerberos.
    lib.setOptionNoAutoAnonymousLogin(impl->context, 1);
    lib.setOptionUseKerberos(impl->context, 0);
    lib.setOptionFallbackAfterKerberos(impl->context, 1);
    lib.setDebug(impl->context, 0);
    if (!lib.initContext(impl->context)) {
        error = ShareErrorFromErrno(errno);
        lib.freeContext(impl->context, 1);
        impl->context = nullptr;
        return nullptr;
    }
    // Listing the share's top folder proves the server, the share and the
    // credentials at once.
    SMBCFILE* dir = lib.getFunctionOpendir(impl->context)(impl->context, impl->url.c_str());
    if (!dir) {
        error = ShareErrorFromErrno(errno);
        return nullptr;
    }
    lib.getFunctionClosedir(impl->context)(impl->context, dir);
    error = ShareError::kNone;
    return std::unique_ptr<ShareConnection>(new ShareConnection(std::move(impl)));
}

std::unique_ptr<ShareFile> ShareConnection::Open(const std::string& path, ShareError& error) {
    SMBCCTX* c = m_impl->context;
    const SmbClientLibrary& lib = *m_impl->lib;
    if (!c) {
        error = ShareError::kFailed;
        return nullptr;
    }
    const std::string url = m_impl->url + ShareName::EncodePath(path);
    SMBCFILE* file = lib.getFunctionOpen(c)(c, url.c_str(), O_RDONLY, 0);
    if (!file) {
        error = ShareErrorFromErrno(errno);
        return nullptr;
    }
    struct stat st {};
    if (lib.getFunctionFstat(c)(c, file, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? ShareError::kNotFound : ShareErrorFromErrno(errno);
        lib.getFunctionClose(c)(c, file);
        return nullptr;
    }
    auto impl = std::make_unique<ShareFile::Impl>(lib, c, file, st);
    return std::unique_ptr<ShareFile>(new ShareFile(std::move(impl)));
}

bool ShareConnection::Disconnect() {
    if (!m_impl->context)
        return true;
    const bool done = m_impl->lib->freeContext(m_impl->context, 1) == 0;
    m_impl->context = nullptr;
    return done;
}

} // namespace quorvel
