#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A bare HTTP/1.1 server on 127.0.0.1 whose every answer the test writes,
// for answers no ordinary server gives on purpose (a wrong Content-Range, a
// body dropped after a given byte, a connection held open). One connection
// at a time; each serves one request and is closed.
class ScriptedHttpServer {
public:
    struct Request {
        std::string target;
        std::map<std::string, std::string> headers; // names in lower case
        std::string Header(const std::string& name) const {
            const auto it = headers.find(name);
            return it == headers.end() ? std::string() : it->second;
        }
    };
    struct Response {
        int status = 200;
        std::vector<std::pair<std::string, std::string>> headers;
        std::string body;
        // Sent as Content-Length; the body's size when not set.
        long long contentLength = -1;
        // Bytes of the body sent before the connection ends (all by default).
        std::size_t sendOnly = static_cast<std::size_t>(-1);
        // After sendOnly bytes, keep the connection open until the client
        // goes or the server stops.
        bool hold = false;
    };
    using Handler = std::function<Response(const Request&)>;

    explicit ScriptedHttpServer(Handler handler);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    std::string Url(const std::string& path) const;
    std::vector<Request> Requests() const;

private:
    void Loop();
    void Serve(int client);

    Handler m_handler;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Request> m_requests;
    std::thread m_thread;
};
