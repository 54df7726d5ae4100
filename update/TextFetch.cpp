#include "TextFetch.h"

#include "InetRequest.h"
#include "InetSession.h"

namespace quorvel {

std::optional<std::string> FetchText(const std::string& url, const std::string& proxy,
                                     const std::atomic<bool>& cancelled, std::size_t maxSize,
                                     bool* notFound) {
    if (notFound)
        *notFound = false;
    const auto session = InetSession::Open("WebCopy", proxy, &cancelled);
    if (!session || cancelled)
        return std::nullopt;
    InetRequest* request = session->OpenUrl(url, false);
    std::uint32_t status = 0;
    if (!request || !request->QueryStatusCode(status) || status != 200) {
        if (notFound && status == 404)
            *notFound = true;
        return std::nullopt;
    }
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

} // namespace quorvel
