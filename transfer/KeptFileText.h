#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

namespace quorvel {

// Small text helpers shared by the names of kept downloads, their resume
// records and the range answers they are matched against.
namespace KeptFileText {

// FNV-1a, 64 bits: short, stable across runs and builds.
inline std::uint64_t Hash(const std::string& text) {
    std::uint64_t h = 14695981039346656037ULL;
    for (unsigned char c : text) {
        h ^= c;
        h *= 1099511628211ULL;
    }
    return h;
}

// Sixteen lower-case hex digits.
inline std::string Hex(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// A plain decimal number of at most 19 digits (no sign, no spaces), so it
// always fits in 64 bits.
inline bool ParseDecimal(const std::string& text, std::uint64_t& value) {
    if (text.empty() || text.size() > 19 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    value = std::stoull(text);
    return true;
}

} // namespace KeptFileText

} // namespace quorvel
