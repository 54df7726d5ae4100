#pragma once

#include "QuorvelExport.h"

#include "FileDigest.h"
#include "SignatureError.h"
#include "TSignature.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// An Ed25519 public key: the 32 raw key bytes, written as base64 (44
// characters) in build settings and in the key files of the signing tool.
class QUORVEL_EXPORT TPublicKey {
public:
    static constexpr std::size_t kSize = 32;
    using Bytes = std::array<unsigned char, kSize>;

    explicit TPublicKey(const Bytes& bytes) : m_bytes(bytes) {}

    // The canonical base64 of 32 bytes, optionally ended by a line ending;
    // nullopt for anything else.
    static std::optional<TPublicKey> FromBase64(std::string_view text);
    std::string Base64() const;
    const Bytes& Data() const { return m_bytes; }

    // Checks a signature over the exact bytes of a message. Returns a
    // SignatureError code: kNone when it verifies, kMismatch when it does
    // not, kLibrary.
    SignatureError Verify(std::string_view message, const TSignature& signature) const;

    // Checks a signature over a digest or over a whole file (read in blocks).
    // Returns a SignatureError code: kNone when it verifies, kMismatch when
    // it does not, kCannotRead, kBadKey or kLibrary.
    SignatureError VerifyDigest(const FileDigest::Sha512& digest, const TSignature& signature) const;
    SignatureError VerifyFile(const std::string& path, const TSignature& signature) const;

    friend bool operator==(const TPublicKey&, const TPublicKey&) = default;

private:
    Bytes m_bytes;
};

} // namespace quorvel
