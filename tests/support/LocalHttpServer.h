#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// An HTTP server for tests, listening on 127.0.0.1 on a free port in a thread
// of its own from construction until destruction. The destructor stops it
// promptly, also while a stalling response is in progress.
//
//     LocalHttpServer server;
//     server.ServeBytes("/a.cab", "payload", {.lastModified = 1700000000});
//     ... open server.Url("/a.cab") ...
//     EXPECT_EQ(server.RequestCount("/a.cab"), 1);
//
// Helpers answer GET (and HEAD) of one exact path. Other handlers are
// registered with ServeWith (or on Server() directly, when only this process
// sends the requests); register before the first request to them.
// How a helper of LocalHttpServer serves a body. GCC warns when a designated
// initializer skips a member in the middle; assign such fields by name.
struct HttpReply {
    int status = 200;
    // Sent as the Last-Modified header (RFC 1123 form) when set.
    std::optional<std::int64_t> lastModified;
    // false: no Content-Length, the body goes out chunked.
    bool contentLength = true;
    std::string contentType = "application/octet-stream";
};

class LocalHttpServer {
public:
    using Reply = HttpReply;

    LocalHttpServer();
    // The same over TLS with the given PEM certificate and key; Url() then
    // gives https URLs.
    LocalHttpServer(const std::filesystem::path& certFile, const std::filesystem::path& keyFile);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return m_port; }
    // "http://127.0.0.1:<port>" (or https) followed by path (which starts with "/").
    std::string Url(const std::string& path) const;
    // Do not replace its pre-routing handler: it counts the requests.
    httplib::Server& Server() { return *m_server; }

    // Answers GET of path with handler. The registration is published through
    // the lock every request takes first, so requests from another process
    // see the handler too.
    void ServeWith(const std::string& path, httplib::Server::Handler handler);

    // Serves bytes (in memory) or a file (streamed from disk, read at request time).
    void ServeBytes(const std::string& path, std::string bytes, const Reply& reply = {});
    void ServeFile(const std::string& path, const std::filesystem::path& file, const Reply& reply = {});
    // Answers with the status and a short text body.
    void ServeStatus(const std::string& path, int status);
    // Answers 302 (or the given status) with a Location header.
    void ServeRedirect(const std::string& path, const std::string& location, int status = 302);
    // Sends a 200 with "Content-Length: declaredLength", then the bytes given
    // (fewer than declared), then closes the connection.
    void ServeTruncated(const std::string& path, std::uint64_t declaredLength, std::string sent);
    // Like ServeTruncated, but after the bytes it sends nothing more and keeps
    // the connection open until the server is destroyed. The reply gives the
    // status and Last-Modified.
    void ServeStall(const std::string& path, std::uint64_t declaredLength, std::string sent,
                    const Reply& reply = {});

    // Requests received for a path (any method) since the server started.
    int RequestCount(const std::string& path) const;

    // The Last-Modified text of a Unix time, e.g. "Sun, 06 Nov 1994 08:49:37 GMT".
    static std::string HttpDate(std::int64_t unixTime);

private:
    void Start();
    void ApplyHeaders(httplib::Response& res, const Reply& reply) const;
    // Waits until the server stops; returns at once when it already has.
    void WaitForStop();

    std::unique_ptr<httplib::Server> m_server;
    std::string m_scheme = "http";
    int m_port = 0;
    std::thread m_thread;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping = false;
    std::map<std::string, int> m_counts;
};
