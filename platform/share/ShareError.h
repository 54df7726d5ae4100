#pragma once

#include <string>

namespace quorvel {

// Error codes of the network-share layer; the library's errno values are
// turned into these in one place (ShareError.cpp). A type of its own, so that
// a share code cannot be taken for another layer's code of the same number.
enum class ShareError {
    kNone = 0,
    kAccessDenied = 5,   // wrong user or password, or no right to the file
    kNotFound = 2,       // no such share, folder or file
    kCannotConnect = 53, // the server cannot be reached
    kBadName = 123,      // the share name is not of the form \\server\share
    kFailed = 31,        // any other failure of the library
    kNoClient = 126,     // the share client library is not installed
};

ShareError ShareErrorFromErrno(int error);
std::string ShareErrorText(ShareError code);

} // namespace quorvel
