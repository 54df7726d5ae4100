#include "InetUpload.h"

#include "InetCurlDriver.h"
#include "InetError.h"
#include "InetProxy.h"
#include "InetSession.h"
#include "InetStreamBuffer.h"

namespace quorvel {

namespace {

constexpr long kUploadBufferSize = 64 * 1024;

std::string LowerScheme(const std::string& url) {
    const auto end = url.find("://");
    std::string scheme = end == std::string::npos ? std::string() : url.substr(0, end);
    for (char& c : scheme)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return scheme;
}

// The answer's body is of no use to an upload: it is taken and dropped.
size_t DiscardBody(char*, size_t size, size_t count, void* user) {
    static_cast<InetCurlDriver*>(user)->Touch();
    return size * count;
}

} // namespace

struct InetUpload::Impl {
    InetCurlDriver driver;
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    InetStreamBuffer stream{driver, nullptr};
    std::string url, agent, proxy;
    Verb verb = Verb::Post;
    bool sent = false;
    bool ended = false;
    std::uint32_t status = 0;
    InetError lastError = InetError::kNone;

    explicit Impl(CURL* handle) : easy(handle), stream(driver, handle) {}
    ~Impl() {
        driver.Stop();
        if (easy)
            curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }

    bool Configure(std::uint64_t length) {
        auto ok = [](CURLcode code) { return code == CURLE_OK; };
        // No "Expect: 100-continue" round trip, and for POST no form content type:
        // the body is the file as it is.
        headers = curl_slist_append(nullptr, "Expect:");
        headers = curl_slist_append(headers, "Content-Type:");
        const auto size = static_cast<curl_off_t>(length);
        bool set =
            headers && ok(curl_easy_setopt(easy, CURLOPT_URL, url.c_str())) &&
            ok(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L)) &&
            ok(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https")) &&
            ok(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, InetCurlDriver::kConnectTimeoutSeconds)) &&
            ok(curl_easy_setopt(easy, CURLOPT_UPLOAD_BUFFERSIZE, kUploadBufferSize)) &&
            ok(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers)) &&
            ok(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, DiscardBody)) &&
            ok(curl_easy_setopt(easy, CURLOPT_WRITEDATA, &driver)) &&
            InetCurlDriver::ApplyLowSpeedLimit(easy) && stream.AttachForSending();
        if (set && verb == Verb::Put)
            set = ok(curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L)) &&
                  ok(curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, size));
        else if (set)
            set = ok(curl_easy_setopt(easy, CURLOPT_POST, 1L)) &&
                  ok(curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, size));
        if (set && !agent.empty())
            set = ok(curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str()));
        if (set && !proxy.empty())
            set = SetCurlProxy(easy, proxy);
        return set;
    }
};

InetUpload::InetUpload(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

InetUpload::~InetUpload() = default;

std::unique_ptr<InetUpload> InetUpload::Open(const InetSession& session, const std::string& url, Verb verb,
                                             const std::atomic<bool>* cancel, InetError& error) {
    const std::string scheme = LowerScheme(url);
    if (scheme != "http" && scheme != "https") {
        error = scheme.empty() ? InetError::kInvalidUrl : InetError::kUnrecognizedScheme;
        return nullptr;
    }
    if (!InetCurlDriver::GlobalInit()) {
        error = InetError::kInternal;
        return nullptr;
    }
    CURL* easy = curl_easy_init();
    if (!easy) {
        error = InetError::kInternal;
        return nullptr;
    }
    auto impl = std::make_unique<Impl>(easy);
    if (!impl->driver.Ok()) {
        error = InetError::kInternal;
        return nullptr;
    }
    impl->url = url;
    impl->agent = session.Agent();
    impl->proxy = session.Proxy();
    impl->verb = verb;
    impl->driver.SetCancelFlag(cancel);
    return std::unique_ptr<InetUpload>(new InetUpload(std::move(impl)));
}

bool InetUpload::Send(std::uint64_t length) {
    Impl& u = *m_impl;
    if (u.sent || !u.Configure(length) || !u.driver.Start(u.easy)) {
        u.lastError = InetError::kInternal;
        return false;
    }
    u.sent = true;
    // Once curl asks for body bytes, the request line and headers are out; an
    // empty body may instead complete the whole exchange at once.
    u.driver.WaitUntil([&u] { return u.stream.Started(); });
    if (u.stream.Started() || (u.driver.Finished() && u.driver.Result() == InetError::kNone))
        return true;
    u.lastError = u.driver.Finished() ? u.driver.Result() : InetError::kInternal;
    if (u.lastError == InetError::kNone)
        u.lastError = InetError::kCannotConnect;
    u.driver.Stop();
    return false;
}

bool InetUpload::Write(const void* buffer, std::size_t size, std::size_t& written) {
    Impl& u = *m_impl;
    written = 0;
    if (!u.sent || u.ended) {
        u.lastError = InetError::kInternal;
        return false;
    }
    if (!u.stream.Push(buffer, size, u.lastError))
        return false;
    written = size;
    return true;
}

bool InetUpload::End() {
    Impl& u = *m_impl;
    if (!u.sent || u.ended) {
        u.lastError = InetError::kInternal;
        return false;
    }
    u.ended = true;
    const bool done = u.stream.EndPush(u.lastError);
    long code = 0;
    if (done && curl_easy_getinfo(u.easy, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK && code > 0)
        u.status = static_cast<std::uint32_t>(code);
    u.driver.Stop();
    return done;
}

bool InetUpload::QueryStatusCode(std::uint32_t& status) const {
    if (m_impl->status == 0)
        return false;
    status = m_impl->status;
    return true;
}

InetError InetUpload::LastError() const {
    return m_impl->lastError;
}

} // namespace quorvel
