#include "InetCurlDriver.h"

#include "InetError.h"
#include "InetWaitHook.h"

#include <atomic>
#include <mutex>

namespace quorvel {

namespace {

// Longest single wait in the socket poll: the stall clock and the cancel flag
// are looked at at least this often.
constexpr int kPollSliceMs = 50;

std::atomic<long> lowSpeedBytes{InetCurlDriver::kLowSpeedBytes};
std::atomic<long> lowSpeedSeconds{InetCurlDriver::kLowSpeedSeconds};

} // namespace

bool InetCurlDriver::ApplyLowSpeedLimit(CURL* easy) {
    return curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, lowSpeedBytes.load()) == CURLE_OK &&
           curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, lowSpeedSeconds.load()) == CURLE_OK;
}

void InetCurlDriver::SetLowSpeedLimit(long bytesPerSecond, long seconds) {
    if (seconds <= 0) {
        bytesPerSecond = kLowSpeedBytes;
        seconds = kLowSpeedSeconds;
    }
    lowSpeedBytes = bytesPerSecond;
    lowSpeedSeconds = seconds;
}

bool InetCurlDriver::GlobalInit() {
    // curl's global state is never torn down: other threads may still use it.
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return ready;
}

InetCurlDriver::InetCurlDriver() : m_multi(curl_multi_init()) {}

InetCurlDriver::~InetCurlDriver() {
    Stop();
    if (m_multi)
        curl_multi_cleanup(m_multi);
}

bool InetCurlDriver::Start(CURL* easy) {
    Stop();
    m_finished = false;
    m_result = InetError::kNone;
    if (!m_multi || curl_multi_add_handle(m_multi, easy) != CURLM_OK)
        return false;
    m_easy = easy;
    Touch();
    return true;
}

void InetCurlDriver::Stop() {
    if (m_easy)
        curl_multi_remove_handle(m_multi, m_easy);
    m_easy = nullptr;
}

void InetCurlDriver::Abandon(InetError error) {
    Stop();
    m_finished = true;
    m_result = error;
}

void InetCurlDriver::Perform() {
    int running = 0;
    if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
        Abandon(InetError::kInternal);
        return;
    }
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->easy_handle == m_easy) {
            m_finished = true;
            m_result = InetErrorFromCurlCode(msg->data.result);
        }
    }
}

void InetCurlDriver::WaitUntil(const std::function<bool()>& ready) {
    while (m_easy && !m_finished && !ready()) {
        if (CancelRequested()) {
            Abandon(InetError::kOperationCancelled);
            return;
        }
        Perform();
        if (m_finished || ready())
            return;
        if (Clock::now() - m_lastActivity >= kStallTimeout) {
            Abandon(InetError::kTimeout);
            return;
        }
        InetWaitHook::AboutToWait();
        curl_multi_poll(m_multi, nullptr, 0, kPollSliceMs, nullptr);
    }
}

} // namespace quorvel
