#include "ReleaseRecord.h"

#include "OwnFile.h"

#include <QFile>

#include <algorithm>
#include <charconv>

namespace quorvel {

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
    // In a folder others may write to, only a file of ours says what we installed.
    std::string text;
    switch (OwnFile::Read(QFile::encodeName(base + Name(packageName)).toStdString(), kMaxSize, text)) {
    case OwnFile::TRead::Found:
        break;
    case OwnFile::TRead::Missing:
        return {TStatus::Missing};
    case OwnFile::TRead::Untrusted:
        return {TStatus::Untrusted};
    case OwnFile::TRead::Unreadable:
        return {TStatus::Unreadable};
    case OwnFile::TRead::TooLarge:
        return {TStatus::Malformed};
    }
    const std::size_t size = text.size();
    if (size < 2 || text[size - 1] != '\n' || (text[0] == '0' && size > 2))
        return {TStatus::Malformed};
    std::uint64_t release = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + size - 1, release);
    if (error != std::errc() || end != text.data() + size - 1)
        return {TStatus::Malformed};
    return {TStatus::Found, release};
}

std::uint64_t Read(const QString& folder, const QString& packageName) {
    const TReadResult record = ReadRecord(folder, packageName);
    return record.status == TStatus::Found ? record.release : 0;
}

std::optional<std::uint64_t> Installed(const QString& folder, const QString& packageName,
                                       std::uint64_t builtIn) {
    const TReadResult record = ReadRecord(folder, packageName);
    switch (record.status) {
    case TStatus::Found:
        return std::max(record.release, builtIn);
    case TStatus::Missing:
        return builtIn;
    case TStatus::Untrusted:
    case TStatus::Unreadable:
    case TStatus::Malformed:
        break;
    }
    // What is installed cannot be told: nothing is taken for newer.
    return std::nullopt;
}

bool AboveInstalled(const QString& folder, const QString& packageName, std::uint64_t builtIn,
                    std::uint64_t release) {
    const std::optional<std::uint64_t> installed = Installed(folder, packageName, builtIn);
    return installed && release > *installed;
}

} // namespace ReleaseRecord

} // namespace quorvel
