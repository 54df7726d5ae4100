#include "InetError.h"
#include "InetRequest.h"
#include "InetSession.h"
#include "InetUpload.h"
#include "LocalHttpServer.h"
#include "SilentServer.h"
#include "TempDir.h"
#include "TestBytes.h"
#include "TestCertificates.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace quorvel;

namespace {

// Bytes whose position shows in their value, so that a lost or doubled block
// is caught.
struct ReadResult {
    bool ok = true;
    std::string body;
};

// Reads to the end or the first failure, checking that no read returns more
// than it was asked for.
ReadResult ReadAll(InetRequest& request, std::size_t block = 4096) {
    ReadResult result;
    std::string buffer(block, '\0');
    for (;;) {
        std::size_t got = 12345;
        if (!request.Read(buffer.data(), block, got)) {
            result.ok = false;
            return result;
        }
        EXPECT_LE(got, block);
        if (got == 0)
            return result;
        result.body.append(buffer.data(), got);
    }
}

class InetTest : public testing::Test {
protected:
    void SetUp() override {
        session = InetSession::Open("WebCopy", "");
        ASSERT_TRUE(session);
    }

    InetRequest* Open(const std::string& path) { return session->OpenUrl(server.Url(path), false); }

    LocalHttpServer server;
    std::unique_ptr<InetSession> session;
};

TEST_F(InetTest, StatusIsKnownBeforeTheBody) {
    for (int status : {200, 299, 300, 404}) {
        const std::string path = "/s" + std::to_string(status);
        HttpReply reply;
        reply.status = status;
        server.ServeBytes(path, "body of " + path, reply);
        InetRequest* request = Open(path);
        ASSERT_TRUE(request) << status;
        std::uint32_t got = 0;
        ASSERT_TRUE(request->QueryStatusCode(got));
        EXPECT_EQ(got, static_cast<std::uint32_t>(status));
        const ReadResult read = ReadAll(*request);
        EXPECT_TRUE(read.ok);
        EXPECT_EQ(read.body, "body of " + path);
        session->CloseRequest(request);
    }
}

// Extra request lines reach the server and any header of the answer can be
// read; a line that would smuggle a header of its own is refused.
TEST_F(InetTest, ExtraRequestLinesGoOutAndAnswerHeadersComeBack) {
    std::string range;
    server.Server().Get("/r", [&](const httplib::Request& req, httplib::Response& res) {
        range = req.get_header_value("Range");
        res.set_header("ETag", "\"v1\"");
        res.set_content("0123456789", "application/octet-stream");
    });
    InetRequest* request = session->OpenUrl(server.Url("/r"), false, {"Range: bytes=4-"});
    ASSERT_TRUE(request);
    std::string etag;
    EXPECT_TRUE(request->QueryHeader("etag", etag));
    EXPECT_EQ(etag, "\"v1\"");
    EXPECT_FALSE(request->QueryHeader("X-Missing", etag));
    EXPECT_EQ(ReadAll(*request).body, "456789");
    EXPECT_EQ(range, "bytes=4-");

    EXPECT_FALSE(session->OpenUrl(server.Url("/r"), false, {"X-A: 1\r\nX-B: 2"}));
    EXPECT_EQ(server.RequestCount("/r"), 1);
}

TEST_F(InetTest, BodiesArriveIntactAtEverySize) {
    const TempDir dir;
    for (std::size_t size : {0u, 1u, 4095u, 4096u, 4097u, 1024u * 1024u}) {
        const std::string bytes = Pattern(size);
        const std::string path = "/f" + std::to_string(size);
        WriteFile(dir / path.substr(1), bytes);
        server.ServeFile(path, dir / path.substr(1));
        HttpReply chunked;
        chunked.contentLength = false;
        server.ServeBytes(path + "c", bytes, chunked);

        InetRequest* request = Open(path);
        ASSERT_TRUE(request) << size;
        std::uint64_t length = 99;
        ASSERT_TRUE(request->QueryContentLength(length)) << size;
        EXPECT_EQ(length, size);
        ReadResult read = ReadAll(*request);
        EXPECT_TRUE(read.ok);
        EXPECT_TRUE(read.body == bytes) << size;

        request = Open(path + "c");
        ASSERT_TRUE(request) << size;
        length = 99;
        EXPECT_FALSE(request->QueryContentLength(length));
        EXPECT_EQ(length, 99u);
        read = ReadAll(*request, 1000);
        EXPECT_TRUE(read.ok);
        EXPECT_TRUE(read.body == bytes) << size;
    }
}

TEST_F(InetTest, SmallReadsTakeTheBodyPieceByPiece) {
    const std::string bytes = Pattern(200000);
    server.ServeBytes("/b", bytes);
    InetRequest* request = Open("/b");
    ASSERT_TRUE(request);
    const ReadResult read = ReadAll(*request, 7);
    EXPECT_TRUE(read.ok);
    EXPECT_TRUE(read.body == bytes);
    std::size_t got = 1;
    char byte = 0;
    EXPECT_TRUE(request->Read(&byte, 1, got)); // the end stays the end
    EXPECT_EQ(got, 0u);
}

TEST_F(InetTest, LastModifiedIsReadAsSent) {
    HttpReply dated;
    dated.lastModified = 784111777; // Sun, 06 Nov 1994 08:49:37 GMT
    server.ServeBytes("/dated", "x", dated);
    server.ServeBytes("/undated", "x");
    server.Server().Get("/garbage", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Last-Modified", "yesterday at noon");
        res.set_content("x", "text/plain");
    });

    TDateFields f;
    InetRequest* request = Open("/dated");
    ASSERT_TRUE(request);
    ASSERT_TRUE(request->QueryLastModified(f));
    EXPECT_EQ(f.year, 1994);
    EXPECT_EQ(f.month, 11);
    EXPECT_EQ(f.day, 6);
    EXPECT_EQ(f.hour, 8);
    EXPECT_EQ(f.minute, 49);
    EXPECT_EQ(f.second, 37);

    for (const char* path : {"/undated", "/garbage"}) {
        request = Open(path);
        ASSERT_TRUE(request) << path;
        TDateFields untouched{1, 2, 3, 4, 5, 6, 7};
        EXPECT_FALSE(request->QueryLastModified(untouched)) << path;
        EXPECT_EQ(untouched.year, 1);
    }
}

TEST_F(InetTest, LengthsBeyondFourGigabytesAreReported) {
    const std::uint64_t huge = 5'000'000'000ULL;
    server.ServeTruncated("/huge", huge, "abc");
    InetRequest* request = Open("/huge");
    ASSERT_TRUE(request);
    std::uint64_t length = 0;
    ASSERT_TRUE(request->QueryContentLength(length));
    EXPECT_EQ(length, huge);
    const ReadResult read = ReadAll(*request);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(request->LastError(), InetError::kConnectionAborted);
}

TEST_F(InetTest, ADroppedConnectionFailsTheReadAfterTheDataThatCame) {
    server.ServeTruncated("/cut", 100000, Pattern(5000));
    InetRequest* request = Open("/cut");
    ASSERT_TRUE(request);
    std::string buffer(4096, '\0');
    std::string body;
    std::size_t got = 0;
    while (request->Read(buffer.data(), buffer.size(), got) && got > 0)
        body.append(buffer.data(), got);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(body == Pattern(5000));
    EXPECT_EQ(request->LastError(), InetError::kConnectionAborted);
    EXPECT_EQ(session->LastError(), InetError::kConnectionAborted);
    // The failure stays.
    EXPECT_FALSE(request->Read(buffer.data(), buffer.size(), got));
}

TEST_F(InetTest, OpenFailsWithoutAResponse) {
    // A port that was just free: nobody listens there.
    int closedPort = 0;
    {
        LocalHttpServer gone;
        closedPort = gone.Port();
    }
    const struct {
        std::string url;
        InetError error;
    } cases[] = {
        {"http://127.0.0.1:" + std::to_string(closedPort) + "/x", InetError::kCannotConnect},
        {"gopher://127.0.0.1/x", InetError::kUnrecognizedScheme},
        {"ftp://127.0.0.1/x", InetError::kUnrecognizedScheme},
        {"file:///etc/hostname", InetError::kUnrecognizedScheme},
        {"127.0.0.1/x", InetError::kUnrecognizedScheme},
        {"http://", InetError::kInvalidUrl},
        {"http://127.0.0.1:99999/x", InetError::kInvalidUrl},
        // TLS against a plain HTTP server: the handshake fails.
        {"https://127.0.0.1:" + std::to_string(server.Port()) + "/x", InetError::kSecureFailure},
        {"", InetError::kInvalidUrl},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(session->OpenUrl(c.url, false), nullptr) << c.url;
        EXPECT_EQ(session->LastError(), c.error) << c.url;
    }
}

TEST_F(InetTest, AConnectionDroppedBeforeTheHeadersFailsTheOpen) {
    // Accepts, reads the request, closes without a byte of answer.
    const int listener = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    socklen_t len = sizeof addr;
    getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    std::thread closer([listener] {
        const int client = accept(listener, nullptr, nullptr);
        char request[1024];
        [[maybe_unused]] auto n = recv(client, request, sizeof request, 0);
        close(client);
    });
    const std::string url = "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/";
    EXPECT_EQ(session->OpenUrl(url, false), nullptr);
    EXPECT_EQ(session->LastError(), InetError::kConnectionAborted);
    closer.join();
    close(listener);
}

TEST_F(InetTest, RedirectsFollowOnlyToHttp) {
    server.ServeBytes("/target", "arrived");
    server.ServeRedirect("/absolute", server.Url("/target"));
    server.ServeRedirect("/relative", "/target", 301);
    server.ServeRedirect("/file", "file:///etc/hostname");
    server.ServeRedirect("/ftp", "ftp://127.0.0.1:" + std::to_string(server.Port()) + "/target");
    server.ServeRedirect("/loop", "/loop");

    for (const char* path : {"/absolute", "/relative"}) {
        InetRequest* request = Open(path);
        ASSERT_TRUE(request) << path;
        std::uint32_t status = 0;
        ASSERT_TRUE(request->QueryStatusCode(status));
        EXPECT_EQ(status, 200u);
        EXPECT_EQ(ReadAll(*request).body, "arrived");
    }
    EXPECT_EQ(server.RequestCount("/target"), 2);

    for (const char* path : {"/file", "/ftp"}) {
        EXPECT_EQ(Open(path), nullptr) << path;
        EXPECT_EQ(session->LastError(), InetError::kUnrecognizedScheme) << path;
    }
    EXPECT_EQ(server.RequestCount("/target"), 2);
    EXPECT_EQ(Open("/loop"), nullptr);
    EXPECT_EQ(session->LastError(), InetError::kRedirectFailed);
}

TEST_F(InetTest, SendsTheAgentAndOpensAFreshConnectionPerRequest) {
    std::string agent;
    std::set<int> clientPorts;
    std::mutex mutex;
    server.Server().Get("/who", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        agent = req.get_header_value("User-Agent");
        clientPorts.insert(req.remote_port);
        res.set_content("me", "text/plain");
    });
    for (int i = 0; i < 3; ++i) {
        InetRequest* request = Open("/who");
        ASSERT_TRUE(request);
        EXPECT_EQ(ReadAll(*request).body, "me");
        session->CloseRequest(request);
    }
    std::lock_guard lock(mutex);
    EXPECT_EQ(agent, "WebCopy");
    EXPECT_EQ(clientPorts.size(), 3u);
}

TEST_F(InetTest, KeepAliveRequestsMayShareTheConnection) {
    std::set<int> clientPorts;
    std::mutex mutex;
    server.Server().Get("/who", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        clientPorts.insert(req.remote_port);
        res.set_content("me", "text/plain");
    });
    for (int i = 0; i < 3; ++i) {
        InetRequest* request = session->OpenUrl(server.Url("/who"), true);
        ASSERT_TRUE(request);
        EXPECT_EQ(ReadAll(*request).body, "me");
        session->CloseRequest(request);
    }
    std::lock_guard lock(mutex);
    EXPECT_EQ(clientPorts.size(), 1u);
}

TEST(InetProxy, RequestsGoThroughTheNamedProxy) {
    LocalHttpServer proxy;
    std::string target, host;
    std::mutex mutex;
    // A proxy is asked for the full URL; the name is resolved by the proxy.
    proxy.Server().Get(".*", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        target = req.target;
        host = req.get_header_value("Host");
        res.set_content("via proxy", "text/plain");
    });
    auto session = InetSession::Open("WebCopy", "127.0.0.1:" + std::to_string(proxy.Port()));
    ASSERT_TRUE(session);
    InetRequest* request = session->OpenUrl("http://updates.example/downloads/p.cab", false);
    ASSERT_TRUE(request);
    EXPECT_EQ(ReadAll(*request).body, "via proxy");
    std::lock_guard lock(mutex);
    EXPECT_EQ(target, "http://updates.example/downloads/p.cab");
    EXPECT_EQ(host, "updates.example");
}

// A proxy named without a port is reached on port 80, by downloads and
// uploads alike.
TEST(InetProxy, AProxyWithoutAPortIsReachedOnPort80) {
    // A loopback address of this process's own, so that its port 80 is free.
    const int pid = static_cast<int>(::getpid());
    const std::string address =
        "127.80." + std::to_string((pid >> 8) & 0xFF) + "." + std::to_string((pid & 0xFF) | 1);
    httplib::Server proxy;
    std::vector<std::string> asked;
    std::mutex mutex;
    auto answer = [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard lock(mutex);
        asked.push_back(req.method + " " + req.target + " " + req.body);
        res.set_content("via proxy", "text/plain");
    };
    proxy.Get(".*", answer);
    proxy.Post(".*", answer);
    if (!proxy.bind_to_port(address, 80))
        GTEST_SKIP() << "port 80 cannot be bound here";
    std::thread serving([&] { proxy.listen_after_bind(); });
    while (!proxy.is_running())
        std::this_thread::yield();
    auto session = InetSession::Open("WebCopy", address);
    ASSERT_TRUE(session);
    InetRequest* request = session->OpenUrl("http://updates.example/p.cab", false);
    EXPECT_TRUE(request && ReadAll(*request).body == "via proxy");
    InetError error = InetError::kNone;
    auto upload =
        InetUpload::Open(*session, "http://updates.example/in", InetUpload::Verb::Post, nullptr, error);
    ASSERT_TRUE(upload);
    std::size_t written = 0;
    EXPECT_TRUE(upload->Send(4) && upload->Write("data", 4, written) && upload->End());
    upload.reset(); // their connections close, so the server stops at once
    session.reset();
    proxy.stop();
    serving.join();
    EXPECT_EQ(asked, (std::vector<std::string>{"GET http://updates.example/p.cab ",
                                               "POST http://updates.example/in data"}));
}

TEST(InetTls, AnUntrustedCertificateFailsTheOpen) {
    const TempDir dir;
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -addext "
        "subjectAltName=IP:127.0.0.1 -keyout '" +
        (dir / "key.pem").string() + "' -out '" + (dir / "cert.pem").string() + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << "openssl is needed for this test";
    LocalHttpServer server(dir / "cert.pem", dir / "key.pem");
    server.ServeBytes("/x", "secret");
    auto session = InetSession::Open("WebCopy", "");
    ASSERT_TRUE(session);
    httplib::SSLClient unchecked("127.0.0.1", server.Port());
    unchecked.enable_server_certificate_verification(false);
    const auto answer = unchecked.Get("/x");
    ASSERT_TRUE(answer); // the server itself works
    EXPECT_EQ(answer->body, "secret");
    // Valid for its name but signed by nobody the system trusts.
    EXPECT_EQ(session->OpenUrl(server.Url("/x"), false), nullptr);
    EXPECT_EQ(session->LastError(), InetError::kCertificateInvalid);
}

// TLS against servers whose certificates come from an authority of the
// test's own, trusted through the session's test seam.
class InetTrustedTls : public testing::Test {
protected:
    void SetUp() override { InetSession::SetTrustedCertificates(certs.authority.string()); }
    void TearDown() override { InetSession::SetTrustedCertificates(""); }

    TempDir dir;
    TestCertificates certs{dir.Path()};
};

TEST_F(InetTrustedTls, VerifiesIssuerAndHostName) {
    LocalHttpServer good(certs.serverCert, certs.serverKey);
    good.ServeBytes("/x", "over tls");
    LocalHttpServer otherName(certs.otherNameCert, certs.otherNameKey);
    otherName.ServeBytes("/x", "secret");
    auto session = InetSession::Open("WebCopy", "");
    ASSERT_TRUE(session);
    InetRequest* request = session->OpenUrl(good.Url("/x"), false);
    ASSERT_TRUE(request);
    EXPECT_EQ(ReadAll(*request).body, "over tls");
    // Issued by the trusted authority, but for another name.
    EXPECT_EQ(session->OpenUrl(otherName.Url("/x"), false), nullptr);
    EXPECT_EQ(session->LastError(), InetError::kCertificateInvalid);
    EXPECT_EQ(otherName.RequestCount("/x"), 0);
}

TEST_F(InetTrustedTls, RedirectsStayOnTls) {
    LocalHttpServer tls(certs.serverCert, certs.serverKey);
    LocalHttpServer plain;
    plain.ServeBytes("/target", "anyone could answer this");
    tls.ServeBytes("/target", "arrived");
    tls.ServeRedirect("/to-tls", tls.Url("/target"));
    tls.ServeRedirect("/to-plain", plain.Url("/target"));
    auto session = InetSession::Open("WebCopy", "");
    ASSERT_TRUE(session);
    InetRequest* request = session->OpenUrl(tls.Url("/to-tls"), false);
    ASSERT_TRUE(request);
    EXPECT_EQ(ReadAll(*request).body, "arrived");
    EXPECT_EQ(session->OpenUrl(tls.Url("/to-plain"), false), nullptr);
    EXPECT_EQ(session->LastError(), InetError::kUnrecognizedScheme);
    EXPECT_EQ(plain.RequestCount("/target"), 0);
}

TEST_F(InetTest, ClosingTheSessionReleasesOpenRequests) {
    const std::string bytes = Pattern(1024 * 1024);
    server.ServeBytes("/big", bytes);
    server.ServeStall("/stall", 1000, "abc");
    InetRequest* unread = Open("/big");
    InetRequest* halfRead = Open("/big");
    InetRequest* stalled = Open("/stall");
    ASSERT_TRUE(unread && halfRead && stalled);
    char buffer[4096];
    std::size_t got = 0;
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(halfRead->Read(buffer, sizeof buffer, got));
    session->CloseRequest(nullptr);
    session.reset(); // ASan reports what this leaves behind
}

TEST_F(InetTest, InterleavedRequestsKeepTheirOwnBodies) {
    const std::string a = Pattern(300000);
    const std::string b = std::string(300000, 'b');
    server.ServeBytes("/a", a);
    server.ServeBytes("/b", b);
    InetRequest* ra = Open("/a");
    InetRequest* rb = Open("/b");
    ASSERT_TRUE(ra && rb);
    std::string gotA, gotB;
    char buffer[4096];
    std::size_t n = 0;
    bool moreA = true, moreB = true;
    while (moreA || moreB) {
        if (moreA) {
            ASSERT_TRUE(ra->Read(buffer, sizeof buffer, n));
            gotA.append(buffer, n);
            moreA = n > 0;
        }
        if (moreB) {
            ASSERT_TRUE(rb->Read(buffer, sizeof buffer, n));
            gotB.append(buffer, n);
            moreB = n > 0;
        }
    }
    EXPECT_TRUE(gotA == a);
    EXPECT_TRUE(gotB == b);
}

// Takes the full stall time of the layer (30 s).
TEST_F(InetTest, AStalledServerFailsTheReadWithATimeout) {
    server.ServeStall("/stall", 1000, "abc");
    InetRequest* request = Open("/stall");
    ASSERT_TRUE(request);
    const ReadResult read = ReadAll(*request);
    EXPECT_FALSE(read.ok);
    EXPECT_EQ(read.body, "abc");
    EXPECT_EQ(request->LastError(), InetError::kTimeout);
}

// Each wait on a server (connect, headers, body) ends soon after the
// session's cancel flag is set from another thread, long before the 30-second
// limits; the bound checked is generous.
TEST(InetCancel, ACancelEndsEveryWaitOnTheServer) {
    LocalHttpServer server;
    server.ServeStall("/stall", 1000, "abc");
    SilentServer silent(SilentServer::kNeverAnswers);
    SilentServer hanging(SilentServer::kConnectHangs);
    enum Wait { kBody, kHeaders, kConnect };
    for (const Wait wait : {kBody, kHeaders, kConnect}) {
        SCOPED_TRACE(wait);
        std::atomic<bool> cancel{false};
        auto session = InetSession::Open("WebCopy", "", &cancel);
        ASSERT_TRUE(session);
        InetRequest* request = nullptr;
        if (wait == kBody) {
            request = session->OpenUrl(server.Url("/stall"), false);
            ASSERT_TRUE(request);
        }
        const auto start = std::chrono::steady_clock::now();
        std::thread canceller([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            cancel = true;
        });
        if (wait == kBody) {
            const ReadResult read = ReadAll(*request);
            EXPECT_FALSE(read.ok);
            EXPECT_EQ(read.body, "abc");
            EXPECT_EQ(request->LastError(), InetError::kOperationCancelled);
        } else {
            EXPECT_EQ(session->OpenUrl((wait == kHeaders ? silent : hanging).Url("/x"), false), nullptr);
            EXPECT_EQ(session->LastError(), InetError::kOperationCancelled);
        }
        canceller.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
        // Once set, the flag refuses new requests at once.
        EXPECT_EQ(session->OpenUrl(server.Url("/stall"), false), nullptr);
        EXPECT_EQ(session->LastError(), InetError::kOperationCancelled);
    }
}

} // namespace
