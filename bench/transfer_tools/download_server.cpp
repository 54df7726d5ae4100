// Serves the files of one folder over HTTP on 127.0.0.1, streamed from disk
// with Content-Length and the file's time as Last-Modified (ranges too). Prints its port, then runs until
// killed. Usage: download_server <folder>
#include <httplib.h>

#include <sys/stat.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: download_server <folder>\n";
        return 2;
    }
    const std::filesystem::path root = argv[1];
    httplib::Server server;
    server.Get(R"(/([A-Za-z0-9._-]+))", [root](const httplib::Request& req, httplib::Response& res) {
        const std::filesystem::path file = root / req.matches[1].str();
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        if (ec) {
            res.status = 404;
            return;
        }
        char date[64];
        struct stat st {};
        ::stat(file.c_str(), &st);
        const std::time_t when = st.st_mtime;
        std::tm tm{};
        gmtime_r(&when, &tm);
        std::strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &tm);
        res.set_header("Last-Modified", date);
        auto in = std::make_shared<std::ifstream>(file, std::ios::binary);
        auto buffer = std::make_shared<std::vector<char>>(1 << 16);
        res.set_content_provider(
            size, "application/octet-stream",
            [in, buffer](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                in->seekg(static_cast<std::streamoff>(offset));
                const auto want = std::min(length, buffer->size());
                in->read(buffer->data(), static_cast<std::streamsize>(want));
                const auto got = static_cast<std::size_t>(in->gcount());
                return got > 0 && sink.write(buffer->data(), got);
            });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return 1;
    std::cout << port << std::endl;
    server.listen_after_bind();
    return 0;
}
