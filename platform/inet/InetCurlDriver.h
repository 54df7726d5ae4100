#pragma once

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <functional>

#include "InetError.h"

namespace quorvel {

// Drives one curl easy handle at a time through a multi handle of its own,
// so that connections (an FTP login above all) stay cached between the
// transfers made through it. Internal to the internet layer: only its .cpp
// files include this header.
//
// A wait ends when the caller's condition holds, when the transfer finishes,
// when a connected transfer has seen no activity for the stall limit, or when
// the cancel flag is raised.
class InetCurlDriver {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kStallTimeout = std::chrono::seconds(30);
    static constexpr long kConnectTimeoutSeconds = 30;
    // A transfer that moves fewer bytes a second than this for that many
    // seconds fails as a stall does (kTimeout): a server that trickles a byte
    // now and then never trips the stall clock above.
    static constexpr long kLowSpeedBytes = 1024;
    static constexpr long kLowSpeedSeconds = 60;

    // Sets the low-speed limit on an easy handle: the defaults above, or what
    // SetLowSpeedLimit gave. Every request kind of the layer calls it.
    static bool ApplyLowSpeedLimit(CURL* easy);
    // Test seam behind InetSession::SetLowSpeedLimit; 0 seconds restores the
    // defaults.
    static void SetLowSpeedLimit(long bytesPerSecond, long seconds);

    InetCurlDriver();
    ~InetCurlDriver();
    InetCurlDriver(const InetCurlDriver&) = delete;
    InetCurlDriver& operator=(const InetCurlDriver&) = delete;

    // curl's process-wide set-up, made once; false when it failed.
    static bool GlobalInit();

    bool Ok() const { return m_multi != nullptr; }

    // Adds the easy handle and starts its transfer; false when curl refuses.
    bool Start(CURL* easy);
    // Takes the running easy handle out (finished or not).
    void Stop();
    bool Running() const { return m_easy != nullptr; }

    // Drives the transfer until ready() holds or it ends. A stall or a cancel
    // abandons the transfer with that error.
    void WaitUntil(const std::function<bool()>& ready);
    // Drives until the transfer ends.
    void WaitForEnd() {
        WaitUntil([] { return false; });
    }

    bool Finished() const { return m_finished; }
    // Our code (InetError.h) of the finished transfer.
    InetError Result() const { return m_result; }

    // Data moved: restarts the stall clock.
    void Touch() { m_lastActivity = Clock::now(); }
    // A run's cancel flag; waits return within a poll slice once it is set.
    void SetCancelFlag(const std::atomic<bool>* cancel) { m_cancel = cancel; }
    bool CancelRequested() const { return m_cancel && m_cancel->load(); }

private:
    void Perform();
    void Abandon(InetError error);

    CURLM* m_multi = nullptr;
    CURL* m_easy = nullptr;
    bool m_finished = false;
    InetError m_result = InetError::kNone;
    Clock::time_point m_lastActivity = Clock::now();
    const std::atomic<bool>* m_cancel = nullptr;
};

} // namespace quorvel
