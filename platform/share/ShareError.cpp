#include "ShareError.h"

#include <cerrno>

namespace quorvel {

namespace ShareError {

int FromErrno(int error) {
    switch (error) {
    case 0:
        return kNone;
    case EACCES:
    case EPERM:
        return kAccessDenied;
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
        return kNotFound;
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ETIMEDOUT:
    case ECONNRESET:
        return kCannotConnect;
    case EINVAL:
        return kBadName;
    default:
        return kFailed;
    }
}

std::string Text(int code) {
    switch (code) {
    case kNone:
        return "The operation completed successfully";
    case kAccessDenied:
        return "Access to the share was denied";
    case kNotFound:
        return "The share or the file was not found";
    case kCannotConnect:
        return "The server of the share cannot be reached";
    case kBadName:
        return "The share name is not valid";
    case kNoClient:
        return "The network share client library is not installed";
    default:
        return "The network share operation failed";
    }
}

} // namespace ShareError

} // namespace quorvel
