#pragma once

#include <cstddef>
#include <memory>

#include "InetError.h"

namespace quorvel {

// A remote file opened through an InetFtpConnection, for reading or for
// writing. Reads are pulled block by block and writes pushed block by block;
// at most 256 KiB is held in between, never the whole file.
class InetFtpFile {
public:
    ~InetFtpFile();
    InetFtpFile(const InetFtpFile&) = delete;
    InetFtpFile& operator=(const InetFtpFile&) = delete;

    // Reading: true with bytesRead > 0 for data, true with 0 at the end of the
    // file, false when the transfer failed or stalled.
    bool Read(void* buffer, std::size_t size, std::size_t& bytesRead);
    // Writing: takes all size bytes (written = size) or fails.
    bool Write(const void* buffer, std::size_t size, std::size_t& written);
    // Writing: ends the file and waits for the server to confirm it; false
    // when the server did not store the whole file. Closing without Finish
    // abandons the transfer.
    bool Finish();

    InetError LastError() const;

    struct Impl;

private:
    friend class InetFtpConnection;
    explicit InetFtpFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
