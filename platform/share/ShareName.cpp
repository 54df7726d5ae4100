#include "ShareName.h"

#include <string_view>

namespace quorvel {

namespace ShareName {
namespace {

bool IsAlnum(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Percent-encodes one path segment.
std::string EncodeSegment(std::string_view segment) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : segment) {
        if (IsAlnum(static_cast<char>(c)) || c == '-' || c == '.' || c == '_' || c == '~' || c == ':') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

// An optional ":port" of one to five digits.
bool IsPortSuffix(std::string_view text) {
    if (text.empty())
        return true;
    if (text[0] != ':' || text.size() < 2 || text.size() > 6)
        return false;
    for (char c : text.substr(1))
        if (c < '0' || c > '9')
            return false;
    return true;
}

// host[:port], with host a name or IPv4 address (letters, digits, "-", "."
// and "_") or an IPv6 address in brackets.
bool IsServer(std::string_view server) {
    if (!server.empty() && server[0] == '[') {
        const auto close = server.find(']');
        if (close == std::string_view::npos || close < 2)
            return false;
        for (char c : server.substr(1, close - 1))
            if (!IsAlnum(c) && c != ':' && c != '.')
                return false;
        return IsPortSuffix(server.substr(close + 1));
    }
    const auto colon = server.find(':');
    const std::string_view host = server.substr(0, colon);
    if (host.empty())
        return false;
    for (char c : host)
        if (!IsAlnum(c) && c != '-' && c != '.' && c != '_')
            return false;
    return colon == std::string_view::npos || IsPortSuffix(server.substr(colon));
}

} // namespace

std::string Url(const std::string& share) {
    std::string text = share;
    for (char& c : text)
        if (c == '\\')
            c = '/';
    if (text.rfind("//", 0) != 0)
        return {};
    text.erase(0, 2);
    while (!text.empty() && text.back() == '/')
        text.pop_back();
    const auto slash = text.find('/');
    if (slash == std::string::npos || slash == 0 || slash + 1 >= text.size() ||
        text.find('/', slash + 1) != std::string::npos)
        return {};
    const std::string server = text.substr(0, slash);
    if (!IsServer(server))
        return {};
    return "smb://" + server + "/" + EncodeSegment(text.substr(slash + 1));
}

std::string EncodePath(const std::string& path) {
    std::string out;
    std::string_view rest(path);
    while (!rest.empty()) {
        const auto slash = rest.find_first_of("/\\");
        const std::string_view segment = rest.substr(0, slash);
        if (!segment.empty())
            out += "/" + EncodeSegment(segment);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return out;
}

} // namespace ShareName

} // namespace quorvel
