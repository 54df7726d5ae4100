#pragma once

#include <string>

namespace quorvel {

// Error codes of the network-share layer; the library's errno values are
// turned into these in one place (ShareError.cpp).
namespace ShareError {

constexpr int kNone = 0;
constexpr int kAccessDenied = 5;   // wrong user or password, or no right to the file
constexpr int kNotFound = 2;       // no such share, folder or file
constexpr int kCannotConnect = 53; // the server cannot be reached
constexpr int kBadName = 123;      // the share name is not of the form \\server\share
constexpr int kFailed = 31;        // any other failure of the library
constexpr int kNoClient = 126;     // the share client library is not installed

int FromErrno(int error);
std::string Text(int code);

} // namespace ShareError

} // namespace quorvel
