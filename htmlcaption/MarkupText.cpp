#include "MarkupText.h"

#include <algorithm>
#include <climits>

namespace quorvel {

namespace MarkupText {

namespace {

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}
char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool StartsWithNoCase(std::string_view text, size_t at, std::string_view what) {
    if (text.size() - at < what.size())
        return false;
    for (size_t i = 0; i < what.size(); ++i)
        if (Upper(text[at + i]) != Upper(what[i]))
            return false;
    return true;
}

struct TEntity {
    std::string_view Name;
    std::string_view Text;
};

// "&amp;" is handled separately: it leaves an ampersand that may start
// another entity.
constexpr TEntity kEntities[] = {
    {"&quot;", "\""},       {"&sect;", "\xC2\xA7"}, {"&permil;", "\xE2\x80\xB0"}, {"&reg;", "\xC2\xAE"},
    {"&copy;", "\xC2\xA9"}, {"&para;", "\xC2\xB6"}, {"&trade;", "\xE2\x84\xA2"},  {"&euro;", "\xE2\x82\xAC"},
};

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (base == 16 && Upper(c) >= 'A' && Upper(c) <= 'F')
        v = Upper(c) - 'A' + 10;
    return v < base ? v : -1;
}

// Parses the integer syntax; returns the index after the last character read.
size_t ParseInteger(std::string_view text, int& value, bool& anyDigit) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && (text[i] == '$' || Upper(text[i]) == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && Upper(text[i + 1]) == 'X') {
        base = 16;
        i += 2;
    }
    long long v = 0;
    anyDigit = false;
    for (int d; i < text.size() && (d = DigitValue(text[i], base)) >= 0; ++i) {
        anyDigit = true;
        v = std::min<long long>(v * base + d, static_cast<long long>(INT_MAX) + 1);
    }
    if (negative)
        v = -v;
    value = static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX));
    return i;
}

} // namespace

char UpperAt(std::string_view text, size_t i) {
    if (i >= text.size())
        return '\0';
    return Upper(text[i]);
}

std::string UpperCase(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        c = Upper(c);
    return s;
}

std::string LowerCase(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        c = Lower(c);
    return s;
}

size_t PosNoCase(std::string_view what, std::string_view text) {
    if (what.empty() || what.size() > text.size())
        return 0;
    for (size_t i = 0; i + what.size() <= text.size(); ++i)
        if (StartsWithNoCase(text, i, what))
            return i + 1;
    return 0;
}

bool ReplaceFirstNoCase(std::string& text, std::string_view what, std::string_view with) {
    const size_t pos = PosNoCase(what, text);
    if (pos == 0)
        return false;
    text.replace(pos - 1, what.size(), with);
    return true;
}

// Each entity spans from its "&" to the next ";" with only letters between,
// so replacing one never breaks another. "&amp;" gives "&&" (one ampersand on
// screen) and its second ampersand may begin another entity, whose character
// then follows the pair. One left-to-right scan does this in linear time.
std::string ReplaceEntities(std::string_view markup) {
    std::string out;
    out.reserve(markup.size() + 8);
    bool pendingAmp = false; // the "&" of an "&amp;" just emitted may start an entity at i
    size_t i = 0;
    while (i < markup.size()) {
        size_t nameStart = 0;
        if (pendingAmp) {
            nameStart = i;
        } else if (markup[i] == '&') {
            nameStart = i + 1;
        } else {
            out += markup[i++];
            continue;
        }
        const std::string_view tail = markup.substr(nameStart);
        const bool wasPending = pendingAmp;
        pendingAmp = false;
        if (StartsWithNoCase(tail, 0, "amp;")) {
            out += "&&";
            pendingAmp = true;
            i = nameStart + 4;
            continue;
        }
        bool replaced = false;
        for (const TEntity& e : kEntities) {
            if (StartsWithNoCase(tail, 0, e.Name.substr(1))) {
                out += e.Text;
                i = nameStart + e.Name.size() - 1;
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            if (!wasPending)
                out += '&';
            i = nameStart;
        }
    }
    return out;
}

std::string PrepareMarkup(std::string_view markup) {
    std::string s =
        markup.find('&') != std::string_view::npos ? ReplaceEntities(markup) : std::string(markup);
    const size_t escape = s.find("<#");
    if (escape != std::string::npos) {
        const size_t close = s.find('>', escape + 1);
        if (close != std::string::npos)
            s.erase(close, 1);
        s.erase(escape, 1);
    }
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == '\n')
            continue;
        if (c == '\r')
            out += "<BR>";
        else
            out += c;
    }
    return out;
}

std::string ReplaceRunEntities(std::string_view run) {
    if (run.find('&') == std::string_view::npos)
        return std::string(run);
    std::string out;
    out.reserve(run.size());
    for (size_t i = 0; i < run.size();) {
        if (run.compare(i, 6, "&nbsp;") == 0) {
            out += ' ';
            i += 6;
        } else if (run.compare(i, 4, "&lt;") == 0) {
            out += '<';
            i += 4;
        } else if (run.compare(i, 4, "&gt;") == 0) {
            out += '>';
            i += 4;
        } else {
            out += run[i++];
        }
    }
    return out;
}

int ReadInteger(std::string_view text) {
    int value = 0;
    bool any = false;
    ParseInteger(text, value, any);
    return any ? value : 0;
}

bool ReadStrictInteger(std::string_view text, int& value) {
    bool any = false;
    int v = 0;
    const size_t end = ParseInteger(text, v, any);
    if (!any || end != text.size())
        return false;
    value = v;
    return true;
}

std::string QuotedValueFrom(std::string_view text, size_t from) {
    const size_t open = text.find('"', from);
    if (open == std::string_view::npos)
        return {};
    const size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos)
        return {};
    return std::string(text.substr(open + 1, close - open - 1));
}

std::string AttributeValue(std::string_view text, std::string_view name) {
    const size_t at = text.find(name);
    if (at == std::string_view::npos)
        return {};
    return QuotedValueFrom(text, at + name.size());
}

} // namespace MarkupText

} // namespace quorvel
