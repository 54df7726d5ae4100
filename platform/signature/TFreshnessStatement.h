#pragma once

#include "SignatureError.h"
#include "TPublicKey.h"
#include "TSignature.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

class TSigningKey;

// A freshness statement: "release 8 of this package is the newest, until
// this time", signed often and online by the freshness key that the key
// document names, so that the release keys can stay offline while a server
// that replays an old release statement is still found out within days. It
// also names the newest key document, so that a server cannot hide one that
// revoked a key. Its text is lines "NAME VALUE" ended by "\n", in this order
// and no other:
//
//   quorvel-fresh 1
//   product Quorvel
//   package DirevidUreziv.cab
//   channel beta                  (optional)
//   release 8
//   keys 3
//   expires 2026-12-20T00:00:00Z
//   signature <base64 of the 64-byte Ed25519 signature>
//
// The signature covers the exact bytes of the lines before it. One text per
// statement, as with release statements.
class TFreshnessStatement {
public:
    static constexpr std::size_t kMaxTextSize = 1024;

    struct TFacts {
        std::string product;
        std::string package;
        std::string channel;       // empty: none
        std::uint64_t release = 0; // 1 or more: the newest release
        std::uint64_t keys = 0;    // 1 or more: the newest key document's number
        std::int64_t expires = 0;  // seconds since 1970-01-01T00:00:00Z
        friend bool operator==(const TFacts&, const TFacts&) = default;
    };

    // Nullopt for any text that is not exactly a statement's.
    static std::optional<TFreshnessStatement> Parse(std::string_view text);
    // Signs facts. Nullopt and error (a SignatureError code): kBadDocument
    // for facts a statement cannot carry, or a signing error.
    static std::optional<TFreshnessStatement> Make(const TFacts& facts, const TSigningKey& key,
                                                   SignatureError& error);

    std::string Text() const;
    const TFacts& Facts() const { return m_facts; }
    // kNone when key signed the statement, kMismatch otherwise.
    SignatureError Verify(const TPublicKey& key) const;

private:
    TFreshnessStatement(TFacts facts, const TSignature& signature)
        : m_facts(std::move(facts)), m_signature(signature) {}
    static std::string SignedText(const TFacts& facts);

    TFacts m_facts;
    TSignature m_signature;
};

} // namespace quorvel
