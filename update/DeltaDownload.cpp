#include "DeltaDownload.h"

#include "InetRequest.h"
#include "InetSession.h"

#include <algorithm>
#include <cerrno>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

// The file's bytes from its start into sha; false when they cannot be read.
bool HashExisting(int fd, std::uint64_t length, TSha512& sha) {
    char block[kBlock];
    for (std::uint64_t offset = 0; offset < length;) {
        const ssize_t got = pread(fd, block, std::min<std::uint64_t>(sizeof block, length - offset),
                                  static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || !sha.Update(block, static_cast<std::size_t>(got)))
            return false;
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

bool WriteAt(int fd, const char* data, std::size_t length, std::uint64_t offset) {
    while (length > 0) {
        const ssize_t done = pwrite(fd, data, length, static_cast<off_t>(offset));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        data += done;
        length -= static_cast<std::size_t>(done);
        offset += static_cast<std::uint64_t>(done);
    }
    return true;
}

bool StartAnew(int fd, std::uint64_t& have, TSha512& sha) {
    have = 0;
    sha.Reset();
    return ftruncate(fd, 0) == 0;
}

} // namespace

namespace DeltaDownload {

std::optional<std::string> FetchText(const std::string& url, const std::string& proxy,
                                     const std::atomic<bool>& cancelled, std::size_t maxSize) {
    const auto session = InetSession::Open("WebCopy", proxy, &cancelled);
    if (!session || cancelled)
        return std::nullopt;
    InetRequest* request = session->OpenUrl(url, false);
    std::uint32_t status = 0;
    if (!request || !request->QueryStatusCode(status) || status != 200)
        return std::nullopt;
    std::uint64_t length = 0;
    if (request->QueryContentLength(length) && length > maxSize)
        return std::nullopt;
    std::string text;
    char block[512];
    for (;;) {
        std::size_t got = 0;
        if (cancelled || !request->Read(block, sizeof block, got))
            return std::nullopt;
        if (got == 0)
            return text;
        text.append(block, got);
        if (text.size() > maxSize)
            return std::nullopt;
    }
}

bool Fetch(int fd, const std::string& url, const std::string& proxy, const std::atomic<bool>& cancelled,
           std::uint64_t size, const TSha512::Digest& digest, const TProgress& progress) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return false;
    std::uint64_t have = static_cast<std::uint64_t>(st.st_size);
    TSha512 sha;
    // A kept file longer than the package, or unreadable, is no start of it.
    if ((have > size || !HashExisting(fd, have, sha)) && !StartAnew(fd, have, sha))
        return false;
    if (have < size) {
        const auto session = InetSession::Open("WebCopy", proxy, &cancelled);
        std::vector<std::string> headers;
        if (have > 0)
            headers.push_back("Range: bytes=" + std::to_string(have) + "-");
        InetRequest* request = session && !cancelled ? session->OpenUrl(url, false, headers) : nullptr;
        std::uint32_t status = 0;
        if (!request || !request->QueryStatusCode(status))
            return false;
        if (status == 200 && have > 0 && !StartAnew(fd, have, sha))
            return false;
        if (status != 200 && !(status == 206 && have > 0))
            return false;
        std::uint64_t length = 0;
        if (request->QueryContentLength(length) && length != size - have)
            return StartAnew(fd, have, sha) && false;
        char block[kBlock];
        for (;;) {
            std::size_t got = 0;
            if (cancelled || !request->Read(block, sizeof block, got))
                return false; // what arrived stays, to be resumed
            if (got == 0)
                break;
            // More than stated is never the stated package.
            if (got > size - have)
                return StartAnew(fd, have, sha) && false;
            if (!WriteAt(fd, block, got, have) || !sha.Update(block, got))
                return false;
            have += got;
            if (progress)
                progress(have, size);
        }
    }
    TSha512::Digest got{};
    if (have == size && sha.Final(got) && got == digest && fsync(fd) == 0)
        return true;
    StartAnew(fd, have, sha);
    return false;
}

} // namespace DeltaDownload

} // namespace quorvel
