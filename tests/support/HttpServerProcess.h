#pragma once

#include "ChildProcess.h"
#include "LocalHttpServer.h"

#include <functional>
#include <string>

// A LocalHttpServer in a process of its own, for tests that fork the code
// under test (to kill it at a chosen point, say): a fork copies only the
// thread that calls it, so a lock a server thread holds at that moment, in
// the allocator for one, stays held for ever in the child. With the server
// elsewhere, the test forks with no other thread running.
//
// Build it while the test runs no other thread. setup runs in the server's
// process; the server cannot count requests for the test.
class HttpServerProcess {
public:
    explicit HttpServerProcess(const std::function<void(LocalHttpServer&)>& setup);

    // As LocalHttpServer::Url.
    std::string Url(const std::string& path) const;

private:
    ChildProcess m_process;
    std::string m_base;
};
