#include "DurableWrite.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DurableWrite {

namespace {

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

} // namespace

bool ReplacePath(const std::string& path, std::string_view bytes, mode_t mode) {
    const std::size_t cut = path.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.empty() || name == "." || name == "..")
        return false;
    const Fd dir{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.fd < 0)
        return false;
    const std::string temporary = "." + name + ".new";
    ::unlinkat(dir.fd, temporary.c_str(), 0);
    bool ok = false;
    {
        const Fd file{
            ::openat(dir.fd, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode)};
        ok =
            file.fd >= 0 && ::fchmod(file.fd, mode) == 0 && WriteAll(file.fd, bytes) && ::fsync(file.fd) == 0;
    }
    // The rename replaces whatever stands at the name, a link included,
    // without looking through it.
    ok = ok && ::renameat(dir.fd, temporary.c_str(), dir.fd, name.c_str()) == 0 && ::fsync(dir.fd) == 0;
    if (!ok)
        ::unlinkat(dir.fd, temporary.c_str(), 0);
    return ok;
}

} // namespace DurableWrite
