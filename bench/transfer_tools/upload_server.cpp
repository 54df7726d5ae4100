// Accepts POST and PUT of any path on 127.0.0.1, counting the body's bytes
// as they stream in and keeping none of them. Prints its port, then runs
// until killed. Usage: upload_server
#include <httplib.h>

#include <iostream>

int main() {
    httplib::Server server;
    auto sink = [](const httplib::Request&, httplib::Response& res, const httplib::ContentReader& reader) {
        std::size_t total = 0;
        reader([&total](const char*, std::size_t length) {
            total += length;
            return true;
        });
        res.set_content(std::to_string(total), "text/plain");
    };
    server.Post(R"(/.*)", sink);
    server.Put(R"(/.*)", sink);
    server.set_payload_max_length(std::size_t{1} << 40);
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0)
        return 1;
    std::cout << port << std::endl;
    server.listen_after_bind();
    return 0;
}
