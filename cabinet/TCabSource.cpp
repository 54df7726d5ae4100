#include "TCabSource.h"

#include "ReadAt.h"
#include "TOrderedReads.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

// The name under which a descriptor source is opened: no file of that name
// is ever looked up, since the open callback answers it from the descriptor.
const char* const kDescriptorName = "cabinet";
const char* const kDescriptorFolder = "/descriptor/";

} // namespace

// The copies of a descriptor source opened by the decompression layer, each
// with its own position. An extraction runs on one thread.
struct TCabSource::TReaders {
    int fd = -1;
    TOrderedReads* ordered = nullptr;
    std::map<Fdi::FileHandle, std::int64_t> positions;

    Fdi::FileHandle Open() {
        const int copy = fcntl(fd, F_DUPFD_CLOEXEC, 3);
        if (copy < 0)
            return Fdi::kInvalidHandle;
        positions[copy] = 0;
        return copy;
    }
    // The position of a handle of ours, or null for another handle.
    std::int64_t* Position(Fdi::FileHandle handle) {
        const auto it = positions.find(handle);
        return it == positions.end() ? nullptr : &it->second;
    }
    bool Close(Fdi::FileHandle handle) {
        if (positions.erase(handle) == 0)
            return false;
        close(static_cast<int>(handle));
        return true;
    }
};

TCabSource TCabSource::FromPath(const QString& path) {
    TCabSource source;
    source.m_path = path;
    return source;
}

TCabSource TCabSource::FromDescriptor(int fd, TOrderedReads* ordered) {
    TCabSource source;
    source.m_fd = fd;
    source.m_ordered = ordered;
    return source;
}

bool TCabSource::Locate(std::string& name, std::string& folder) const {
    if (m_fd >= 0) {
        struct stat st {};
        name = kDescriptorName;
        folder = kDescriptorFolder;
        return fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
    }
    const std::string path = QFile::encodeName(m_path).toStdString();
    const std::size_t cut = path.find_last_of("/\\");
    name = cut == std::string::npos ? path : path.substr(cut + 1);
    std::error_code error;
    const std::filesystem::path dir = cut == std::string::npos
                                          ? std::filesystem::current_path(error)
                                          : std::filesystem::absolute(path.substr(0, cut + 1), error);
    if (error || name.empty())
        return false;
    folder = dir.string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    // The cabinet must be readable before anything else is done.
    const int fd = open((folder + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    close(fd);
    return true;
}

Fdi::TCallbacks TCabSource::Callbacks(Fdi::TCallbacks base) const {
    if (m_fd < 0)
        return base;
    auto readers = std::make_shared<TReaders>();
    readers->fd = m_fd;
    readers->ordered = m_ordered;
    const std::string located = std::string(kDescriptorFolder) + kDescriptorName;
    base.open = [readers, located](const std::string& name, int flags, int) {
        // Only the descriptor is read; nothing else is opened by name.
        if (name != located || (flags & O_ACCMODE) != O_RDONLY) {
            errno = ENOENT;
            return Fdi::kInvalidHandle;
        }
        return readers->Open();
    };
    base.read = [readers, read = base.read](Fdi::FileHandle handle, void* buffer,
                                            std::uint32_t count) -> std::int64_t {
        std::int64_t* position = readers->Position(handle);
        if (!position)
            return read(handle, buffer, count);
        if (readers->ordered) {
            const std::int64_t got = readers->ordered->Read(*position, buffer, count);
            if (got > 0)
                *position += got;
            return got;
        }
        const std::int64_t done = ReadAt(readers->fd, buffer, count, *position);
        if (done < 0)
            return -1;
        *position += done;
        return done;
    };
    base.seek = [readers, seek = base.seek](Fdi::FileHandle handle, std::int64_t distance,
                                            int origin) -> std::int64_t {
        std::int64_t* position = readers->Position(handle);
        if (!position)
            return seek(handle, distance, origin);
        std::int64_t from = 0;
        if (origin == Fdi::soCurrent) {
            from = *position;
        } else if (origin == Fdi::soEnd) {
            struct stat st {};
            if (fstat(readers->fd, &st) != 0)
                return -1;
            from = st.st_size;
        } else if (origin != Fdi::soBeginning) {
            return -1;
        }
        if (from + distance < 0)
            return -1;
        *position = from + distance;
        return *position;
    };
    base.close = [readers, close = base.close](Fdi::FileHandle handle) {
        return readers->Close(handle) ? 0 : close(handle);
    };
    return base;
}

} // namespace quorvel
