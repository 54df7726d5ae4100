#include "SilentServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

SilentServer::SilentServer(Mode mode) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listener, mode == kConnectHangs ? 0 : 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
        ::close(m_listener);
        throw std::runtime_error("listen failed");
    }
    m_port = ntohs(addr.sin_port);
    if (mode != kConnectHangs)
        return;
    // Connections nobody accepts fill the queue of length 0; from then on the
    // system drops new connection requests and the client's connect waits.
    for (int i = 0; i < 3; ++i) {
        const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (filler < 0)
            break;
        [[maybe_unused]] int rc = ::connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        m_fillers.push_back(filler);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

SilentServer::~SilentServer() {
    for (int filler : m_fillers)
        ::close(filler);
    if (m_listener >= 0)
        ::close(m_listener);
}

std::string SilentServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}
