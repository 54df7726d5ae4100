#include "TFolderSet.h"

#include "TFileOps.h"

#include <cerrno>
#include <fcntl.h>

namespace {

int OpenChild(int dir, const std::string& name) {
    return openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

} // namespace

int TFolderSet::Open(const std::vector<std::string>& parts, std::size_t count, TFileOps& ops,
                     const TMayCreate& mayCreate) {
    int dir = m_root;
    std::string path;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i) {
        path += (i ? "/" : "") + parts[i];
        if (const auto it = m_open.find(path); it != m_open.end()) {
            dir = it->second.Get();
            continue;
        }
        int next = OpenChild(dir, parts[i]);
        if (next < 0 && errno == ENOENT && mayCreate && mayCreate(path)) {
            if (ops.MakeDir(dir, parts[i].c_str(), 0777) != 0)
                return -1;
            m_created.push_back(path);
            next = OpenChild(dir, parts[i]);
        }
        if (next < 0)
            return -1;
        dir = m_open.emplace(path, TUniqueFd(next)).first->second.Get();
    }
    return dir;
}

std::vector<int> TFolderSet::Descriptors() const {
    std::vector<int> fds{m_root};
    for (const auto& [path, fd] : m_open)
        fds.push_back(fd.Get());
    return fds;
}
