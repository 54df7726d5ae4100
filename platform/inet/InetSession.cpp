#include "InetSession.h"

#include "InetCurlDriver.h"
#include "InetError.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

namespace quorvel {

namespace {

// curl's global state is set up once per process, whichever thread comes
// first; it is never torn down because other threads may still use it.
bool CurlReady() {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

std::mutex trustMutex;
std::string trustedCertificates;

} // namespace

void InetSession::SetTrustedCertificates(const std::string& pemFile) {
    const std::lock_guard lock(trustMutex);
    trustedCertificates = pemFile;
}

void InetSession::SetLowSpeedLimit(long bytesPerSecond, long seconds) {
    InetCurlDriver::SetLowSpeedLimit(bytesPerSecond, seconds);
}

InetSession::InetSession(std::string agent, std::string proxy)
    : m_agent(std::move(agent)), m_proxy(std::move(proxy)) {}

std::unique_ptr<InetSession> InetSession::Open(const std::string& agent, const std::string& proxy,
                                               const std::atomic<bool>* cancel) {
    if (!CurlReady())
        return nullptr;
    std::unique_ptr<InetSession> session(new InetSession(agent, proxy));
    session->m_cancel = cancel;
    {
        const std::lock_guard lock(trustMutex);
        session->m_trustedCertificates = trustedCertificates;
    }
    session->m_transfers = InetRequest::NewTransfers(cancel);
    if (!session->m_transfers)
        return nullptr;
    return session;
}

InetSession::~InetSession() {
    // Requests first: each leaves the shared transfer state before it goes.
    m_requests.clear();
}

InetRequest* InetSession::OpenUrl(const std::string& url, bool keepAlive,
                                  const std::vector<std::string>& headers) {
    InetError error = InetError::kNone;
    auto request = InetRequest::Open(m_transfers, url, m_agent, m_proxy, keepAlive, headers, &m_lastError,
                                     error, m_trustedCertificates);
    if (!request) {
        m_lastError = error;
        return nullptr;
    }
    m_requests.push_back(std::move(request));
    return m_requests.back().get();
}

void InetSession::SetDeadline(std::optional<std::chrono::steady_clock::time_point> deadline) {
    if (m_transfers)
        InetRequest::SetDeadline(*m_transfers, deadline);
}

void InetSession::CloseRequest(InetRequest* request) {
    const auto it =
        std::find_if(m_requests.begin(), m_requests.end(),
                     [request](const std::unique_ptr<InetRequest>& r) { return r.get() == request; });
    if (it != m_requests.end())
        m_requests.erase(it);
}

} // namespace quorvel
