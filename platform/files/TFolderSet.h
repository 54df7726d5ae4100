#pragma once

#include "TUniqueFd.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorvel {

class TFileOps;

// The folders below one root folder that an install opens, by relative path
// ("a/b"), never through a symbolic link. Only a few stay open at a time
// (the ones used last), so that an install of any number of folders holds a
// bounded number of descriptors whatever the process's limit; a folder that
// was let go is opened again, from the root, when it is needed.
class TFolderSet {
public:
    // May a missing folder (relative path) be created?
    using TMayCreate = std::function<bool(const std::string& path)>;

    explicit TFolderSet(int root);

    // Opens the folder parts[0]/.../parts[count-1]; returns its descriptor,
    // owned by the set and valid until the next Open of this set, or -1 with
    // errno set (ENOENT only when a folder on the way does not exist).
    // Missing folders are created when mayCreate allows it, each with the
    // mode of the folder it is made in.
    int Open(const std::vector<std::string>& parts, std::size_t count, TFileOps& ops,
             const TMayCreate& mayCreate = {});

private:
    struct TOpenFolder {
        TUniqueFd fd;
        std::uint64_t lastUse = 0;
    };
    int Keep(const std::string& path, int fd);

    int m_root;
    std::size_t m_maxOpen;
    std::uint64_t m_uses = 0;
    std::map<std::string, TOpenFolder> m_open;
};

} // namespace quorvel
