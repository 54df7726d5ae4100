#pragma once

#include <string>

namespace quorvel {

// Turns the names a job gives (a share as \\server\share or //server/share, a
// file path below it) into the smb:// URLs of the share library, which
// decodes them again before it talks to the server.
namespace ShareName {

// "smb://server[:port]/share"; empty when the text names no share or its
// server part is not a plain host name, IPv4 or bracketed IPv6 address with
// an optional port (so that "user@host", "?" or "#" cannot reach the URL).
std::string Url(const std::string& share);

// "/"-separated, percent-encoded segments of a path below the share; "\" and
// "/" both separate, empty segments are dropped.
std::string EncodePath(const std::string& path);

} // namespace ShareName

} // namespace quorvel
