#pragma once

#include <string>

namespace quorvel {

// Error codes of the internet layer. Library errors are turned into these in
// one place (InetError.cpp); the transfer engine reports them as they are.
namespace InetError {

constexpr int kNone = 0;
constexpr int kExtendedError = 12003; // the server refused a command (an FTP reply such as 550)
constexpr int kTimeout = 12002;       // connect or transfer took too long / stalled
constexpr int kInternal = 12004;      // the library failed internally
constexpr int kInvalidUrl = 12005;    // the URL cannot be parsed
constexpr int kUnrecognizedScheme = 12006;
constexpr int kNameNotResolved = 12007; // host name unknown
constexpr int kLoginFailure = 12015;
constexpr int kOperationCancelled = 12017;
constexpr int kItemNotFound = 12018; // no such remote file or folder
constexpr int kFtpDropped = 12111;   // the FTP data connection could not be made or was lost
constexpr int kCannotConnect = 12029;
constexpr int kConnectionAborted = 12030; // dropped while reading
constexpr int kConnectionReset = 12031;
constexpr int kInvalidServerResponse = 12152;
constexpr int kRedirectFailed = 12156; // too many redirects, or a redirect to a scheme we refuse
constexpr int kSecureFailure = 12175;
// The server's certificate does not verify: no trusted issuer, another host
// name, or out of its validity dates. Nothing is sent or received then.
constexpr int kCertificateInvalid = 12055;

// Maps a libcurl result code (an int, so that no curl type leaks) to ours.
int FromCurlCode(int curlCode);

// Maps a failure of libcurl's URL parser (a CURLUcode, as an int) to ours.
int FromCurlUrlCode(int urlCode);

// A readable text for one of our codes; "Unknown internet error <code>" for
// codes we do not define, never an empty or undefined text.
std::string Text(int code);

} // namespace InetError

} // namespace quorvel
