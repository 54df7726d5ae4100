#pragma once

#include "ChildProcess.h"
#include "TempDir.h"

#include <filesystem>
#include <memory>
#include <string>

// An SMB server for tests: Debian's smbd with a private configuration, state
// and share folder in a temporary folder, listening on 127.0.0.1 on a free
// port, one share "files" for the user root with the given password. While it
// exists HOME points to a private folder, where the client library keeps its
// own settings.
class LocalSmbServer {
public:
    explicit LocalSmbServer(const std::string& password);
    ~LocalSmbServer();
    LocalSmbServer(const LocalSmbServer&) = delete;
    LocalSmbServer& operator=(const LocalSmbServer&) = delete;

    // Empty when the server runs; otherwise why it could not be started.
    const std::string& Problem() const { return m_problem; }
    int Port() const { return m_port; }
    // The share's folder on disk.
    std::filesystem::path ShareDir() const { return m_dir / "share"; }
    // "\\127.0.0.1:<port>\files"
    std::string Unc() const;

private:
    TempDir m_dir;
    std::unique_ptr<ChildProcess> m_smbd;
    int m_port = 0;
    std::string m_problem;
    std::string m_oldHome;
    bool m_hadHome = false;
};
