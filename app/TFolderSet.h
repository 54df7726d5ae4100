#pragma once

#include "TUniqueFd.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class TFileOps;

// The folders below one root folder that an install opens, by relative path
// ("a/b"). Each is opened once, never through a symbolic link, and kept open
// so that all of them can be flushed at the end.
class TFolderSet {
public:
    // May a missing folder (relative path) be created?
    using TMayCreate = std::function<bool(const std::string& path)>;

    explicit TFolderSet(int root) : m_root(root) {}

    // Opens the folder parts[0]/.../parts[count-1]; returns its descriptor
    // (owned by the set), or -1 with errno set. Missing folders are created
    // when mayCreate allows it; created paths are remembered.
    int Open(const std::vector<std::string>& parts, std::size_t count, TFileOps& ops,
             const TMayCreate& mayCreate = {});
    // The root and every open folder.
    std::vector<int> Descriptors() const;
    const std::vector<std::string>& Created() const { return m_created; }

private:
    int m_root;
    std::map<std::string, TUniqueFd> m_open;
    std::vector<std::string> m_created;
};
