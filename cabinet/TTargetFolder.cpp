#include "TTargetFolder.h"

#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

bool TTargetFolder::SplitEntryName(const std::string& name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty() || name.front() == '/' || name.front() == '\\')
        return false;
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':')
        return false;
    std::string segment;
    auto flush = [&]() {
        if (segment == "..") {
            if (parts.empty())
                return false;
            parts.pop_back();
        } else if (!segment.empty() && segment != ".") {
            parts.push_back(segment);
        }
        segment.clear();
        return true;
    };
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!flush())
                return false;
        } else if (c == '\0') {
            return false;
        } else {
            segment.push_back(c);
        }
    }
    // The last segment must name a file, not a folder.
    const bool namesFile = !segment.empty() && segment != "." && segment != "..";
    return flush() && namesFile;
}

int TTargetFolder::OpenFolder(const std::string& base, const std::vector<std::string>& parts,
                              std::size_t count) {
    int dir = open(base.empty() ? "." : base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (std::size_t i = 0; dir >= 0 && i < count; ++i) {
        const char* name = parts[i].c_str();
        int next = openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && mkdirat(dir, name, 0777) == 0)
            next = openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int saved = errno;
        close(dir);
        errno = saved;
        dir = next;
    }
    return dir;
}

} // namespace quorvel
