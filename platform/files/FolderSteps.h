#pragma once

#include "TUniqueFd.h"

#include <string>
#include <sys/stat.h>
#include <vector>

namespace quorvel {

class TFileOps;

// Folder steps of an install, on descriptors of open folders; none follows a
// symbolic link below the folder it starts from.
namespace FolderSteps {

// "a/b/c" -> {"a", "b", "c"}.
std::vector<std::string> SplitPath(const std::string& path);

// 0 when something stands at `name` in the folder `dir` (a link is not
// followed), ENOENT when nothing does, any other errno when that cannot be
// told: only ENOENT ever counts as absent.
int Lookup(int dir, const std::string& name, struct stat* st = nullptr);

// Opens the folder `name` of `dir`, never through a link; -1 with errno set.
int OpenFolderAt(int dir, const std::string& name);

// The names in the folder `dir`, sorted, so that an install always takes its
// files in the same order; false when the folder cannot be read.
bool ListFolder(int dir, std::vector<std::string>& names);

// Calls visit(path, isFolder, status) for everything below the folder `dir`,
// a folder before its contents; false when a folder cannot be read or visit
// says so.
template <typename Visit> bool Walk(int dir, const std::string& prefix, Visit& visit) {
    std::vector<std::string> names;
    if (!ListFolder(dir, names))
        return false;
    for (const std::string& name : names) {
        struct stat st {};
        if (Lookup(dir, name, &st) != 0 || !visit(prefix + name, S_ISDIR(st.st_mode), st))
            return false;
        if (S_ISDIR(st.st_mode)) {
            const TUniqueFd sub(OpenFolderAt(dir, name));
            if (!sub.Valid() || !Walk(sub.Get(), prefix + name + "/", visit))
                return false;
        }
    }
    return true;
}

// Removes the entry `name` of `dir` with everything below it: links
// themselves, never what they point at.
void RemoveTree(int dir, const std::string& name, TFileOps& ops);

} // namespace FolderSteps

} // namespace quorvel
