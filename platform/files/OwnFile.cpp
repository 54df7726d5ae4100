#include "OwnFile.h"

#include "TUniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace OwnFile {

TRead Read(const std::string& path, std::size_t maxSize, std::string& text) {
    text.clear();
    const TUniqueFd file(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid())
        return errno == ENOENT ? TRead::Missing : errno == ELOOP ? TRead::Untrusted : TRead::Unreadable;
    struct stat st {};
    if (fstat(file.Get(), &st) != 0)
        return TRead::Unreadable;
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1)
        return TRead::Untrusted;
    char block[4096];
    for (;;) {
        const ssize_t got = read(file.Get(), block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return TRead::Unreadable;
        if (got == 0)
            return TRead::Found;
        if (text.size() + static_cast<std::size_t>(got) > maxSize)
            return TRead::TooLarge;
        text.append(block, static_cast<std::size_t>(got));
    }
}

} // namespace OwnFile

} // namespace quorvel
