#include "LocalHttpServer.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

// Bytes handed to the connection per provider call: several calls per body,
// so streaming and chunking are exercised.
constexpr std::size_t kSlice = 16 * 1024;

} // namespace

LocalHttpServer::LocalHttpServer() : m_server(std::make_unique<httplib::Server>()) {
    Start();
}

LocalHttpServer::LocalHttpServer(const std::filesystem::path& certFile, const std::filesystem::path& keyFile)
    : m_server(std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str())), m_scheme("https") {
    if (!m_server->is_valid())
        throw std::runtime_error("LocalHttpServer: cannot load " + certFile.string());
    Start();
}

void LocalHttpServer::Start() {
    m_server->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
        std::lock_guard lock(m_mutex);
        ++m_counts[req.path];
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Every answer carries its Date, as a real server's does: a download's
    // Last-Modified is a validator only when a Date a second later comes with it.
    m_server->set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
        if (!res.has_header("Date"))
            res.set_header("Date", HttpDate(static_cast<std::int64_t>(std::time(nullptr))));
    });
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("LocalHttpServer: cannot bind 127.0.0.1");
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // The socket already listens; waiting for the accept loop keeps stop()
    // from racing with its start.
    while (!m_server->is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

LocalHttpServer::~LocalHttpServer() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_stopped.notify_all();
    m_server->stop();
    m_thread.join();
}

std::string LocalHttpServer::Url(const std::string& path) const {
    return m_scheme + "://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string LocalHttpServer::HttpDate(std::int64_t unixTime) {
    // Formatted by hand: strftime would follow the process locale.
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t t = static_cast<std::time_t>(unixTime);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                  kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

void LocalHttpServer::ApplyHeaders(httplib::Response& res, const Reply& reply) const {
    res.status = reply.status;
    if (reply.lastModified)
        res.set_header("Last-Modified", HttpDate(*reply.lastModified));
}

void LocalHttpServer::ServeWith(const std::string& path, httplib::Server::Handler handler) {
    std::lock_guard lock(m_mutex);
    m_server->Get(path, std::move(handler));
}

void LocalHttpServer::ServeBytes(const std::string& path, std::string bytes, const Reply& reply) {
    auto data = std::make_shared<const std::string>(std::move(bytes));
    m_server->Get(path, [this, data, reply](const httplib::Request&, httplib::Response& res) {
        ApplyHeaders(res, reply);
        if (reply.contentLength && data->empty()) {
            // httplib sends no length for an empty provider body.
            res.set_content(std::string(), reply.contentType);
            return;
        }
        if (reply.contentLength) {
            res.set_content_provider(data->size(), reply.contentType,
                                     [data](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                         return sink.write(data->data() + offset, std::min(length, kSlice));
                                     });
            return;
        }
        res.set_chunked_content_provider(
            reply.contentType, [data](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= data->size()) {
                    sink.done();
                    return true;
                }
                return sink.write(data->data() + offset, std::min(data->size() - offset, kSlice));
            });
    });
}

void LocalHttpServer::ServeFile(const std::string& path, const std::filesystem::path& file,
                                const Reply& reply) {
    m_server->Get(path, [this, file, reply](const httplib::Request&, httplib::Response& res) {
        auto in = std::make_shared<std::ifstream>(file, std::ios::binary);
        if (!*in) {
            res.status = 500;
            res.set_content("cannot open " + file.string(), "text/plain");
            return;
        }
        ApplyHeaders(res, reply);
        // Each call reads the next slice; the stream is positioned where the
        // previous call left it.
        auto send = [in](std::size_t wanted, httplib::DataSink& sink) {
            std::vector<char> buffer(std::min(wanted, kSlice));
            in->read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<std::size_t>(in->gcount());
            return got > 0 && sink.write(buffer.data(), got);
        };
        const auto size = std::filesystem::file_size(file);
        if (reply.contentLength && size == 0) {
            res.set_content(std::string(), reply.contentType);
            return;
        }
        if (reply.contentLength) {
            res.set_content_provider(size, reply.contentType,
                                     [send](std::size_t, std::size_t length, httplib::DataSink& sink) {
                                         return send(length, sink);
                                     });
            return;
        }
        res.set_chunked_content_provider(reply.contentType, [in, send](std::size_t, httplib::DataSink& sink) {
            if (in->peek() == std::char_traits<char>::eof()) {
                sink.done();
                return true;
            }
            return send(kSlice, sink);
        });
    });
}

void LocalHttpServer::ServeStatus(const std::string& path, int status) {
    m_server->Get(path, [status](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_content("status " + std::to_string(status) + "\n", "text/plain");
    });
}

void LocalHttpServer::ServeRedirect(const std::string& path, const std::string& location, int status) {
    m_server->Get(path, [location, status](const httplib::Request&, httplib::Response& res) {
        res.status = status;
        res.set_header("Location", location);
    });
}

void LocalHttpServer::ServeTruncated(const std::string& path, std::uint64_t declaredLength,
                                     std::string sent) {
    auto data = std::make_shared<const std::string>(std::move(sent));
    m_server->Get(path, [data, declaredLength](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(static_cast<std::size_t>(declaredLength), "application/octet-stream",
                                 [data](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     // false ends the response and closes the connection.
                                     return offset < data->size() &&
                                            sink.write(data->data() + offset, data->size() - offset);
                                 });
    });
}

void LocalHttpServer::ServeStall(const std::string& path, std::uint64_t declaredLength, std::string sent,
                                 const Reply& reply) {
    auto data = std::make_shared<const std::string>(std::move(sent));
    m_server->Get(path, [this, data, declaredLength, reply](const httplib::Request&, httplib::Response& res) {
        ApplyHeaders(res, reply);
        res.set_content_provider(static_cast<std::size_t>(declaredLength), "application/octet-stream",
                                 [this, data](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                     if (offset < data->size())
                                         return sink.write(data->data() + offset, data->size() - offset);
                                     WaitForStop();
                                     return false;
                                 });
    });
}

void LocalHttpServer::WaitForStop() {
    std::unique_lock lock(m_mutex);
    m_stopped.wait(lock, [this] { return m_stopping; });
}

int LocalHttpServer::RequestCount(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto it = m_counts.find(path);
    return it == m_counts.end() ? 0 : it->second;
}
