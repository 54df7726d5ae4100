#pragma once

#include "DateTime.h"
#include "InetError.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// One open HTTP request whose response headers have arrived. The body is
// pulled block by block with Read; at most 256 KiB is buffered, never
// the whole body. Created by InetSession::OpenUrl, freed by its session.
class InetRequest {
public:
    ~InetRequest();
    InetRequest(const InetRequest&) = delete;
    InetRequest& operator=(const InetRequest&) = delete;

    // Each query returns false and leaves the output untouched when the
    // value is missing or unreadable.
    bool QueryStatusCode(std::uint32_t& status) const;
    bool QueryContentLength(std::uint64_t& length) const;
    // The Last-Modified header as calendar fields, as sent (GMT), unconverted.
    bool QueryLastModified(TDateFields& fields) const;
    // Any header of the final response by name (any letter case), its value
    // as sent without surrounding blanks; the first when it came twice.
    bool QueryHeader(const std::string& name, std::string& value) const;

    // Reads up to size bytes (callers use 4096). Returns true with bytesRead
    // > 0 for data, true with bytesRead == 0 at the end of the body, and false
    // on failure: connection dropped, body shorter than its Content-Length,
    // no byte for 30 seconds, or the session's cancel flag set (then within a
    // fraction of a second). LastError() then tells why.
    bool Read(void* buffer, std::size_t size, std::size_t& bytesRead);

    InetError LastError() const;

private:
    friend class InetSession;
    struct Impl;
    // The transfers of one session: they share its connections.
    struct Transfers;
    explicit InetRequest(std::unique_ptr<Impl> impl);

    static std::shared_ptr<Transfers> NewTransfers(const std::atomic<bool>* cancel);
    // Sets or clears (nullopt) the time by which every transfer of a session must have ended.
    static void SetDeadline(Transfers& transfers,
                            std::optional<std::chrono::steady_clock::time_point> deadline);
    // Starts the GET and waits for the final response's headers; nullptr
    // with error set when none arrives. A failed Read later also stores its
    // code in *sessionError.
    static std::unique_ptr<InetRequest> Open(const std::shared_ptr<Transfers>& transfers,
                                             const std::string& url, const std::string& agent,
                                             const std::string& proxy, bool keepAlive,
                                             const std::vector<std::string>& headers, InetError* sessionError,
                                             InetError& error, const std::string& trustedCertificates);

    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
