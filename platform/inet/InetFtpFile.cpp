#include "InetFtpFile.h"

#include "InetError.h"
#include "InetFtpFileImpl.h"

namespace quorvel {

bool InetFtpFile::Impl::Begin(InetError& error) {
    const bool attached = writing ? stream.AttachForSending() : stream.AttachForReceiving();
    if (!attached || !driver.Start(easy)) {
        error = InetError::kInternal;
        return false;
    }
    driver.WaitUntil([this] { return stream.Started(); });
    if (stream.Started() || (driver.Finished() && driver.Result() == InetError::kNone))
        return true;
    error = driver.Finished() ? driver.Result() : InetError::kInternal;
    if (error == InetError::kNone)
        error = InetError::kInternal;
    driver.Stop();
    return false;
}

InetFtpFile::InetFtpFile(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}

InetFtpFile::~InetFtpFile() = default;

bool InetFtpFile::Read(void* buffer, std::size_t size, std::size_t& bytesRead) {
    bytesRead = 0;
    if (m_impl->writing) {
        m_impl->lastError = InetError::kInternal;
        return false;
    }
    return m_impl->stream.Pull(buffer, size, bytesRead, m_impl->lastError);
}

bool InetFtpFile::Write(const void* buffer, std::size_t size, std::size_t& written) {
    written = 0;
    if (!m_impl->writing || m_impl->finished) {
        m_impl->lastError = InetError::kInternal;
        return false;
    }
    if (!m_impl->stream.Push(buffer, size, m_impl->lastError))
        return false;
    written = size;
    return true;
}

bool InetFtpFile::Finish() {
    if (!m_impl->writing || m_impl->finished) {
        m_impl->lastError = InetError::kInternal;
        return false;
    }
    m_impl->finished = true;
    const bool done = m_impl->stream.EndPush(m_impl->lastError);
    m_impl->driver.Stop();
    return done;
}

InetError InetFtpFile::LastError() const {
    return m_impl->lastError;
}

} // namespace quorvel
