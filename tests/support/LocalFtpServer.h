#pragma once

#include "ChildProcess.h"

#include <filesystem>
#include <memory>
#include <string>

// An FTP server for tests (pyftpdlib in Debian's own Python), serving a
// folder on 127.0.0.1 on a port the system picks, from construction until
// destruction. Anonymous unless a user is given; files named "*.half" are
// served only to half their size, "*.drop" fail half-way.
class LocalFtpServer {
public:
    struct Options {
        std::string user;
        std::string password;
        // The server answers no size or date queries (SIZE, MDTM).
        bool noSize = false;
        // The server gives sizes but no dates (no MDTM).
        bool noDate = false;
    };

    explicit LocalFtpServer(const std::filesystem::path& root);
    LocalFtpServer(const std::filesystem::path& root, const Options& options);

    // 0 when the server could not be started.
    int Port() const { return m_port; }

private:
    std::unique_ptr<ChildProcess> m_process;
    int m_port = 0;
};
