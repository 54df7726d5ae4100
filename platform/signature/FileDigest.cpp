#include "FileDigest.h"

#include "SignatureError.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

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

int OfFile(const std::string& path, Sha512& digest) {
    const FdCloser file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode))
        return SignatureError::kCannotRead;

    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha512(), nullptr) != 1)
        return SignatureError::FromLibrary();
    std::vector<unsigned char> block(kBlockSize);
    for (;;) {
        const ssize_t n = ::read(file.fd, block.data(), block.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SignatureError::kCannotRead;
        if (n == 0)
            break;
        if (EVP_DigestUpdate(context.get(), block.data(), static_cast<std::size_t>(n)) != 1)
            return SignatureError::FromLibrary();
    }
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size())
        return SignatureError::FromLibrary();
    return SignatureError::kNone;
}

} // namespace FileDigest
