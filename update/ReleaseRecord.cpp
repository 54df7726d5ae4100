#include "ReleaseRecord.h"

#include "TUniqueFd.h"

#include <QFile>

#include <fcntl.h>
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

std::uint64_t Read(const QString& folder, const QString& packageName) {
    const QString base = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    const TUniqueFd file(
        open(QFile::encodeName(base + Name(packageName)).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.Valid())
        return 0;
    char text[kMaxSize + 1];
    std::size_t size = 0;
    while (size < sizeof text) {
        const ssize_t got = read(file.Get(), text + size, sizeof text - size);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        size += static_cast<std::size_t>(got);
    }
    if (size < 2 || size > kMaxSize || text[size - 1] != '\n' || (text[0] == '0' && size > 2))
        return 0;
    std::uint64_t release = 0;
    const auto [end, error] = std::from_chars(text, text + size - 1, release);
    return error == std::errc() && end == text + size - 1 ? release : 0;
}

} // namespace ReleaseRecord
