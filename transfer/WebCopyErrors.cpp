#include "WebCopyErrors.h"

namespace quorvel {

WebCopyError WebCopyErrorFromInet(InetError code) {
    // The engine's documented codes are the internet layer's numbers.
    return static_cast<WebCopyError>(static_cast<int>(code));
}

WebCopyError WebCopyErrorFromHttpStatus(int status) {
    return static_cast<WebCopyError>(status);
}

int WebCopyErrorNumber(WebCopyError code) {
    return static_cast<int>(code);
}

} // namespace quorvel
