#include "ReleaseRecord.h"

#include "TUniqueFd.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

namespace ReleaseRecord {

namespace {

// "18446744073709551615\n" and a little room: anything longer is no record.
constexpr std::size_t kMaxSize = 32;

} // namespace

QString Name(const QString& packageName) {
    QString stem = packageName;
    if (stem.endsWith(QStringLiteral(".cab"), Qt::CaseInsensitive))
        stem.chop(4);
    return QLatin1Char('.') + stem + QStringLiteral(".release");
}

std::string Text(std::uint64_t release) {
    return std::to_string(release) + "\n";
}

TReadResult ReadRecord(const QString& folder, const QString& packageName) {
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    // Non-blocking, so that a FIFO planted at the name cannot hold the open.
    const TUniqueFd file(open(QFile::encodeName(base + Name(packageName)).constData(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid())
        return {errno == ENOENT  ? TStatus::Missing
                : errno == ELOOP ? TStatus::Untrusted
                                 : TStatus::Unreadable};
    // In a folder others may write to, only a file of ours says what we installed.
    struct stat st {};
    if (fstat(file.Get(), &st) != 0)
        return {TStatus::Unreadable};
    if (!S_ISREG(st.st_mode) || st.st_uid != geteuid() || st.st_nlink != 1)
        return {TStatus::Untrusted};
    char text[kMaxSize + 1];
    std::size_t size = 0;
    while (size < sizeof text) {
        const ssize_t got = read(file.Get(), text + size, sizeof text - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return {TStatus::Unreadable};
        if (got == 0)
            break;
        size += static_cast<std::size_t>(got);
    }
    if (size < 2 || size > kMaxSize || text[size - 1] != '\n' || (text[0] == '0' && size > 2))
        return {TStatus::Malformed};
    std::uint64_t release = 0;
    const auto [end, error] = std::from_chars(text, text + size - 1, release);
    if (error != std::errc() || end != text + size - 1)
        return {TStatus::Malformed};
    return {TStatus::Found, release};
}

std::uint64_t Read(const QString& folder, const QString& packageName) {
    const TReadResult record = ReadRecord(folder, packageName);
    return record.status == TStatus::Found ? record.release : 0;
}

} // namespace ReleaseRecord
