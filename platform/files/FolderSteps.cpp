#include "FolderSteps.h"

#include "TFileOps.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>

namespace quorvel {

namespace FolderSteps {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = path.find('/', start);
        parts.push_back(path.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos)
            return parts;
        start = cut + 1;
    }
}

int Lookup(int dir, const std::string& name, struct stat* st) {
    struct stat local {};
    if (dir < 0)
        return EBADF;
    return fstatat(dir, name.c_str(), st ? st : &local, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int OpenFolderAt(int dir, const std::string& name) {
    return openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool ListFolder(int dir, std::vector<std::string>& names) {
    names.clear();
    const int copy = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = copy >= 0 ? fdopendir(copy) : nullptr;
    if (!listing) {
        if (copy >= 0)
            close(copy);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const bool ok = errno == 0;
    closedir(listing);
    std::sort(names.begin(), names.end());
    return ok;
}

void RemoveTree(int dir, const std::string& name, TFileOps& ops) {
    struct stat st {};
    if (Lookup(dir, name, &st) != 0)
        return;
    if (!S_ISDIR(st.st_mode)) {
        ops.Unlink(dir, name.c_str(), 0);
        return;
    }
    const TUniqueFd sub(OpenFolderAt(dir, name));
    std::vector<std::string> names;
    if (sub.Valid() && ListFolder(sub.Get(), names))
        for (const std::string& child : names)
            RemoveTree(sub.Get(), child, ops);
    ops.Unlink(dir, name.c_str(), AT_REMOVEDIR);
}

} // namespace FolderSteps

} // namespace quorvel
