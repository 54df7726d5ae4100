#pragma once

#include "InetError.h"
#include "WebCopyTypes.h"

namespace quorvel {

// The translations of other codes into the engine's, one explicit function
// each: a code of another layer reaches the engine's events only through one
// of these, never by its bare number.

// An internet layer code, reported with its number (12000 and above).
WebCopyError WebCopyErrorFromInet(InetError code);
// An HTTP status the engine fails on (300 and above), reported as it is.
WebCopyError WebCopyErrorFromHttpStatus(int status);
// The number the engine's events carry.
int WebCopyErrorNumber(WebCopyError code);

} // namespace quorvel
