#pragma once

#include "QuorvelExport.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// A detached Ed25519 signature of a file. The signed message is the 64-byte
// SHA-512 digest of the whole file, so a file of any size is signed and
// checked while it is read block by block.
//
// Its text form, the signature file, is one line: the base64 of the 64
// signature bytes (88 characters), optionally ended by "\n" or "\r\n".
class QUORVEL_EXPORT TSignature {
public:
    static constexpr std::size_t kSize = 64;
    // A signature file is never longer than this; a longer one is not read.
    static constexpr std::size_t kMaxTextSize = 256;
    using Bytes = std::array<unsigned char, kSize>;

    explicit TSignature(const Bytes& bytes) : m_bytes(bytes) {}

    // Parses the text of a signature file; nullopt when it is anything but
    // the form above.
    static std::optional<TSignature> Parse(std::string_view text);

    // The text of a signature file, with its "\n".
    std::string Text() const;
    const Bytes& Data() const { return m_bytes; }

    friend bool operator==(const TSignature&, const TSignature&) = default;

private:
    Bytes m_bytes;
};

} // namespace quorvel
