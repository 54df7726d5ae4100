#include "TargetFile.h"

#include "KeptFileText.h"
#include "UrlHelpers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quorvel {

namespace {

constexpr std::size_t kNameMax = 255;
const std::string kSuffix = ".part";
const std::string kRecordSuffix = ".resume";

// The last "/"-separated part of a file-system path, and the folder before it
// ("." for a bare name).
void SplitPath(const std::string& path, std::string& folder, std::string& name) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
        return;
    }
    folder = slash == 0 ? std::string("/") : path.substr(0, slash);
    name = path.substr(slash + 1);
}

// An exclusive lock on the whole file, held by this open file description
// until it is closed; false when another holds one.
bool LockWhole(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Whether another open file description holds a lock on the file (anything
// that cannot be locked at all, such as a FIFO put at the name, is not).
bool LockedByAnother(int fd) {
    return !LockWhole(fd) && (errno == EAGAIN || errno == EACCES);
}

int CloseFd(int& fd) {
    int rc = 0;
    if (fd >= 0)
        rc = ::close(fd);
    fd = -1;
    return rc;
}

} // namespace

TargetFile::TargetFile(std::size_t capacity) : m_buffer(capacity) {}

TargetFile::~TargetFile() {
    Discard();
}

std::string TargetFile::TemporaryName(const std::string& targetName, const std::string& source) {
    const std::string hash = KeptFileText::Hex(KeptFileText::Hash(source));
    // Room for the longer of the two names the job uses.
    const std::size_t room = kNameMax - (1 + 1 + 16 + kRecordSuffix.size());
    std::size_t keep = std::min(targetName.size(), room);
    // Never cut a UTF-8 sequence in two.
    while (keep > 0 && keep < targetName.size() &&
           (static_cast<unsigned char>(targetName[keep]) & 0xC0) == 0x80)
        --keep;
    return "." + targetName.substr(0, keep) + "." + hash + kSuffix;
}

bool TargetFile::Open(const std::string& targetPath, const std::string& source) {
    SetPaths(targetPath, source);
    return Create();
}

void TargetFile::SetPaths(const std::string& targetPath, const std::string& source) {
    Discard();
    SplitPath(targetPath, m_folder, m_targetName);
    m_tempName = m_targetName.empty() ? std::string() : TemporaryName(m_targetName, source);
    m_tempPath = (m_folder == "/" ? std::string() : m_folder) + "/" + m_tempName;
    m_recordName = m_tempName.substr(0, m_tempName.size() - kSuffix.size()) + kRecordSuffix;
}

bool TargetFile::OpenFolder(bool create) {
    if (m_dirFd >= 0)
        return true;
    if (m_tempName.empty())
        return false;
    if (create)
        ForceFolders(m_folder);
    m_dirFd = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_dirFd >= 0;
}

void TargetFile::Reset(std::uint64_t size) {
    m_active = true;
    m_fill = 0;
    m_size = size;
    m_writebackStart = size;
    m_overLimit = false;
    m_ok = true;
}

void TargetFile::RemoveRecord() {
    ::unlinkat(m_dirFd, m_recordName.c_str(), 0);
    // A record a crash left half written under its new name.
    ::unlinkat(m_dirFd, (m_recordName + ".new").c_str(), 0);
}

bool TargetFile::Create() {
    CloseFd(m_fd);
    m_inUse = false;
    if (!OpenFolder(true))
        return false;
    // A leftover that another run still writes is left alone; holding its
    // lock while it goes keeps a third run from taking it meanwhile.
    int leftover = ::openat(m_dirFd, m_tempName.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (leftover >= 0 && LockedByAnother(leftover)) {
        m_inUse = true;
        CloseFd(leftover);
        return false;
    }
    // The job's leftovers (a killed run, a partial kept for resuming) go
    // first; unlinking never follows a link, and O_EXCL|O_NOFOLLOW refuses
    // anything that stands at the name after that.
    RemoveRecord();
    ::unlinkat(m_dirFd, m_tempName.c_str(), 0);
    m_fd = ::openat(m_dirFd, m_tempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    // Another run that came between the create and the lock has the file.
    if (m_fd >= 0 && !LockWhole(m_fd)) {
        m_inUse = true;
        CloseFd(m_fd);
    }
    CloseFd(leftover);
    if (m_fd < 0)
        return false;
    Reset(0);
    return true;
}

std::optional<ResumeRecord> TargetFile::KeptRecord(std::uint64_t& fileSize) {
    if (!OpenFolder(false))
        return std::nullopt;
    struct stat st {};
    if (::fstatat(m_dirFd, m_tempName.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid())
        return std::nullopt;
    fileSize = static_cast<std::uint64_t>(st.st_size);
    return ResumeRecord::Read(m_dirFd, m_recordName);
}

bool TargetFile::Reopen(std::uint64_t keep) {
    CloseFd(m_fd);
    if (!OpenFolder(true))
        return false;
    m_inUse = false;
    m_fd = ::openat(m_dirFd, m_tempName.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0 && !LockWhole(m_fd)) {
        m_inUse = errno == EAGAIN || errno == EACCES;
        CloseFd(m_fd);
        return false;
    }
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_nlink != 1 || static_cast<std::uint64_t>(st.st_size) < keep ||
        ::ftruncate(m_fd, static_cast<off_t>(keep)) != 0) {
        CloseFd(m_fd);
        return false;
    }
    if (::lseek(m_fd, 0, SEEK_END) < 0) {
        CloseFd(m_fd);
        return false;
    }
    Reset(keep);
    return true;
}

bool TargetFile::Replay() {
    if (!m_sink || m_size == 0)
        return true;
    std::uint64_t done = 0;
    while (done < m_size) {
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(m_size - done, m_buffer.size()));
        const ssize_t n = ::pread(m_fd, m_buffer.data(), want, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        m_sink(m_buffer.data(), static_cast<std::size_t>(n));
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool TargetFile::Restart() {
    if (m_fd < 0 || ::ftruncate(m_fd, 0) != 0 || ::lseek(m_fd, 0, SEEK_SET) != 0)
        return false;
    Reset(0);
    return true;
}

bool TargetFile::Checkpoint(ResumeRecord& record) {
    if (m_fd < 0 || !Flush() || ::fdatasync(m_fd) != 0)
        return false;
    record.flushed = m_size;
    record.boot = ResumeRecord::BootId();
    return record.Write(m_dirFd, m_recordName);
}

void TargetFile::Keep(ResumeRecord record) {
    // A file cut past its bound or left by a failed write is no start to go on from.
    if (m_fd < 0 || !m_ok || m_size == 0 || !Checkpoint(record)) {
        Discard();
        return;
    }
    CloseFd(m_fd);
    m_active = false;
    CloseFd(m_dirFd);
}

bool TargetFile::Take(std::uint64_t length) {
    m_size += length;
    if (m_limit > 0 && m_size > m_limit) {
        m_overLimit = true;
        m_ok = false;
    }
    return m_ok;
}

bool TargetFile::Commit(std::size_t length, std::size_t blockSize) {
    m_fill += length;
    if (!Take(length))
        return false;
    return m_fill + blockSize <= m_buffer.size() || Flush();
}

bool TargetFile::Append(const char* bytes, std::size_t length) {
    if (!Take(length))
        return false;
    while (length > 0) {
        if (m_fill == m_buffer.size() && !Flush())
            return false;
        const std::size_t part = std::min(length, m_buffer.size() - m_fill);
        std::memcpy(m_buffer.data() + m_fill, bytes, part);
        m_fill += part;
        bytes += part;
        length -= part;
    }
    return m_ok;
}

TargetFile::CopyResult TargetFile::CopyFrom(int fd, std::size_t length, std::size_t& got) {
    got = 0;
    if (m_sink)
        return CopyResult::Unsupported;
    if (m_fill > 0 && !Flush())
        return CopyResult::WriteFailed;
    if (!m_ok)
        return CopyResult::WriteFailed;
    ssize_t n;
    do
        n = ::copy_file_range(fd, nullptr, m_fd, nullptr, length, 0);
    while (n < 0 && errno == EINTR);
    if (n >= 0) {
        got = static_cast<std::size_t>(n);
        if (!Take(got))
            return CopyResult::WriteFailed;
        StartWriteback();
        return CopyResult::Copied;
    }
    switch (errno) {
    case EXDEV:
    case ENOSYS:
    case EINVAL:
    case EOPNOTSUPP:
    case EBADF:
        return CopyResult::Unsupported;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EPERM:
        m_ok = false;
        return CopyResult::WriteFailed;
    default:
        return CopyResult::ReadFailed;
    }
}

bool TargetFile::Sync() {
    if (m_fd < 0)
        return false;
    Flush();
    if (m_ok && ::fdatasync(m_fd) != 0)
        m_ok = false;
    return m_ok;
}

bool TargetFile::Replace() {
    if (m_fd < 0 || !m_ok || (m_fill > 0 && !Flush())) {
        Discard();
        return false;
    }
    // The replaced file's permissions carry over, as they did when the
    // target was rewritten in place; a link or anything else there does not
    // lend its own.
    struct stat old {};
    if (::fstatat(m_dirFd, m_targetName.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(old.st_mode))
        ::fchmod(m_fd, old.st_mode & 07777);
    // The file is renamed with its lock held, and only while its name is
    // still the file that was written and checked.
    if (!NameIsOpenFile() || ::renameat(m_dirFd, m_tempName.c_str(), m_dirFd, m_targetName.c_str()) != 0) {
        Discard();
        return false;
    }
    CloseFd(m_fd);
    RemoveRecord();
    m_active = false;
    // The rename itself reaches the disk with the folder.
    ::fsync(m_dirFd);
    CloseFd(m_dirFd);
    return true;
}

bool TargetFile::NameIsOpenFile() const {
    struct stat open {
    }, named{};
    return m_fd >= 0 && m_dirFd >= 0 && ::fstat(m_fd, &open) == 0 &&
           ::fstatat(m_dirFd, m_tempName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

void TargetFile::Discard() {
    // What stands at the name now may be another's: only our own goes.
    if (m_active && NameIsOpenFile()) {
        RemoveRecord();
        ::unlinkat(m_dirFd, m_tempName.c_str(), 0);
    }
    CloseFd(m_fd);
    m_active = false;
    CloseFd(m_dirFd);
    m_fill = 0;
}

bool TargetFile::Flush() {
    std::size_t done = 0;
    while (m_ok && done < m_fill) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_fill - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            m_ok = false;
        else
            done += static_cast<std::size_t>(n);
    }
    if (m_ok && m_sink && m_fill > 0)
        m_sink(m_buffer.data(), m_fill);
    m_fill = 0;
    if (m_ok)
        StartWriteback();
    return m_ok;
}

void TargetFile::StartWriteback() {
    // The file is flushed before it replaces its target. Handing each few
    // MiB to the disk as they are written (without waiting for them) lets
    // the disk work while the transfer goes on, so that flush has little
    // left to do; otherwise the whole file waits in memory until then.
    constexpr std::uint64_t kStep = 8 << 20;
    if (m_size - m_writebackStart < kStep)
        return;
    ::sync_file_range(m_fd, static_cast<off_t>(m_writebackStart),
                      static_cast<off_t>(m_size - m_writebackStart), SYNC_FILE_RANGE_WRITE);
    m_writebackStart = m_size;
}

} // namespace quorvel
