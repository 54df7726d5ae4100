#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "InetRequest.h"

namespace quorvel {

// One internet session of a transfer run. Owned and used by one thread.
//
// Requests opened from a session belong to it: closing (destroying) the
// session releases every request still open, so a routine may leave a request
// open and rely on the end of the run to free it.
class InetSession {
public:
    // Opens a session with the given agent name. An empty proxy means direct
    // access as the environment configures it; otherwise "host[:port]" of a
    // named proxy. Returns nullptr when the session cannot be opened.
    //
    // cancel, when given, is watched by every wait of every request of the
    // session (connect, headers, body): once it is set, the wait gives up
    // within a fraction of a second, OpenUrl returns nullptr and Read fails,
    // both with InetError::kOperationCancelled. The flag may be set from any
    // thread and must outlive the session.
    static std::unique_ptr<InetSession> Open(const std::string& agent, const std::string& proxy,
                                             const std::atomic<bool>* cancel = nullptr);
    ~InetSession();
    InetSession(const InetSession&) = delete;
    InetSession& operator=(const InetSession&) = delete;

    // Sends a GET for an http or https URL (user name and password in the URL
    // are offered to the server) and waits until the response headers are in.
    // Returns nullptr when no response arrives: bad URL, unknown host, refused
    // or timed-out connect, connection dropped before the headers, cancel
    // flag set. Caching is
    // never involved; keepAlive keeps the connection open for schemes that
    // authenticate the connection rather than the request.
    // headers are extra request header lines ("Name: value"), e.g. a Range;
    // a line holding a CR or LF fails the open.
    InetRequest* OpenUrl(const std::string& url, bool keepAlive,
                         const std::vector<std::string>& headers = {});

    // The time by which every transfer of the session must have ended (for
    // the requests open now and later); a wait still going on then gives up
    // and the call fails with InetError::kTimeout, as on a stall. nullopt:
    // none.
    void SetDeadline(std::optional<std::chrono::steady_clock::time_point> deadline);

    // Releases a request; nullptr is accepted.
    void CloseRequest(InetRequest* request);

    const std::string& Agent() const { return m_agent; }
    const std::string& Proxy() const { return m_proxy; }
    // The cancel flag the session was opened with (may be null); the other
    // request kinds of the layer (FTP, uploads) watch it in their waits too.
    const std::atomic<bool>* CancelFlag() const { return m_cancel; }

    // Test seam: TLS servers are verified against the certificates in this
    // PEM file instead of the system's trusted authorities, for sessions
    // opened afterwards. Empty restores the system's.
    static void SetTrustedCertificates(const std::string& pemFile);
    // Test seam: a transfer of any kind (HTTP, FTP, upload) that moves fewer
    // than bytesPerSecond for seconds fails with InetError::kTimeout, for
    // transfers started afterwards. The default is 1024 bytes for 60 seconds;
    // 0 seconds restores it.
    static void SetLowSpeedLimit(long bytesPerSecond, long seconds);

    // Our error code of the last failed call on this session (see InetError.h).
    InetError LastError() const { return m_lastError; }

private:
    InetSession(std::string agent, std::string proxy);

    std::string m_agent;
    std::string m_proxy;
    std::string m_trustedCertificates;
    InetError m_lastError = InetError::kNone;
    const std::atomic<bool>* m_cancel = nullptr;
    // The library state shared by this session's requests.
    std::shared_ptr<InetRequest::Transfers> m_transfers;
    std::list<std::unique_ptr<InetRequest>> m_requests;
};

} // namespace quorvel
