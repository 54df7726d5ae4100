#pragma once

#include <string>

namespace quorvel {

// Error codes of the internet layer. Library errors are turned into these in
// one place (InetError.cpp). A type of its own, so that an internet code is
// never taken for another layer's code; the transfer engine hands them out
// with their numbers unchanged through its own explicit translation.
enum class InetError {

    kNone = 0,
    kExtendedError = 12003, // the server refused a command (an FTP reply such as 550)
    kTimeout = 12002,       // connect or transfer took too long / stalled
    kInternal = 12004,      // the library failed internally
    kInvalidUrl = 12005,    // the URL cannot be parsed
    kUnrecognizedScheme = 12006,
    kNameNotResolved = 12007, // host name unknown
    kLoginFailure = 12015,
    kOperationCancelled = 12017,
    kItemNotFound = 12018, // no such remote file or folder
    kFtpDropped = 12111,   // the FTP data connection could not be made or was lost
    kCannotConnect = 12029,
    kConnectionAborted = 12030, // dropped while reading
    kConnectionReset = 12031,
    kInvalidServerResponse = 12152,
    kRedirectFailed = 12156, // too many redirects, or a redirect to a scheme we refuse
    kSecureFailure = 12175,
    // The server's certificate does not verify: no trusted issuer, another host
    // name, or out of its validity dates. Nothing is sent or received then.
    kCertificateInvalid = 12055,

};

// Maps a libcurl result code (an int, so that no curl type leaks) to ours.
InetError InetErrorFromCurlCode(int curlCode);

// Maps a failure of libcurl's URL parser (a CURLUcode, as an int) to ours.
InetError InetErrorFromCurlUrlCode(int urlCode);

// A readable text for one of our codes; "Unknown internet error <code>" for
// codes we do not define, never an empty or undefined text.
std::string InetErrorText(InetError code);

} // namespace quorvel
