#include "InstallJournal.h"

#include "DurableWrite.h"
#include "TFileOps.h"
#include "TUniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel {

namespace {

const std::string_view kHeader = "quorvel install journal 1";

std::string Escape(std::string_view path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || c == '%') {
            out += '%';
            out += digits[byte >> 4];
            out += digits[byte & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool Unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

} // namespace

bool TInstallJournal::ValidPath(std::string_view path) {
    if (path.empty())
        return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t cut = path.find('/', start);
        if (cut == std::string_view::npos)
            cut = path.size();
        const std::string_view name = path.substr(start, cut - start);
        if (name.empty() || name == "." || name == ".." || name.find('\\') != std::string_view::npos ||
            name.find('\0') != std::string_view::npos)
            return false;
        start = cut + 1;
    }
    return true;
}

std::string TInstallJournal::Format(const TInstallPlan& plan) {
    std::string text(kHeader);
    text += '\n';
    for (const std::string& path : plan.setAside)
        text += "aside " + Escape(path) + '\n';
    for (const std::string& folder : plan.newFolders)
        text += "folder " + Escape(folder) + '\n';
    for (const TInstallPlan::TFile& file : plan.files)
        text += std::string("file ") + (file.existed ? '1' : '0') + ' ' + Escape(file.path) + '\n';
    text += "end\n";
    return text;
}

bool TInstallJournal::TReader::Line(std::string_view line) {
    if (m_bad)
        return false;
    const bool first = m_lines++ == 0;
    std::string path;
    if (first) {
        m_bad = line != kHeader;
    } else if (m_ended) {
        m_bad = true; // nothing may follow the end line
    } else if (line == "end") {
        m_ended = true;
    } else if (line.starts_with("aside ")) {
        m_bad = !Unescape(line.substr(6), path) || !ValidPath(path);
        if (!m_bad)
            m_plan.setAside.push_back(std::move(path));
    } else if (line.starts_with("folder ")) {
        m_bad = !Unescape(line.substr(7), path) || !ValidPath(path);
        if (!m_bad)
            m_plan.newFolders.push_back(std::move(path));
    } else if (line.size() > 7 && line.starts_with("file ") && (line[5] == '0' || line[5] == '1') &&
               line[6] == ' ') {
        m_bad = !Unescape(line.substr(7), path) || !ValidPath(path);
        if (!m_bad)
            m_plan.files.push_back({std::move(path), line[5] == '1'});
    } else {
        m_bad = true;
    }
    return !m_bad;
}

bool TInstallJournal::TReader::Finish(TInstallPlan& plan) {
    if (m_bad || !m_ended)
        return false;
    plan = std::move(m_plan);
    m_plan = {};
    return true;
}

bool TInstallJournal::Parse(std::string_view text, TInstallPlan& plan) {
    TReader reader;
    while (!text.empty()) {
        const std::size_t cut = text.find('\n');
        if (cut == std::string_view::npos || cut > kMaxLine)
            return false; // every line, the last included, ends in a line feed
        if (!reader.Line(text.substr(0, cut)))
            return false;
        text.remove_prefix(cut + 1);
    }
    return reader.Finish(plan);
}

bool TInstallJournal::Place(int dir, const std::string& name, const std::string& tempName,
                            const TInstallPlan& plan, TFileOps& ops) {
    ops.Unlink(dir, tempName.c_str(), 0);
    const TUniqueFd fd(
        openat(dir, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    // The text is no larger than the plan it describes, which is in memory already.
    if (fd.Valid() && DurableWrite::WriteAll(ops, fd.Get(), Format(plan)) &&
        ops.RenameOver(dir, tempName.c_str(), dir, name.c_str()) == 0)
        return true;
    ops.Unlink(dir, tempName.c_str(), 0);
    return false;
}

TInstallJournal::TReadStatus TInstallJournal::Read(int dir, const std::string& name, TInstallPlan& plan) {
    const TUniqueFd fd(openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return errno == ENOENT  ? TReadStatus::Missing
               : errno == ELOOP ? TReadStatus::Damaged
                                : TReadStatus::Unreadable;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0)
        return TReadStatus::Unreadable;
    if (!S_ISREG(st.st_mode))
        return TReadStatus::Damaged;
    TReader reader;
    std::string line;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd.Get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        // An error of the disk says nothing of the journal's text: it stays
        // for a later try.
        if (got < 0)
            return TReadStatus::Unreadable;
        if (got == 0)
            break;
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != '\n') {
                line += buffer[i];
                if (line.size() > kMaxLine)
                    return TReadStatus::Damaged;
            } else if (!reader.Line(line)) {
                return TReadStatus::Damaged;
            } else {
                line.clear();
            }
        }
    }
    // A last line without its line feed means the journal is not whole.
    return line.empty() && reader.Finish(plan) ? TReadStatus::Read : TReadStatus::Damaged;
}

} // namespace quorvel
