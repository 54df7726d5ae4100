#include "ResumeRecord.h"

#include "KeptFileText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace quorvel {

namespace {

constexpr const char* kMagic = "quorvel-resume 1";
// A record is a few lines; anything longer is not one of ours.
constexpr std::size_t kMaxRecord = 16384;

using KeptFileText::Hash;
using KeptFileText::Hex;
using KeptFileText::ParseDecimal;

// Values are single lines of printable text.
bool Printable(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x20; });
}

std::string Body(const ResumeRecord& r) {
    return std::string(kMagic) + "\nurl " + r.url + "\nvalidator " + r.validator + "\ntotal " +
           std::to_string(r.total) + "\nflushed " + std::to_string(r.flushed) + "\nboot " + r.boot + "\n";
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

std::optional<ResumeRecord> ResumeRecord::Read(int dirFd, const std::string& name) {
    const int fd = ::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    // Only a record of ours: anyone who may write the folder could plant one.
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())) {
        ::close(fd);
        return std::nullopt;
    }
    if (fd < 0)
        return std::nullopt;
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || text.size() + static_cast<std::size_t>(n) > kMaxRecord)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return Parse(text);
}

std::optional<ResumeRecord> ResumeRecord::Parse(const std::string& text) {
    if (text.size() > kMaxRecord)
        return std::nullopt;
    const auto checkAt = text.rfind("\ncheck ") + 1;
    if (checkAt == 0 || text.back() != '\n' ||
        text.substr(checkAt + 6, text.size() - checkAt - 7) != Hex(Hash(text.substr(0, checkAt))))
        return std::nullopt;
    std::istringstream lines(text.substr(0, checkAt));
    std::string line;
    ResumeRecord r;
    std::uint64_t fields = 0;
    if (!std::getline(lines, line) || line != kMagic)
        return std::nullopt;
    while (std::getline(lines, line)) {
        const auto space = line.find(' ');
        const std::string key = line.substr(0, space);
        const std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (!Printable(value))
            return std::nullopt;
        if (key == "url")
            r.url = value, fields |= 1;
        else if (key == "validator")
            r.validator = value, fields |= 2;
        else if (key == "total" && ParseDecimal(value, r.total))
            fields |= 4;
        else if (key == "flushed" && ParseDecimal(value, r.flushed))
            fields |= 8;
        else if (key == "boot")
            r.boot = value, fields |= 16;
        else
            return std::nullopt;
    }
    if (fields != 31 || r.validator.empty() || r.total == 0 || r.flushed > r.total)
        return std::nullopt;
    return r;
}

bool ResumeRecord::Write(int dirFd, const std::string& name) const {
    const std::string text = Text();
    if (text.empty())
        return false;
    const std::string fresh = name + ".new";
    ::unlinkat(dirFd, fresh.c_str(), 0);
    const int fd = ::openat(dirFd, fresh.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const bool written = WriteAll(fd, text) && ::fdatasync(fd) == 0;
    if (::close(fd) != 0 || !written || ::renameat(dirFd, fresh.c_str(), dirFd, name.c_str()) != 0) {
        ::unlinkat(dirFd, fresh.c_str(), 0);
        return false;
    }
    return true;
}

std::string ResumeRecord::Text() const {
    if (!Printable(url) || !Printable(validator) || !Printable(boot))
        return std::string();
    const std::string body = Body(*this);
    return body + "check " + Hex(Hash(body)) + "\n";
}

std::uint64_t ResumeRecord::TrustedLength(std::uint64_t fileSize) const {
    const bool sameBoot = !boot.empty() && boot == BootId();
    return std::min({fileSize, total, sameBoot ? total : flushed});
}

const std::string& ResumeRecord::BootId() {
    static const std::string id = [] {
        std::ifstream in("/proc/sys/kernel/random/boot_id");
        std::string text;
        std::getline(in, text);
        return Printable(text) ? text : std::string();
    }();
    return id;
}

} // namespace quorvel
