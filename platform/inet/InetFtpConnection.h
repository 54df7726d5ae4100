#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "InetError.h"

namespace quorvel {

class InetFtpFile;

// What the server tells about one remote file.
struct InetFtpEntry {
    std::uint64_t size = 0;
    // Last-write time in seconds since the Unix epoch, UTC as the server gives it.
    bool hasTime = false;
    std::int64_t time = 0;
};

// One logged-in FTP connection: every command of a job goes through it, and
// the login is kept between them. Owned and used by one thread.
//
// Folders are tracked as the server would: a folder starting with "/" is
// taken from the root, any other from the current folder.
class InetFtpConnection {
public:
    struct Login {
        std::string host;
        int port = 21;
        // Anonymous unless both are non-empty.
        std::string user;
        std::string password;
        bool passive = false;
    };

    // Connects and logs in. nullptr with error set (InetError.h) when the
    // server cannot be reached or refuses the login.
    static std::unique_ptr<InetFtpConnection> Connect(const Login& login, const std::atomic<bool>* cancel,
                                                      InetError& error);
    ~InetFtpConnection();
    InetFtpConnection(const InetFtpConnection&) = delete;
    InetFtpConnection& operator=(const InetFtpConnection&) = delete;

    // Changes into a folder; false (the current folder unchanged) when it
    // does not exist or cannot be entered.
    bool SetCurrentDirectory(const std::string& folder);
    // Creates one folder level; false when the server refuses.
    bool CreateDirectory(const std::string& folder);
    // Size and time of a file in the current folder; false when the server
    // does not know it as a file (or does not answer size queries).
    bool FindFile(const std::string& name, InetFtpEntry& entry);
    // Opens a file of the current folder for binary reading or writing
    // (replacing it); nullptr when the server refuses. At most one file is
    // open at a time, and it must be closed before the connection goes.
    std::unique_ptr<InetFtpFile> OpenRead(const std::string& name);
    std::unique_ptr<InetFtpFile> OpenWrite(const std::string& name);

    // Our code (InetError.h) of the last failed call.
    InetError LastError() const;

    struct Impl;

private:
    explicit InetFtpConnection(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
