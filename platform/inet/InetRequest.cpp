#include "InetRequest.h"

#include "HttpDate.h"
#include "InetCurlDriver.h"
#include "InetError.h"
#include "InetProxy.h"
#include "InetWaitHook.h"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

namespace {

using Clock = std::chrono::steady_clock;

// Body bytes held between the network and the reader. When full, the
// transfer is paused until the reader has taken enough.
constexpr std::size_t kBufferLimit = 256 * 1024;
// curl's own receive buffer: large reads mean fewer polls per megabyte.
constexpr long kReceiveBufferSize = 128 * 1024;
// A connect (name lookup and TLS included) that takes longer fails the open.
constexpr long kConnectTimeoutSeconds = 30;
// A connected server that sends nothing for this long while we wait for it
// fails the open or the read.
constexpr auto kStallTimeout = std::chrono::seconds(30);
// Longest single wait in the socket poll, so that the stall clock is checked.
constexpr int kPollSliceMs = 1000;
// Longest single wait while a cancel flag is watched: a cancel ends any wait
// (connect, headers, body) within this time.
constexpr int kCancelSliceMs = 50;
constexpr long kMaxRedirects = 10;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

} // namespace

// One curl multi handle per session: it drives every transfer of the session
// and keeps the connections that keep-alive requests may reuse.
struct InetRequest::Transfers {
    CURLM* multi = nullptr;
    // Set by the session's owner; every wait of every request checks it.
    const std::atomic<bool>* cancel = nullptr;
    // Set by the session's owner: a wait still going on then fails as a stall does.
    std::optional<Clock::time_point> deadline;

    Transfers() : multi(curl_multi_init()) {}
    ~Transfers() {
        if (multi)
            curl_multi_cleanup(multi);
    }
    Transfers(const Transfers&) = delete;
    Transfers& operator=(const Transfers&) = delete;

    // Lets curl do the work that is ready and records finished transfers.
    bool Perform();
    void Poll(int timeoutMs) {
        if (cancel)
            timeoutMs = std::min(timeoutMs, kCancelSliceMs);
        InetWaitHook::AboutToWait();
        curl_multi_poll(multi, nullptr, 0, timeoutMs, nullptr);
    }
    bool Cancelled() const { return cancel && cancel->load(); }
    bool PastDeadline() const { return deadline && Clock::now() >= *deadline; }
};

struct InetRequest::Impl {
    std::shared_ptr<Transfers> transfers;
    CURL* easy = nullptr;
    curl_slist* requestHeaders = nullptr;
    bool inMulti = false;
    InetError* sessionError = nullptr;

    // Headers of the response being received; once headersDone, of the final one.
    bool haveStatus = false;
    std::uint32_t status = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    bool headersDone = false;

    // Received body bytes not yet read: data[head, data.size()).
    std::vector<char> data;
    std::size_t head = 0;
    bool paused = false;

    bool connected = false;
    Clock::time_point lastActivity = Clock::now();
    bool finished = false;
    InetError finishError = InetError::kNone;
    InetError lastError = InetError::kNone;

    ~Impl() {
        if (easy) {
            if (inMulti)
                curl_multi_remove_handle(transfers->multi, easy);
            curl_easy_cleanup(easy);
        }
        curl_slist_free_all(requestHeaders);
    }

    std::size_t Buffered() const { return data.size() - head; }

    const std::string* Header(std::string_view lowerName) const {
        for (const auto& [name, value] : headers)
            if (name == lowerName)
                return &value;
        return nullptr;
    }

    // curl answers 1xx interim responses itself and follows every 3xx that
    // names a Location; any other response is the one the caller gets.
    bool IsFinal() const {
        if (!haveStatus || status < 200)
            return false;
        const std::string* location = Header("location");
        return !(status >= 300 && status < 400 && location && !Trim(*location).empty());
    }

    void OnHeaderLine(std::string_view line);
    bool OnBody(const char* bytes, std::size_t size);
    void Finish(InetError error);
    void Abandon(InetError error);
    bool Configure(const std::string& url, const std::string& agent, const std::string& proxy, bool keepAlive,
                   const std::vector<std::string>& extraHeaders);
    bool ConfigureTls(bool secure, const std::string& trustedCertificates);
    // Runs the transfer until done() holds, it ends, or it stalls.
    void WaitFor(bool (Impl::*done)() const);
    bool HeadersReady() const { return headersDone || finished; }
    bool BodyReady() const { return Buffered() > 0 || finished; }
    bool Stalled() const { return connected && Clock::now() - lastActivity >= kStallTimeout; }

    static size_t HeaderCallback(char* bytes, size_t size, size_t count, void* user);
    static size_t WriteCallback(char* bytes, size_t size, size_t count, void* user);
    static int PrereqCallback(void* user, char*, char*, int, int);
};

size_t InetRequest::Impl::HeaderCallback(char* bytes, size_t size, size_t count, void* user) {
    static_cast<Impl*>(user)->OnHeaderLine(std::string_view(bytes, size * count));
    return size * count;
}

size_t InetRequest::Impl::WriteCallback(char* bytes, size_t size, size_t count, void* user) {
    const std::size_t length = size * count;
    return static_cast<Impl*>(user)->OnBody(bytes, length) ? length : CURL_WRITEFUNC_PAUSE;
}

// Called once a connection is ready and before the request goes out: from
// here on the stall clock runs instead of the connect timeout.
int InetRequest::Impl::PrereqCallback(void* user, char*, char*, int, int) {
    auto* impl = static_cast<Impl*>(user);
    impl->connected = true;
    impl->lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

bool InetRequest::Transfers::Perform() {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK)
        return false;
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        Impl* impl = nullptr;
        curl_easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &impl);
        if (impl)
            impl->Finish(InetErrorFromCurlCode(msg->data.result));
    }
    return true;
}

void InetRequest::Impl::OnHeaderLine(std::string_view line) {
    lastActivity = Clock::now();
    if (headersDone)
        return; // trailers of a chunked body
    if (line.substr(0, 5) == "HTTP/") {
        // A new response begins (after a redirect or an interim response).
        headers.clear();
        haveStatus = false;
        const auto space = line.find(' ');
        if (space != std::string_view::npos && line.size() >= space + 4) {
            std::uint32_t code = 0;
            bool digits = true;
            for (char c : line.substr(space + 1, 3)) {
                digits = digits && c >= '0' && c <= '9';
                code = code * 10 + static_cast<std::uint32_t>(c - '0');
            }
            if (digits) {
                status = code;
                haveStatus = true;
            }
        }
        return;
    }
    const std::string_view content = Trim(line);
    if (content.empty()) {
        headersDone = IsFinal();
        return;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !headers.empty()) {
        headers.back().second += ' ';
        headers.back().second += content; // folded continuation line
        return;
    }
    const auto colon = content.find(':');
    if (colon == std::string_view::npos)
        return;
    headers.emplace_back(Lower(Trim(content.substr(0, colon))), std::string(Trim(content.substr(colon + 1))));
}

bool InetRequest::Impl::OnBody(const char* bytes, std::size_t size) {
    // Body bytes only come with the final response: curl drops the bodies of
    // the responses it follows.
    headersDone = true;
    if (Buffered() > 0 && Buffered() + size > kBufferLimit) {
        paused = true;
        return false;
    }
    if (head == data.size()) {
        data.clear();
        head = 0;
    } else if (head > 0 && data.size() + size > kBufferLimit) {
        data.erase(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(head));
        head = 0;
    }
    data.insert(data.end(), bytes, bytes + size);
    lastActivity = Clock::now();
    return true;
}

void InetRequest::Impl::Finish(InetError error) {
    finished = true;
    finishError = error;
}

// Ends a transfer that we give up on; curl forgets it at once.
void InetRequest::Impl::Abandon(InetError error) {
    if (inMulti) {
        curl_multi_remove_handle(transfers->multi, easy);
        inMulti = false;
    }
    Finish(error);
}

bool InetRequest::Impl::Configure(const std::string& url, const std::string& agent, const std::string& proxy,
                                  bool keepAlive, const std::vector<std::string>& extraHeaders) {
    auto ok = [](CURLcode code) { return code == CURLE_OK; };
    requestHeaders = curl_slist_append(nullptr, "Cache-Control: no-cache");
    requestHeaders = curl_slist_append(requestHeaders, "Pragma: no-cache");
    for (const std::string& line : extraHeaders) {
        // A line break would smuggle a header or a request of its own.
        if (!requestHeaders || line.find_first_of("\r\n") != std::string::npos)
            return false;
        requestHeaders = curl_slist_append(requestHeaders, line.c_str());
    }
    bool set = requestHeaders && ok(curl_easy_setopt(easy, CURLOPT_URL, url.c_str())) &&
               ok(curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferSize)) &&
               ok(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, requestHeaders)) &&
               ok(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L)) &&
               // Giving up on a transfer must not wait for a name lookup
               // still running in curl's resolver thread.
               ok(curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https")) &&
               ok(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https")) &&
               ok(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects)) &&
               ok(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds)) &&
               ok(curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, HeaderCallback)) &&
               ok(curl_easy_setopt(easy, CURLOPT_HEADERDATA, this)) &&
               ok(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteCallback)) &&
               ok(curl_easy_setopt(easy, CURLOPT_WRITEDATA, this)) &&
               ok(curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, PrereqCallback)) &&
               ok(curl_easy_setopt(easy, CURLOPT_PREREQDATA, this)) &&
               ok(curl_easy_setopt(easy, CURLOPT_PRIVATE, this)) && InetCurlDriver::ApplyLowSpeedLimit(easy);
    if (set && !agent.empty())
        set = ok(curl_easy_setopt(easy, CURLOPT_USERAGENT, agent.c_str()));
    if (set && !proxy.empty())
        set = SetCurlProxy(easy, proxy);
    if (set && !keepAlive) {
        // A connection serves one request only.
        set = ok(curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L)) &&
              ok(curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L));
    }
    return set;
}

// Servers are always verified: a trusted issuer and the host's name in the
// certificate. A request made over TLS follows redirects over TLS only, so a
// redirect cannot move it to a connection anyone on the path could answer.
bool InetRequest::Impl::ConfigureTls(bool secure, const std::string& trustedCertificates) {
    auto ok = [](CURLcode code) { return code == CURLE_OK; };
    bool set = ok(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L)) &&
               ok(curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L));
    if (set && secure)
        set = ok(curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https"));
    if (set && !trustedCertificates.empty())
        set = ok(curl_easy_setopt(easy, CURLOPT_CAINFO, trustedCertificates.c_str()));
    return set;
}

void InetRequest::Impl::WaitFor(bool (Impl::*done)() const) {
    while (!(this->*done)()) {
        if (transfers->Cancelled()) {
            Abandon(InetError::kOperationCancelled);
            return;
        }
        if (paused) {
            paused = false;
            curl_easy_pause(easy, CURLPAUSE_CONT);
        }
        if (!transfers->Perform()) {
            Abandon(InetError::kInternal);
            return;
        }
        if ((this->*done)())
            return;
        if (Stalled() || transfers->PastDeadline()) {
            Abandon(InetError::kTimeout);
            return;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            kStallTimeout - (Clock::now() - lastActivity));
        const int slice = connected
                              ? static_cast<int>(std::clamp<long long>(left.count() + 1, 1, kPollSliceMs))
                              : kPollSliceMs;
        transfers->Poll(slice);
    }
}

InetRequest::InetRequest(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

InetRequest::~InetRequest() = default;

void InetRequest::SetDeadline(Transfers& transfers, std::optional<Clock::time_point> deadline) {
    transfers.deadline = deadline;
}

std::shared_ptr<InetRequest::Transfers> InetRequest::NewTransfers(const std::atomic<bool>* cancel) {
    auto transfers = std::make_shared<Transfers>();
    transfers->cancel = cancel;
    return transfers->multi ? transfers : nullptr;
}

std::unique_ptr<InetRequest> InetRequest::Open(const std::shared_ptr<Transfers>& transfers,
                                               const std::string& url, const std::string& agent,
                                               const std::string& proxy, bool keepAlive,
                                               const std::vector<std::string>& headers,
                                               InetError* sessionError, InetError& error,
                                               const std::string& trustedCertificates) {
    // Check the URL first: curl would guess a missing scheme, and it speaks
    // many schemes besides the two we serve.
    if (url.empty()) {
        error = InetError::kInvalidUrl;
        return nullptr;
    }
    CURLU* parsed = curl_url();
    if (!parsed) {
        error = InetError::kInternal;
        return nullptr;
    }
    const CURLUcode parseCode = curl_url_set(parsed, CURLUPART_URL, url.c_str(), CURLU_NON_SUPPORT_SCHEME);
    char* scheme = nullptr;
    if (parseCode == CURLUE_OK)
        curl_url_get(parsed, CURLUPART_SCHEME, &scheme, 0);
    const std::string schemeText = scheme ? Lower(scheme) : std::string();
    curl_free(scheme);
    curl_url_cleanup(parsed);
    if (parseCode != CURLUE_OK) {
        error = InetErrorFromCurlUrlCode(parseCode);
        return nullptr;
    }
    if (schemeText != "http" && schemeText != "https") {
        error = InetError::kUnrecognizedScheme;
        return nullptr;
    }

    auto impl = std::make_unique<Impl>();
    impl->transfers = transfers;
    impl->sessionError = sessionError;
    impl->easy = curl_easy_init();
    if (!impl->easy || !impl->Configure(url, agent, proxy, keepAlive, headers) ||
        !impl->ConfigureTls(schemeText == "https", trustedCertificates) ||
        curl_multi_add_handle(transfers->multi, impl->easy) != CURLM_OK) {
        error = InetError::kInternal;
        return nullptr;
    }
    impl->inMulti = true;
    impl->lastActivity = Clock::now();
    impl->WaitFor(&Impl::HeadersReady);
    if (impl->finished && impl->finishError == InetError::kNone)
        impl->headersDone = true; // a complete response without body
    if (!impl->headersDone) {
        error = impl->finished ? impl->finishError : InetError::kInternal;
        if (error == InetError::kNone)
            error = InetError::kInvalidServerResponse;
        return nullptr;
    }
    return std::unique_ptr<InetRequest>(new InetRequest(std::move(impl)));
}

bool InetRequest::QueryStatusCode(std::uint32_t& status) const {
    if (!m_impl->haveStatus)
        return false;
    status = m_impl->status;
    return true;
}

bool InetRequest::QueryContentLength(std::uint64_t& length) const {
    // A transfer coding makes Content-Length meaningless.
    const std::string* coding = m_impl->Header("transfer-encoding");
    if (coding && Lower(*coding) != "identity")
        return false;
    std::optional<std::uint64_t> found;
    for (const auto& [name, value] : m_impl->headers) {
        if (name != "content-length")
            continue;
        if (value.empty() || value.size() > 19 ||
            !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return false;
        const std::uint64_t number = std::stoull(value);
        if (found && *found != number)
            return false; // conflicting lengths
        found = number;
    }
    if (!found)
        return false;
    length = *found;
    return true;
}

bool InetRequest::QueryLastModified(TDateFields& fields) const {
    const std::string* value = m_impl->Header("last-modified");
    return value && HttpDate::Parse(*value, fields);
}

bool InetRequest::QueryHeader(const std::string& name, std::string& value) const {
    const std::string* found = m_impl->Header(Lower(name));
    if (!found)
        return false;
    value = *found;
    return true;
}

bool InetRequest::Read(void* buffer, std::size_t size, std::size_t& bytesRead) {
    Impl& r = *m_impl;
    bytesRead = 0;
    if (size == 0)
        return true;
    if (r.Buffered() == 0 && !r.finished) {
        r.lastActivity = Clock::now(); // the stall clock counts only while we wait
        r.WaitFor(&Impl::BodyReady);
    }
    if (r.Buffered() > 0) {
        bytesRead = std::min(size, r.Buffered());
        std::memcpy(buffer, r.data.data() + r.head, bytesRead);
        r.head += bytesRead;
        if (r.paused && r.Buffered() <= kBufferLimit / 2) {
            r.paused = false;
            curl_easy_pause(r.easy, CURLPAUSE_CONT); // may refill the buffer right away
        }
        return true;
    }
    if (r.finishError == InetError::kNone)
        return true; // clean end of the body
    r.lastError = r.finishError;
    if (r.sessionError)
        *r.sessionError = r.finishError;
    return false;
}

InetError InetRequest::LastError() const {
    return m_impl->lastError;
}

} // namespace quorvel
