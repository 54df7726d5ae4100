#include "ShareError.h"

#include <cerrno>

namespace quorvel {

ShareError ShareErrorFromErrno(int error) {
    switch (error) {
    case 0:
        return ShareError::kNone;
    case EACCES:
    case EPERM:
        return ShareError::kAccessDenied;
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
        return ShareError::kNotFound;
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ETIMEDOUT:
    case ECONNRESET:
        return ShareError::kCannotConnect;
    case EINVAL:
        return ShareError::kBadName;
    default:
        return ShareError::kFailed;
    }
}

std::string ShareErrorText(ShareError code) {
    switch (code) {
    case ShareError::kNone:
        return "The operation completed successfully";
    case ShareError::kAccessDenied:
        return "Access to the share was denied";
    case ShareError::kNotFound:
        return "The share or the file was not found";
    case ShareError::kCannotConnect:
        return "The server of the share cannot be reached";
    case ShareError::kBadName:
        return "The share name is not valid";
    case ShareError::kNoClient:
        return "The network share client library is not installed";
    default:
        return "The network share operation failed";
    }
}

} // namespace quorvel
