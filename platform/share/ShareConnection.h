#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "ShareError.h"

namespace quorvel {

class ShareFile;

// A connection to one network share, \\server\share (or //server/share; a
// server may carry a port, server:port), with a user name and password.
// Files are read from it by paths below the share. Owned and used by one
// thread.
class ShareConnection {
public:
    // Connects and checks the credentials on the share itself; nullptr with
    // error set (ShareError.h) when that fails.
    static std::unique_ptr<ShareConnection> Connect(const std::string& share, const std::string& user,
                                                    const std::string& password, ShareError& error);
    ~ShareConnection();
    ShareConnection(const ShareConnection&) = delete;
    ShareConnection& operator=(const ShareConnection&) = delete;

    // Opens a file below the share for reading ("\" or "/" separators).
    std::unique_ptr<ShareFile> Open(const std::string& path, ShareError& error);
    // Ends the connection, closing what is still open on it; false when the
    // library could not let go of it. Files must be closed first.
    bool Disconnect();

    struct Impl;

private:
    explicit ShareConnection(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
