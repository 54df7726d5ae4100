#include "LocalHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>

// The shared test server itself, checked with an independent client so that
// faults of the server are not mistaken for faults of the layer.
namespace {

TEST(LocalHttpServer, ServesBytesWithHeadersAndCounts) {
    LocalHttpServer server;
    server.ServeBytes("/a", "hello", {.status = 299, .lastModified = 784111777});
    httplib::Client client("127.0.0.1", server.Port());
    const auto res = client.Get("/a");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 299);
    EXPECT_EQ(res->body, "hello");
    EXPECT_EQ(res->get_header_value("Last-Modified"), "Sun, 06 Nov 1994 08:49:37 GMT");
    EXPECT_EQ(res->get_header_value("Content-Length"), "5");
    EXPECT_EQ(server.RequestCount("/a"), 1);
    EXPECT_EQ(server.RequestCount("/b"), 0);
    EXPECT_EQ(server.Url("/a"), "http://127.0.0.1:" + std::to_string(server.Port()) + "/a");
}

TEST(LocalHttpServer, ChunksBodiesWithoutLength) {
    LocalHttpServer server;
    const std::string big(100000, 'q');
    HttpReply chunked;
    chunked.contentLength = false;
    server.ServeBytes("/c", big, chunked);
    httplib::Client client("127.0.0.1", server.Port());
    const auto res = client.Get("/c");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->body, big);
    EXPECT_FALSE(res->has_header("Content-Length"));
    EXPECT_EQ(res->get_header_value("Transfer-Encoding"), "chunked");
}

TEST(LocalHttpServer, TruncatedBodyFailsTheClient) {
    LocalHttpServer server;
    server.ServeTruncated("/t", 1000, "abc");
    httplib::Client client("127.0.0.1", server.Port());
    EXPECT_FALSE(client.Get("/t"));
    EXPECT_EQ(server.RequestCount("/t"), 1);
}

TEST(LocalHttpServer, StopsWhileAResponseStalls) {
    auto server = std::make_unique<LocalHttpServer>();
    server->ServeStall("/s", 1000, "abc");
    httplib::Client client("127.0.0.1", server->Port());
    std::thread reader([&] { client.Get("/s"); });
    while (server->RequestCount("/s") == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    server.reset(); // must return although the response never ends
    reader.join();
}

} // namespace
