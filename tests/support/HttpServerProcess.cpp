#include "HttpServerProcess.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>

HttpServerProcess::HttpServerProcess(const std::function<void(LocalHttpServer&)>& setup)
    : m_process([&] {
          LocalHttpServer server;
          setup(server);
          std::printf("%s\n", server.Url("").c_str());
          std::fflush(stdout);
          // Serves until the test ends the process.
          for (;;)
              ::pause();
      }) {
    m_base = m_process.ReadLine(30000);
    if (m_base.empty())
        throw std::runtime_error("HttpServerProcess: the server did not start");
}

std::string HttpServerProcess::Url(const std::string& path) const {
    return m_base + path;
}
