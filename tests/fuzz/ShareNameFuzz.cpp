// Feeds arbitrary share names and paths to the share-name reader: whatever it
// accepts must be a URL the share library reads as that one server and share,
// and an encoded path may hold nothing that ends or redirects the URL.
#include "ShareName.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

using namespace quorvel;

namespace {

bool IsUrlSafe(const std::string& text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= ' ' || c >= 0x7F || c == '@' || c == '?' || c == '#' || c == '\\')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string url = ShareName::Url(text);
    if (!url.empty()) {
        // smb://server/share: exactly one "/" after the server.
        if (url.rfind("smb://", 0) != 0 || !IsUrlSafe(url, 6))
            std::abort();
        const auto slash = url.find('/', 6);
        if (slash == std::string::npos || slash == 6 || slash + 1 == url.size() ||
            url.find('/', slash + 1) != std::string::npos)
            std::abort();
    }
    const std::string path = ShareName::EncodePath(text);
    if (!IsUrlSafe(path, 0) || path.find("//") != std::string::npos || (!path.empty() && path[0] != '/'))
        std::abort();
    return 0;
}
