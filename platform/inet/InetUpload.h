#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "InetError.h"

namespace quorvel {

class InetSession;

// One HTTP request that sends a body of announced length, pushed block by
// block (at most 256 KiB held in between), and then reads the server's
// status. The session gives the agent name and the proxy. Owned and used by
// one thread.
class InetUpload {
public:
    enum class Verb { Post, Put };

    // Prepares a request for an http or https URL; nothing is sent yet.
    // nullptr with error set for a URL that cannot be used.
    static std::unique_ptr<InetUpload> Open(const InetSession& session, const std::string& url, Verb verb,
                                            const std::atomic<bool>* cancel, InetError& error);
    ~InetUpload();
    InetUpload(const InetUpload&) = delete;
    InetUpload& operator=(const InetUpload&) = delete;

    // Connects and sends the request line and headers announcing length
    // bytes of body; false when the server cannot be reached.
    bool Send(std::uint64_t length);
    // Sends the next block; all size bytes are taken (written = size) or the
    // call fails.
    bool Write(const void* buffer, std::size_t size, std::size_t& written);
    // Ends the request and waits for the server's answer; false when the
    // body did not go out whole or no answer came.
    bool End();

    // The status of the server's answer, once End succeeded.
    bool QueryStatusCode(std::uint32_t& status) const;
    InetError LastError() const;

    struct Impl;

private:
    explicit InetUpload(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
