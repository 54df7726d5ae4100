#include "StrictLines.h"

#include <algorithm>

namespace quorvel {

std::optional<std::string_view> TStrictLines::Take(std::string_view name) {
    const std::size_t end = m_rest.find('\n');
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view line = m_rest.substr(0, end);
    if (line.size() <= name.size() + 1 || !line.starts_with(name) || line[name.size()] != ' ')
        return std::nullopt;
    m_rest.remove_prefix(end + 1);
    return line.substr(name.size() + 1);
}

std::optional<std::uint64_t> StrictDecimal(std::string_view text, std::uint64_t max) {
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0'))
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (value > (max - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

bool StrictName(std::string_view text, std::size_t maxSize, bool spaces) {
    const auto allowed = [spaces](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
               c == '_' || c == '+' || c == '-' || (spaces && c == ' ');
    };
    return !text.empty() && text.size() <= maxSize && text.front() != ' ' && text.back() != ' ' &&
           std::all_of(text.begin(), text.end(), allowed);
}

} // namespace quorvel
