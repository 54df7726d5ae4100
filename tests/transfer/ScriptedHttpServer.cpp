#include "ScriptedHttpServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace {

constexpr int kSliceMs = 20;

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

ScriptedHttpServer::ScriptedHttpServer(Handler handler) : m_handler(std::move(handler)) {
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        throw std::runtime_error("ScriptedHttpServer: cannot listen on 127.0.0.1");
    m_port = ntohs(addr.sin_port);
    m_thread = std::thread([this] { Loop(); });
}

ScriptedHttpServer::~ScriptedHttpServer() {
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

std::string ScriptedHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::vector<ScriptedHttpServer::Request> ScriptedHttpServer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

void ScriptedHttpServer::Loop() {
    while (!m_stop) {
        pollfd p{m_listener, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        Serve(client);
        ::close(client);
    }
}

void ScriptedHttpServer::Serve(int client) {
    std::string head;
    while (head.find("\r\n\r\n") == std::string::npos && !m_stop && head.size() < 65536) {
        pollfd p{client, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0)
            continue;
        char buffer[4096];
        const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
        if (n <= 0)
            return;
        head.append(buffer, static_cast<std::size_t>(n));
    }
    Request request;
    std::size_t at = head.find("\r\n");
    const std::string line = head.substr(0, at);
    const auto space = line.find(' ');
    request.target = line.substr(space + 1, line.rfind(' ') - space - 1);
    while (at != std::string::npos && at + 2 < head.size()) {
        const std::size_t next = head.find("\r\n", at + 2);
        const std::string header = head.substr(at + 2, next - at - 2);
        const auto colon = header.find(':');
        if (colon != std::string::npos) {
            std::string value = header.substr(colon + 1);
            value.erase(0, value.find_first_not_of(' '));
            request.headers[Lower(header.substr(0, colon))] = value;
        }
        at = next;
    }
    {
        std::lock_guard lock(m_mutex);
        m_requests.push_back(request);
    }
    const Response response = m_handler(request);
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " Scripted\r\nConnection: close\r\n";
    for (const auto& [name, value] : response.headers)
        out += name + ": " + value + "\r\n";
    out +=
        "Content-Length: " +
        std::to_string(response.contentLength >= 0 ? static_cast<unsigned long long>(response.contentLength)
                                                   : response.body.size()) +
        "\r\n\r\n";
    const std::size_t sent = std::min(response.sendOnly, response.body.size());
    if (!SendAll(client, out.data(), out.size()) || !SendAll(client, response.body.data(), sent))
        return;
    while (response.hold && !m_stop) {
        pollfd p{client, POLLIN, 0};
        char buffer[256];
        if (::poll(&p, 1, kSliceMs) > 0 && ::recv(client, buffer, sizeof buffer, 0) <= 0)
            return; // the client went
    }
}
