#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quorvel {

// Reads the signed texts of this layer (release, freshness and key
// statements): lines "NAME VALUE" each ended by "\n", in one order. The
// caller takes the lines it expects one by one; anything else is left
// unread, so a text with an unknown, repeated or misplaced line never
// reaches its end and is refused.
class TStrictLines {
public:
    explicit TStrictLines(std::string_view text) : m_rest(text), m_size(text.size()) {}

    // The value of the next line when it is "name VALUE\n" with a non-empty
    // value, and moves past it; nullopt (and nothing read) otherwise.
    std::optional<std::string_view> Take(std::string_view name);
    bool AtEnd() const { return m_rest.empty(); }
    // Bytes read so far: the length of the text a signature covers.
    std::size_t Offset() const { return m_size - m_rest.size(); }

private:
    std::string_view m_rest;
    std::size_t m_size;
};

// A decimal number without sign, blanks or leading zeros, up to max.
std::optional<std::uint64_t> StrictDecimal(std::string_view text, std::uint64_t max);

// A name: 1 to maxSize of A-Z a-z 0-9 . _ + - and, when spaces is true,
// inner spaces (never first or last).
bool StrictName(std::string_view text, std::size_t maxSize, bool spaces);

} // namespace quorvel
