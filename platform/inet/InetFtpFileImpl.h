#pragma once

#include "InetCurlDriver.h"
#include "InetFtpFile.h"
#include "InetStreamBuffer.h"

namespace quorvel {

// The state of an open remote file: the connection's running transfer and
// the bytes between it and the caller. Internal to the internet layer.
struct InetFtpFile::Impl {
    Impl(InetCurlDriver& driver, CURL* easy, bool writing)
        : driver(driver), stream(driver, easy), easy(easy), writing(writing) {}
    ~Impl() { driver.Stop(); }

    // Starts the transfer and waits until the server has accepted it (the
    // first data arrived, curl asks for data to send, or a short file is
    // already complete). False with error set when it refused.
    bool Begin(InetError& error);

    InetCurlDriver& driver;
    InetStreamBuffer stream;
    CURL* easy;
    bool writing;
    bool finished = false;
    InetError lastError = InetError::kNone;
};

} // namespace quorvel
