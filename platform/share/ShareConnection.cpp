#include "ShareConnection.h"

#include "ShareError.h"
#include "ShareFile.h"
#include "ShareFileImpl.h"

#include <libsmbclient.h>

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <string_view>

namespace {

// Percent-encodes a path segment for the library's smb:// URLs, which it
// decodes again before talking to the server.
std::string EncodeSegment(std::string_view segment) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : segment) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == ':';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// "/"-separated segments of a path, empty ones dropped, each encoded.
std::string EncodePath(const std::string& path) {
    std::string out;
    std::string_view rest(path);
    while (!rest.empty()) {
        const auto slash = rest.find_first_of("/\\");
        const std::string_view segment = rest.substr(0, slash);
        if (!segment.empty())
            out += "/" + EncodeSegment(segment);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return out;
}

// "smb://server[:port]/share" from \\server\share or //server/share; empty
// when the text names no share.
std::string ShareUrl(const std::string& share) {
    std::string text = share;
    for (char& c : text)
        if (c == '\\')
            c = '/';
    if (text.rfind("//", 0) != 0)
        return {};
    text.erase(0, 2);
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    const auto slash = text.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 >= text.size() ||
        text.find('/', slash + 1) != std::string::npos)
        return {};
    return "smb://" + text.substr(0, slash) + "/" + EncodeSegment(text.substr(slash + 1));
}

} // namespace

struct ShareConnection::Impl {
    SMBCCTX* context = nullptr;
    std::string url;
    std::string user, password;

    ~Impl() {
        if (context)
            smbc_free_context(context, 1);
    }

    // The library asks for credentials for each server it logs in to.
    static void Credentials(SMBCCTX* c, const char*, const char*, char* workgroup, int workgroupLength,
                            char* user, int userLength, char* password, int passwordLength) {
        const auto* self = static_cast<const Impl*>(smbc_getOptionUserData(c));
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
                                                          const std::string& password, int& error) {
    auto impl = std::make_unique<Impl>();
    impl->url = ShareUrl(share);
    if (impl->url.empty()) {
        error = ShareError::kBadName;
        return nullptr;
    }
    impl->user = user;
    impl->password = password;
    impl->context = smbc_new_context();
    if (!impl->context) {
        error = ShareError::FromErrno(errno);
        return nullptr;
    }
    smbc_setOptionUserData(impl->context, impl.get());
    smbc_setFunctionAuthDataWithContext(impl->context, &Impl::Credentials);
    // Only the credentials given: no guest or anonymous fallback, no Kerberos.
    smbc_setOptionNoAutoAnonymousLogin(impl->context, 1);
    smbc_setOptionUseKerberos(impl->context, 0);
    smbc_setOptionFallbackAfterKerberos(impl->context, 1);
    smbc_setDebug(impl->context, 0);
    if (!smbc_init_context(impl->context)) {
        error = ShareError::FromErrno(errno);
        smbc_free_context(impl->context, 1);
        impl->context = nullptr;
        return nullptr;
    }
    // Listing the share's top folder proves the server, the share and the
    // credentials at once.
    SMBCFILE* dir = smbc_getFunctionOpendir(impl->context)(impl->context, impl->url.c_str());
    if (!dir) {
        error = ShareError::FromErrno(errno);
        return nullptr;
    }
    smbc_getFunctionClosedir(impl->context)(impl->context, dir);
    error = ShareError::kNone;
    return std::unique_ptr<ShareConnection>(new ShareConnection(std::move(impl)));
}

std::unique_ptr<ShareFile> ShareConnection::Open(const std::string& path, int& error) {
    SMBCCTX* c = m_impl->context;
    if (!c) {
        error = ShareError::kFailed;
        return nullptr;
    }
    const std::string url = m_impl->url + EncodePath(path);
    SMBCFILE* file = smbc_getFunctionOpen(c)(c, url.c_str(), O_RDONLY, 0);
    if (!file) {
        error = ShareError::FromErrno(errno);
        return nullptr;
    }
    struct stat st {};
    if (smbc_getFunctionFstat(c)(c, file, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? ShareError::kNotFound : ShareError::FromErrno(errno);
        smbc_getFunctionClose(c)(c, file);
        return nullptr;
    }
    auto impl = std::make_unique<ShareFile::Impl>(c, file, st);
    return std::unique_ptr<ShareFile>(new ShareFile(std::move(impl)));
}

bool ShareConnection::Disconnect() {
    if (!m_impl->context)
        return true;
    const bool done = smbc_free_context(m_impl->context, 1) == 0;
    m_impl->context = nullptr;
    return done;
}
