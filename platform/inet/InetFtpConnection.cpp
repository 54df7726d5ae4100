#include "InetFtpConnection.h"

#include "InetCurlDriver.h"
#include "InetError.h"
#include "InetFtpFile.h"
#include "InetFtpFileImpl.h"

#include <string_view>

namespace quorvel {

namespace {

// What curl reports of a command that moves no file data is not needed.
size_t Discard(char*, size_t size, size_t count, void*) {
    return size * count;
}

constexpr long kBufferSize = 128 * 1024;
constexpr long kResponseTimeoutSeconds = 30;

// Percent-encodes one path segment: curl takes the URL's path as the names
// sent to the server, so every byte but the unreserved ones is escaped.
std::string EncodeSegment(std::string_view segment) {
    char* escaped = curl_easy_escape(nullptr, segment.data(), static_cast<int>(segment.size()));
    if (!escaped)
        return {};
    std::string out(escaped);
    curl_free(escaped);
    return out;
}

// A folder relative to another (or from the root when it starts with "/"),
// without a trailing "/" unless it is the root.
std::string Resolve(const std::string& current, const std::string& folder) {
    std::string path = !folder.empty() && folder.front() == '/' ? folder : current + "/" + folder;
    std::string clean;
    for (char c : path)
        if (c != '/' || clean.empty() || clean.back() != '/')
            clean += c;
    while (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    return clean.empty() ? std::string("/") : clean;
}

} // namespace

struct InetFtpConnection::Impl {
    Login login;
    std::string base;      // "ftp://host:port/"
    std::string cwd = "/"; // current folder, from the root
    InetCurlDriver driver;
    CURL* easy = nullptr;
    InetError lastError = InetError::kNone;
    bool fileOpen = false;

    ~Impl() {
        driver.Stop();
        if (easy)
            curl_easy_cleanup(easy);
    }

    // The URL of a folder (ending in "/") or of a file in it. The first
    // segment carries an encoded "/" so that curl starts from the root.
    std::string Url(const std::string& folder, const std::string& name) const {
        std::string url = base + "%2F";
        std::string_view rest(folder);
        while (!rest.empty() && rest.front() == '/')
            rest.remove_prefix(1);
        while (!rest.empty()) {
            const auto slash = rest.find('/');
            url += EncodeSegment(rest.substr(0, slash));
            url += '/';
            rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        }
        if (folder.size() <= 1)
            url += '/';
        return url + EncodeSegment(name);
    }

    // Resets the handle and sets what every command shares.
    bool Prepare(const std::string& url) {
        curl_easy_reset(easy);
        auto ok = [](CURLcode code) { return code == CURLE_OK; };
        bool set =
            ok(curl_easy_setopt(easy, CURLOPT_URL, url.c_str())) &&
            ok(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L)) &&
            ok(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp")) &&
            ok(curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L)) &&
            ok(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, InetCurlDriver::kConnectTimeoutSeconds)) &&
            ok(curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, kResponseTimeoutSeconds)) &&
            ok(curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kBufferSize)) &&
            ok(curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, kBufferSize)) &&
            ok(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, Discard)) &&
            ok(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, Discard)) &&
            InetCurlDriver::ApplyLowSpeedLimit(easy);
        if (set && !login.user.empty() && !login.password.empty())
            set = ok(curl_easy_setopt(easy, CURLOPT_USERNAME, login.user.c_str())) &&
                  ok(curl_easy_setopt(easy, CURLOPT_PASSWORD, login.password.c_str()));
        if (set && !login.passive)
            set = ok(curl_easy_setopt(easy, CURLOPT_FTPPORT, "-"));
        if (!set)
            lastError = InetError::kInternal;
        return set;
    }

    // Runs one command that moves no file data; true when the server agreed.
    bool Command() {
        if (curl_easy_setopt(easy, CURLOPT_NOBODY, 1L) != CURLE_OK || !driver.Start(easy)) {
            lastError = InetError::kInternal;
            return false;
        }
        driver.WaitForEnd();
        driver.Stop();
        if (driver.Finished() && driver.Result() == InetError::kNone)
            return true;
        lastError = driver.Finished() ? driver.Result() : InetError::kInternal;
        return false;
    }
};

InetFtpConnection::InetFtpConnection(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

InetFtpConnection::~InetFtpConnection() = default;

std::unique_ptr<InetFtpConnection>
InetFtpConnection::Connect(const Login& login, const std::atomic<bool>* cancel, InetError& error) {
    if (login.host.empty() || login.port <= 0 || login.port > 65535) {
        error = InetError::kInvalidUrl;
        return nullptr;
    }
    if (!InetCurlDriver::GlobalInit()) {
        error = InetError::kInternal;
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->login = login;
    const bool ipv6 = login.host.find(':') != std::string::npos && login.host.front() != '[';
    impl->base =
        "ftp://" + (ipv6 ? "[" + login.host + "]" : login.host) + ":" + std::to_string(login.port) + "/";
    impl->easy = curl_easy_init();
    if (!impl->easy || !impl->driver.Ok()) {
        error = InetError::kInternal;
        return nullptr;
    }
    impl->driver.SetCancelFlag(cancel);
    // Logging in and entering the login folder; the server tells which it is.
    if (!impl->Prepare(impl->base) || !impl->Command()) {
        error = impl->lastError;
        return nullptr;
    }
    char* entry = nullptr;
    if (curl_easy_getinfo(impl->easy, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry && *entry)
        impl->cwd = Resolve("/", entry);
    return std::unique_ptr<InetFtpConnection>(new InetFtpConnection(std::move(impl)));
}

bool InetFtpConnection::SetCurrentDirectory(const std::string& folder) {
    Impl& c = *m_impl;
    if (folder.empty())
        return true;
    const std::string target = Resolve(c.cwd, folder);
    if (!c.Prepare(c.Url(target, "")) || !c.Command())
        return false;
    c.cwd = target;
    return true;
}

bool InetFtpConnection::CreateDirectory(const std::string& folder) {
    Impl& c = *m_impl;
    const std::string target = Resolve(c.cwd, folder);
    const std::string mkd = "MKD " + target;
    curl_slist* commands = curl_slist_append(nullptr, mkd.c_str());
    if (!commands) {
        c.lastError = InetError::kInternal;
        return false;
    }
    const bool done = c.Prepare(c.Url("/", "")) &&
                      curl_easy_setopt(c.easy, CURLOPT_QUOTE, commands) == CURLE_OK && c.Command();
    curl_easy_setopt(c.easy, CURLOPT_QUOTE, nullptr);
    curl_slist_free_all(commands);
    return done;
}

bool InetFtpConnection::FindFile(const std::string& name, InetFtpEntry& entry) {
    Impl& c = *m_impl;
    if (name.empty() || !c.Prepare(c.Url(c.cwd, name)) ||
        curl_easy_setopt(c.easy, CURLOPT_FILETIME, 1L) != CURLE_OK || !c.Command())
        return false;
    curl_off_t size = -1;
    curl_off_t time = -1;
    curl_easy_getinfo(c.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    curl_easy_getinfo(c.easy, CURLINFO_FILETIME_T, &time);
    if (size < 0) {
        c.lastError = InetError::kItemNotFound;
        return false;
    }
    entry.size = static_cast<std::uint64_t>(size);
    entry.hasTime = time >= 0;
    entry.time = entry.hasTime ? static_cast<std::int64_t>(time) : 0;
    return true;
}

std::unique_ptr<InetFtpFile> InetFtpConnection::OpenRead(const std::string& name) {
    Impl& c = *m_impl;
    if (name.empty() || !c.Prepare(c.Url(c.cwd, name)))
        return nullptr;
    auto file = std::make_unique<InetFtpFile::Impl>(c.driver, c.easy, false);
    if (!file->Begin(c.lastError))
        return nullptr;
    return std::unique_ptr<InetFtpFile>(new InetFtpFile(std::move(file)));
}

std::unique_ptr<InetFtpFile> InetFtpConnection::OpenWrite(const std::string& name) {
    Impl& c = *m_impl;
    if (name.empty() || !c.Prepare(c.Url(c.cwd, name)) ||
        curl_easy_setopt(c.easy, CURLOPT_UPLOAD, 1L) != CURLE_OK)
        return nullptr;
    auto file = std::make_unique<InetFtpFile::Impl>(c.driver, c.easy, true);
    if (!file->Begin(c.lastError))
        return nullptr;
    return std::unique_ptr<InetFtpFile>(new InetFtpFile(std::move(file)));
}

InetError InetFtpConnection::LastError() const {
    return m_impl->lastError;
}

} // namespace quorvel
