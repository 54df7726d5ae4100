#pragma once

#include "SignatureError.h"
#include "TPublicKey.h"
#include "TSignature.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

class TSigningKey;

// A key document: which keys speak for a product, signed offline by its root
// keys. It names the root keys and how many of them (the threshold) must
// sign the next document, the release keys that sign release statements,
// the online freshness key that signs freshness statements, and how far one
// update may move the release number. Documents are numbered 1, 2, 3, ...;
// each is published for good as N.keys, so a copy that was away for long
// can follow every change of keys in turn. Its text is lines "NAME VALUE"
// ended by "\n", in this order and no other:
//
//   quorvel-keys 1
//   product Quorvel
//   number 2
//   expires 2027-06-01T00:00:00Z
//   root <base64 public key>          1 to 16 lines
//   threshold 2                       1 to the number of roots
//   release <base64 public key>       1 to 16 lines
//   freshness <base64 public key>
//   max-jump 1000
//   signature <base64 public key> <base64 signature>   0 to 32 lines
//
// Keys of one role are listed in ascending order of their text, with no key
// twice and no key in two roles; signature lines likewise by their key. Each
// signature is Ed25519 over the exact bytes of the lines before the first
// signature line. As with release statements, every document has one text
// and any other text is none.
class TKeyDocument {
public:
    static constexpr std::size_t kMaxTextSize = 8192;
    static constexpr std::size_t kMaxKeys = 16;
    static constexpr std::size_t kMaxSignatures = 32;

    struct TFacts {
        std::string product;
        std::uint64_t number = 0; // 1 or more
        std::int64_t expires = 0; // seconds since 1970-01-01T00:00:00Z
        std::vector<TPublicKey> roots;
        unsigned threshold = 0;
        std::vector<TPublicKey> releaseKeys;
        TPublicKey freshnessKey{TPublicKey::Bytes{}};
        std::uint64_t maxJump = 0; // 1 or more
        friend bool operator==(const TFacts&, const TFacts&) = default;
    };
    using TSigned = std::pair<TPublicKey, TSignature>;

    // Nullopt for any text that is not exactly a document's.
    static std::optional<TKeyDocument> Parse(std::string_view text);
    // An unsigned document of facts (their keys put in order). Nullopt and
    // error kBadDocument for facts a document cannot carry.
    static std::optional<TKeyDocument> Make(TFacts facts, SignatureError& error);

    // Adds the key's signature (replacing an earlier one of the same key).
    // Returns a SignatureError code; kBadDocument when all 32 places are
    // taken.
    SignatureError Sign(const TSigningKey& key);

    std::string Text() const;
    // The bytes every signature covers.
    std::string SignedText() const;
    const TFacts& Facts() const { return m_facts; }
    const std::vector<TSigned>& Signatures() const { return m_signatures; }

    // How many of keys have a signature here that verifies.
    unsigned CountSigners(std::span<const TPublicKey> keys) const;

private:
    TKeyDocument(TFacts facts, std::vector<TSigned> signatures)
        : m_facts(std::move(facts)), m_signatures(std::move(signatures)) {}

    TFacts m_facts;
    std::vector<TSigned> m_signatures;
};

} // namespace quorvel
