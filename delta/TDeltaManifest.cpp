#include "TDeltaManifest.h"

#include "InstallJournal.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace quorvel {

namespace {

constexpr std::string_view kHeader = "quorvel-delta 1";
// The header of a list that marks files as programs to run.
constexpr std::string_view kHeaderWithPrograms = "quorvel-delta 2";
constexpr std::string_view kProgram = "+x";
constexpr std::string_view kEnd = "end";
constexpr char kHexDigits[] = "0123456789ABCDEF";

bool NeedsEscape(unsigned char c) {
    return c < 0x20 || c == 0x7F || c == '%';
}

std::string Escape(std::string_view path) {
    std::string text;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (NeedsEscape(byte)) {
            text += '%';
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 15];
        } else {
            text += c;
        }
    }
    return text;
}

int HexValue(char c) {
    const char* at = std::char_traits<char>::find(kHexDigits, 16, c);
    return at ? static_cast<int>(at - kHexDigits) : -1;
}

// Only the one form Escape writes is taken back.
bool Unescape(std::string_view text, std::string& path) {
    path.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (NeedsEscape(byte) && byte != '%')
            return false;
        if (byte != '%') {
            path += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
        if (high < 0 || low < 0 || !NeedsEscape(static_cast<unsigned char>(high * 16 + low)))
            return false;
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return true;
}

bool ParseSize(std::string_view text, std::uint64_t& size) {
    if (text.empty() || (text.size() > 1 && text[0] == '0'))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    return error == std::errc() && end == text.data() + text.size() && size <= TDeltaManifest::kMaxSize;
}

// The line's words split on single spaces; the last one takes the rest.
std::vector<std::string_view> Words(std::string_view line, std::size_t count) {
    std::vector<std::string_view> words;
    while (words.size() + 1 < count) {
        const std::size_t cut = line.find(' ');
        if (cut == std::string_view::npos)
            return {};
        words.push_back(line.substr(0, cut));
        line.remove_prefix(cut + 1);
    }
    words.push_back(line);
    return words;
}

bool ParseEntry(std::string_view line, TDeltaEntry& entry) {
    const std::string_view kind = line.substr(0, line.find(' '));
    const bool patch = kind == "patch" || kind == "patch+x";
    if (!patch && kind != "whole" && kind != "whole+x")
        return false;
    entry.executable = kind.ends_with(kProgram);
    const std::vector<std::string_view> words = Words(line, patch ? 6 : 5);
    if (words.empty())
        return false;
    std::size_t at = 1;
    entry.kind = patch ? TDeltaEntry::TKind::Patch : TDeltaEntry::TKind::Whole;
    if (patch) {
        const auto base = TSha512::FromHex(words[at++]);
        if (!base)
            return false;
        entry.base = *base;
    }
    const auto result = TSha512::FromHex(words[at++]);
    if (!result || !ParseSize(words[at++], entry.size))
        return false;
    entry.result = *result;
    entry.entry = words[at++];
    return TDeltaManifest::ValidEntryName(entry.entry) && Unescape(words[at], entry.path) &&
           TInstallJournal::ValidPath(entry.path);
}

bool HasPrograms(const std::vector<TDeltaEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(),
                       [](const TDeltaEntry& entry) { return entry.executable; });
}

// No listed path may be a folder on the way to another.
bool NoFileHoldsAnother(const std::set<std::string, std::less<>>& paths) {
    for (const std::string& path : paths)
        for (std::size_t cut = path.find('/'); cut != std::string::npos; cut = path.find('/', cut + 1))
            if (paths.contains(std::string_view(path).substr(0, cut)))
                return false;
    return true;
}

} // namespace

bool TDeltaManifest::ValidEntryName(std::string_view name) {
    if (name.empty() || name.size() > kMaxEntryName || name == kName || name == "." || name == "..")
        return false;
    for (const char c : name)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
              c == '_' || c == '-'))
            return false;
    return true;
}

std::string TDeltaManifest::Format() const {
    std::string text(HasPrograms(entries) ? kHeaderWithPrograms : kHeader);
    text += '\n';
    for (const TDeltaEntry& entry : entries) {
        text += entry.kind == TDeltaEntry::TKind::Patch ? "patch" : "whole";
        if (entry.executable)
            text += kProgram;
        text += ' ';
        if (entry.kind == TDeltaEntry::TKind::Patch)
            text += TSha512::Hex(entry.base) + ' ';
        text += TSha512::Hex(entry.result) + ' ' + std::to_string(entry.size) + ' ' + entry.entry + ' ' +
                Escape(entry.path) + '\n';
    }
    text += kEnd;
    text += '\n';
    return text;
}

bool TDeltaManifest::Parse(std::string_view text, TDeltaManifest& manifest) {
    if (text.size() > kMaxText || !text.ends_with('\n'))
        return false;
    TDeltaManifest read;
    std::set<std::string, std::less<>> paths, names;
    bool header = false, ended = false, programs = false;
    while (!text.empty()) {
        const std::size_t cut = text.find('\n');
        const std::string_view line = text.substr(0, cut);
        text.remove_prefix(cut + 1);
        if (ended || line.size() > kMaxLine)
            return false;
        if (!header) {
            if (line != kHeader && line != kHeaderWithPrograms)
                return false;
            header = true;
            programs = line == kHeaderWithPrograms;
            continue;
        }
        if (line == kEnd) {
            ended = true;
            continue;
        }
        TDeltaEntry entry;
        if (read.entries.size() >= kMaxEntries || !ParseEntry(line, entry) ||
            !paths.insert(entry.path).second || !names.insert(entry.entry).second)
            return false;
        read.entries.push_back(std::move(entry));
    }
    // Each list has one header: the second one exactly when a file is a program.
    if (!ended || !NoFileHoldsAnother(paths) || HasPrograms(read.entries) != programs)
        return false;
    manifest = std::move(read);
    return true;
}

} // namespace quorvel
