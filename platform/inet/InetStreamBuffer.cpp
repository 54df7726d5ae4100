#include "InetStreamBuffer.h"

#include "InetError.h"

#include <algorithm>
#include <cstring>

namespace quorvel {

bool InetStreamBuffer::AttachForReceiving() {
    return curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, WriteCallback) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
}

bool InetStreamBuffer::AttachForSending() {
    return curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, ReadCallback) == CURLE_OK &&
           curl_easy_setopt(m_easy, CURLOPT_READDATA, this) == CURLE_OK;
}

void InetStreamBuffer::Append(const char* bytes, std::size_t size) {
    if (m_head == m_data.size()) {
        m_data.clear();
        m_head = 0;
    } else if (m_head > 0 && m_data.size() + size > kLimit) {
        m_data.erase(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(m_head));
        m_head = 0;
    }
    m_data.insert(m_data.end(), bytes, bytes + size);
}

void InetStreamBuffer::Resume() {
    if (m_paused && m_driver.Running()) {
        m_paused = false;
        curl_easy_pause(m_easy, CURLPAUSE_CONT); // may call a callback right away
    }
}

size_t InetStreamBuffer::WriteCallback(char* bytes, size_t size, size_t count, void* user) {
    auto* self = static_cast<InetStreamBuffer*>(user);
    const std::size_t length = size * count;
    if (self->Buffered() > 0 && self->Buffered() + length > kLimit) {
        self->m_paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    self->m_started = true;
    self->Append(bytes, length);
    self->m_driver.Touch();
    return length;
}

size_t InetStreamBuffer::ReadCallback(char* bytes, size_t size, size_t count, void* user) {
    auto* self = static_cast<InetStreamBuffer*>(user);
    self->m_started = true;
    if (self->Buffered() == 0) {
        if (self->m_ended)
            return 0;
        self->m_paused = true;
        return CURL_READFUNC_PAUSE;
    }
    const std::size_t length = std::min(size * count, self->Buffered());
    std::memcpy(bytes, self->m_data.data() + self->m_head, length);
    self->m_head += length;
    self->m_driver.Touch();
    return length;
}

InetError InetStreamBuffer::EndError() const {
    const InetError result = m_driver.Result();
    return result == InetError::kNone ? InetError::kConnectionAborted : result;
}

bool InetStreamBuffer::Pull(void* buffer, std::size_t size, std::size_t& got, InetError& error) {
    got = 0;
    if (size == 0)
        return true;
    if (Buffered() == 0 && !m_driver.Finished()) {
        Resume();
        m_driver.Touch(); // the stall clock counts only while we wait
        m_driver.WaitUntil([this] { return Buffered() > 0; });
    }
    if (Buffered() > 0) {
        got = std::min(size, Buffered());
        std::memcpy(buffer, m_data.data() + m_head, got);
        m_head += got;
        if (Buffered() <= kLimit / 2)
            Resume();
        return true;
    }
    if (m_driver.Finished() && m_driver.Result() == InetError::kNone)
        return true;
    error = m_driver.Finished() ? m_driver.Result() : InetError::kInternal;
    return false;
}

bool InetStreamBuffer::Push(const void* buffer, std::size_t size, InetError& error) {
    const char* bytes = static_cast<const char*>(buffer);
    while (size > 0) {
        if (m_driver.Finished() || !m_driver.Running()) {
            error = EndError();
            return false;
        }
        const std::size_t room = kLimit - std::min(kLimit, Buffered());
        if (room == 0) {
            // Full: let curl send all of it, so that it moves large pieces
            // rather than one small block at a time, and the next bytes start
            // an empty buffer instead of shifting a half-sent one.
            Resume();
            m_driver.Touch();
            m_driver.WaitUntil([this] { return Buffered() == 0; });
            continue;
        }
        const std::size_t part = std::min(room, size);
        Append(bytes, part);
        bytes += part;
        size -= part;
    }
    // Small writes gather here first; curl is woken once there is a worthwhile amount.
    if (Buffered() >= kWakeAmount)
        Resume();
    return true;
}

bool InetStreamBuffer::EndPush(InetError& error) {
    m_ended = true;
    Resume();
    m_driver.Touch();
    m_driver.WaitForEnd();
    if (m_driver.Finished() && m_driver.Result() == InetError::kNone)
        return true;
    error = m_driver.Finished() ? EndError() : InetError::kInternal;
    return false;
}

} // namespace quorvel
