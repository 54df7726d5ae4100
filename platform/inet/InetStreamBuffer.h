#pragma once

#include "InetCurlDriver.h"

#include <cstddef>
#include <vector>

namespace quorvel {

// The bytes between a caller and one running curl transfer, in either
// direction: received data waits here for Pull, data to send waits here for
// curl. The buffer is bounded: a full receive buffer pauses the transfer
// until the caller has taken enough, a full send buffer makes Push drive the
// transfer until there is room. Internal to the internet layer.
class InetStreamBuffer {
public:
    static constexpr std::size_t kLimit = 256 * 1024;
    // Pushed bytes wake a paused transfer once this many are waiting.
    static constexpr std::size_t kWakeAmount = 64 * 1024;

    InetStreamBuffer(InetCurlDriver& driver, CURL* easy) : m_driver(driver), m_easy(easy) {}
    InetStreamBuffer(const InetStreamBuffer&) = delete;
    InetStreamBuffer& operator=(const InetStreamBuffer&) = delete;

    // Sets the easy handle's callbacks for the direction; false when curl refuses.
    bool AttachForReceiving();
    bool AttachForSending();

    // Receiving: copies up to size bytes. True with got == 0 at a clean end;
    // false with error set when the transfer failed.
    bool Pull(void* buffer, std::size_t size, std::size_t& got, InetError& error);
    // Sending: queues all bytes; false with error set when the transfer ended.
    bool Push(const void* buffer, std::size_t size, InetError& error);
    // Sending: marks the end of the data and drives the transfer to its end.
    bool EndPush(InetError& error);

    // True once curl asked for data to send (the request is out) or
    // delivered received data.
    bool Started() const { return m_started; }
    std::size_t Buffered() const { return m_data.size() - m_head; }

private:
    static size_t WriteCallback(char* bytes, size_t size, size_t count, void* user);
    static size_t ReadCallback(char* bytes, size_t size, size_t count, void* user);
    void Append(const char* bytes, std::size_t size);
    void Resume();
    InetError EndError() const;

    InetCurlDriver& m_driver;
    CURL* m_easy;
    std::vector<char> m_data; // unread bytes are [m_head, size())
    std::size_t m_head = 0;
    bool m_paused = false;
    bool m_started = false;
    bool m_ended = false; // sending: no more data will come
};

} // namespace quorvel
