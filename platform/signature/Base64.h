#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// Standard base64 (RFC 4648 alphabet, "=" padding) for keys and signatures.
namespace Base64 {

std::string Encode(std::string_view bytes);

// Decodes text that is exactly the canonical encoding of `size` bytes: no
// white space, no missing or extra padding, no stray bits in the last
// character. Anything else gives nullopt, so one value has one text.
std::optional<std::string> DecodeExact(std::string_view text, std::size_t size);

// Removes one line ending ("\n" or "\r\n") at the end of text, if any.
std::string_view WithoutLineEnd(std::string_view text);

} // namespace Base64

} // namespace quorvel
