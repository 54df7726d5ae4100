#pragma once

#include "QuorvelExport.h"

#include <unistd.h>
#include <utility>

namespace quorvel {

// Owns one file or folder descriptor and closes it when it goes.
class QUORVEL_EXPORT TUniqueFd {
public:
    TUniqueFd() = default;
    explicit TUniqueFd(int fd) : m_fd(fd) {}
    TUniqueFd(TUniqueFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    TUniqueFd& operator=(TUniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    TUniqueFd(const TUniqueFd&) = delete;
    TUniqueFd& operator=(const TUniqueFd&) = delete;
    ~TUniqueFd() { Reset(); }

    int Get() const { return m_fd; }
    bool Valid() const { return m_fd >= 0; }
    void Reset() {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
};

} // namespace quorvel
