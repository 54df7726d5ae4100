#include "InetProxy.h"

#include <string_view>

namespace quorvel {

namespace {

bool HasPort(std::string_view proxy) {
    if (const auto scheme = proxy.find("://"); scheme != std::string_view::npos)
        proxy.remove_prefix(scheme + 3);
    const auto colon = proxy.rfind(':');
    const auto bracket = proxy.rfind(']'); // an IPv6 address holds colons of its own
    return colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket);
}

} // namespace

bool SetCurlProxy(CURL* easy, const std::string& proxy) {
    if (curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str()) != CURLE_OK)
        return false;
    return HasPort(proxy) || curl_easy_setopt(easy, CURLOPT_PROXYPORT, 80L) == CURLE_OK;
}

} // namespace quorvel
