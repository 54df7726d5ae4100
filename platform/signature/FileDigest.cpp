#include "FileDigest.h"

#include "SignatureError.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace quorvel {

namespace FileDigest {

namespace {

constexpr std::size_t kBlockSize = 64 * 1024;

struct FdCloser {
    int fd;
    ~FdCloser() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

SignatureError OfFile(const std::string& path, Sha512& digest, std::uint64_t* size) {
    const FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0)
        return SignatureError::kCannotRead;
    return OfDescriptor(file.fd, digest, size);
}

SignatureError OfDescriptor(int fd, Sha512& digest, std::uint64_t* size) {
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return SignatureError::kCannotRead;
    TSha512 sha;
    std::vector<unsigned char> block(kBlockSize);
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(fd, block.data(), block.size(), at);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SignatureError::kCannotRead;
        if (n == 0)
            break;
        if (!sha.Update(block.data(), static_cast<std::size_t>(n)))
            return SignatureError::kLibrary;
        at += n;
    }
    if (!sha.Final(digest))
        return SignatureError::kLibrary;
    if (size)
        *size = sha.Size();
    return SignatureError::kNone;
}

} // namespace FileDigest

} // namespace quorvel
