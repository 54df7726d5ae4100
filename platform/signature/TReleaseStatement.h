#pragma once

#include "QuorvelExport.h"

#include "SignatureError.h"
#include "TPublicKey.h"
#include "TSha512.h"
#include "TSignature.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quorvel {

class TSigningKey;

// A release statement: the vendor's signed word on one update package,
// published next to it. It names the product, the package file, a release
// number that only grows, the package's size and SHA-512 digest and a time
// after which it no longer counts. Its text is lines, each "NAME VALUE"
// ended by "\n", in this order and no other:
//
//   quorvel-release 2
//   product Quorvel
//   package DirevidUreziv.cab
//   channel beta                  (optional)
//   release 7
//   base 6                        (optional)
//   size 3000342
//   sha512 <128 lower-case hexadecimal digits>
//   expires 2026-02-14T10:00:00Z
//   signature <base64 of the 64-byte Ed25519 signature>
//
// A statement with a base describes a delta package: it turns the files of
// release 6 into those of release 7 (the base is below the release).
// Format 1, still read and made (facts without a package), has none of the
// package, channel and base lines. The signature covers the exact bytes of the
// lines before it, their line ends included. Every value has one spelling (decimal numbers without
// leading zeros, UTC times as shown, canonical base64), so a statement has
// exactly one text, and nothing else (a field unknown, repeated or out of
// order, a blank, a "\r", a missing last line end) is a statement.
class QUORVEL_EXPORT TReleaseStatement {
public:
    // The longest text taken: what a fetch reads at most.
    static constexpr std::size_t kMaxTextSize = 1024;
    static constexpr std::size_t kMaxProductSize = 64;
    static constexpr std::size_t kMaxPackageNameSize = 128;
    static constexpr std::size_t kMaxChannelSize = 64;
    // Sizes are those a file can have.
    static constexpr std::uint64_t kMaxPackageSize = INT64_MAX;
    // How far ahead of now a statement signed by the one built-in release
    // key may expire: a statement a hostile server replays keeps working
    // at most this long.
    static constexpr std::int64_t kMaxExpiryAhead = 45 * 24 * 60 * 60;

    struct TFacts {
        std::string product;
        std::string package;       // the package's file name; empty: a format 1 statement
        std::string channel;       // empty: none (format 2 only)
        std::uint64_t release = 0; // 1 or more
        std::uint64_t base = 0;    // a delta package's base release; 0: a full package
        std::uint64_t size = 0;    // of the package, in bytes
        TSha512::Digest sha512{};  // of the package
        std::int64_t expires = 0;  // seconds since 1970-01-01T00:00:00Z
        friend bool operator==(const TFacts&, const TFacts&) = default;
    };

    // Nullopt for any text that is not exactly a statement's.
    static std::optional<TReleaseStatement> Parse(std::string_view text);
    // Signs facts. Returns nullopt and sets error (a SignatureError code):
    // kBadStatement for facts a statement cannot carry, or a signing error.
    static std::optional<TReleaseStatement> Make(const TFacts& facts, const TSigningKey& key,
                                                 SignatureError& error);

    // What a caller demands of a statement besides its signature.
    struct TDemand {
        std::string_view product;
        // The package's file name; empty demands none. A statement without
        // a package (format 1) never matches a demanded name.
        std::string_view package;
        // The channel the caller follows, matched exactly: empty takes only
        // statements without a channel.
        std::string_view channel;
        // 0 demands a full package (no base line); N demands a delta
        // package from release N.
        std::uint64_t base = 0;
        // The latest expiry taken, in seconds after now: kExpiresTooLate
        // beyond it. Key documents' release keys sign statements that a
        // short-lived freshness statement keeps fresh: they take any.
        std::int64_t maxExpiryAhead = kMaxExpiryAhead;
    };

    // A product name: 1 to 64 of the characters A-Z a-z 0-9 space . _ + -,
    // not beginning or ending with a space.
    static bool ValidProduct(std::string_view name);
    // A package file name: 1 to 128 of A-Z a-z 0-9 . _ + -, not beginning
    // with "."; a channel: 1 to 64 of the same.
    static bool ValidPackageName(std::string_view name);
    static bool ValidChannel(std::string_view name);

    std::string Text() const;
    const TFacts& Facts() const { return m_facts; }

    // kNone when one of keys signed the statement, it names product (and no
    // channel), it is for a full package, it has not expired at now (seconds
    // since 1970) and expires at most kMaxExpiryAhead after now; otherwise
    // kMismatch (no key signed it), kOtherProduct, kOtherPackage, kOtherBase,
    // kExpired or kExpiresTooLate, checked in that order.
    SignatureError Check(std::span<const TPublicKey> keys, std::string_view product, std::int64_t now) const;
    // The same, and the package and channel demanded (kOtherPackage when
    // either differs) and the kind of package (kOtherBase when a full one
    // is demanded of a delta statement, a delta of a full one, or a delta
    // from another base), checked after the product.
    SignatureError Check(std::span<const TPublicKey> keys, const TDemand& demand, std::int64_t now) const;
    // kNone when a package of this size and digest is the one stated,
    // kPackageMismatch otherwise.
    SignatureError CheckPackage(std::uint64_t size, const TSha512::Digest& digest) const;

private:
    TReleaseStatement(TFacts facts, const TSignature& signature)
        : m_facts(std::move(facts)), m_signature(signature) {}
    static std::string SignedText(const TFacts& facts);

    TFacts m_facts;
    TSignature m_signature;
};

} // namespace quorvel
