#include "DurableWrite.h"

#include "TFileOps.h"
#include "TUniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quorvel {

namespace DurableWrite {

bool WriteAll(TFileOps& ops, int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ops.Write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

bool Replace(int dir, const std::string& name, const std::string& tempName, const TFill& fill, TFileOps& ops,
             mode_t mode, TUniqueFd* kept) {
    ops.Unlink(dir, tempName.c_str(), 0);
    TUniqueFd fd(openat(dir, tempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!fd.Valid())
        return false;
    // The rename replaces whatever stands at the name, a link included,
    // without looking through it.
    const bool ok = fill(fd.Get()) && ops.Sync(fd.Get()) == 0 &&
                    ops.RenameOver(dir, tempName.c_str(), dir, name.c_str()) == 0 && ops.Sync(dir) == 0;
    if (!ok) {
        ops.Unlink(dir, tempName.c_str(), 0);
        return false;
    }
    if (kept)
        *kept = std::move(fd);
    return true;
}

bool Replace(int dir, const std::string& name, const std::string& tempName, std::string_view bytes,
             TFileOps& ops, mode_t mode) {
    return Replace(
        dir, name, tempName, [&](int fd) { return WriteAll(ops, fd, bytes); }, ops, mode);
}

bool ReplacePath(const std::string& path, std::string_view bytes, mode_t mode) {
    const std::size_t cut = path.rfind('/');
    const std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : path.substr(0, cut);
    const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
    if (name.empty() || name == "." || name == "..")
        return false;
    const TUniqueFd dir(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.Valid() && Replace(dir.Get(), name, "." + name + ".new", bytes, TFileOps::System(), mode);
}

} // namespace DurableWrite

} // namespace quorvel
