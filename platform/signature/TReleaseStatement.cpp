#include "TReleaseStatement.h"

#include "Base64.h"
#include "SignatureError.h"
#include "StrictLines.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <algorithm>

namespace quorvel {

namespace {

// Format 1 has no package line; format 2 names the package and may name a
// channel.
const char* const kFormat1 = "1";
const char* const kFormat2 = "2";

bool ValidFacts(const TReleaseStatement::TFacts& facts) {
    const bool named = !facts.package.empty();
    return TReleaseStatement::ValidProduct(facts.product) &&
           (!named || TReleaseStatement::ValidPackageName(facts.package)) &&
           (facts.channel.empty() || (named && TReleaseStatement::ValidChannel(facts.channel))) &&
           facts.release > 0 && (facts.base == 0 || (named && facts.base < facts.release)) &&
           facts.size <= TReleaseStatement::kMaxPackageSize && !UtcTime::Format(facts.expires).empty();
}

// The facts of the lines before the signature, or nullopt when they are not
// exactly those of format 1 or 2.
std::optional<TReleaseStatement::TFacts> ReadFacts(TStrictLines& lines) {
    const auto format = lines.Take("quorvel-release");
    if (!format || (*format != kFormat1 && *format != kFormat2))
        return std::nullopt;
    const bool named = *format == kFormat2;
    TReleaseStatement::TFacts facts;
    const auto product = lines.Take("product");
    if (!product)
        return std::nullopt;
    facts.product = std::string(*product);
    if (named) {
        const auto package = lines.Take("package");
        if (!package)
            return std::nullopt;
        facts.package = std::string(*package);
        facts.channel = std::string(lines.Take("channel").value_or(""));
    }
    const auto releaseText = lines.Take("release");
    const auto release = releaseText ? StrictDecimal(*releaseText, UINT64_MAX) : std::nullopt;
    std::optional<std::uint64_t> base = 0;
    if (named && release)
        if (const auto baseText = lines.Take("base"))
            base = StrictDecimal(*baseText, UINT64_MAX).value_or(0) > 0 ? StrictDecimal(*baseText, UINT64_MAX)
                                                                        : std::nullopt;
    const auto sizeText = release && base ? lines.Take("size") : std::nullopt;
    const auto size = sizeText ? StrictDecimal(*sizeText, TReleaseStatement::kMaxPackageSize) : std::nullopt;
    const auto sha512Text = size ? lines.Take("sha512") : std::nullopt;
    const auto sha512 = sha512Text ? TSha512::FromHex(*sha512Text) : std::nullopt;
    const auto expiresText = sha512 ? lines.Take("expires") : std::nullopt;
    const auto expires = expiresText ? UtcTime::Parse(*expiresText) : std::nullopt;
    if (!expires)
        return std::nullopt;
    facts.release = *release;
    facts.base = *base;
    facts.size = *size;
    facts.sha512 = *sha512;
    facts.expires = *expires;
    // A format 2 statement always names a package, so an empty name is no
    // statement; ValidFacts checks the rest.
    if ((named && facts.package.empty()) || !ValidFacts(facts))
        return std::nullopt;
    return facts;
}

} // namespace

bool TReleaseStatement::ValidProduct(std::string_view name) {
    return StrictName(name, kMaxProductSize, true);
}

bool TReleaseStatement::ValidPackageName(std::string_view name) {
    return StrictName(name, kMaxPackageNameSize, false) && name.front() != '.';
}

bool TReleaseStatement::ValidChannel(std::string_view name) {
    return StrictName(name, kMaxChannelSize, false);
}

std::optional<TReleaseStatement> TReleaseStatement::Parse(std::string_view text) {
    if (text.size() > kMaxTextSize)
        return std::nullopt;
    TStrictLines lines(text);
    auto facts = ReadFacts(lines);
    const auto signatureText = facts ? lines.Take("signature") : std::nullopt;
    const auto signature =
        signatureText ? Base64::DecodeExact(*signatureText, TSignature::kSize) : std::nullopt;
    if (!signature || !lines.AtEnd())
        return std::nullopt;
    TSignature::Bytes bytes{};
    std::copy(signature->begin(), signature->end(), bytes.begin());
    return TReleaseStatement(std::move(*facts), TSignature(bytes));
}

std::optional<TReleaseStatement> TReleaseStatement::Make(const TFacts& facts, const TSigningKey& key,
                                                         SignatureError& error) {
    if (!ValidFacts(facts)) {
        error = SignatureError::kBadStatement;
        return std::nullopt;
    }
    std::optional<TSignature> signature;
    error = key.Sign(SignedText(facts), signature);
    if (error != SignatureError::kNone)
        return std::nullopt;
    return TReleaseStatement(facts, *signature);
}

std::string TReleaseStatement::SignedText(const TFacts& facts) {
    std::string text;
    const auto line = [&text](std::string_view name, const std::string& value) {
        text.append(name).append(" ").append(value).append("\n");
    };
    const bool named = !facts.package.empty();
    line("quorvel-release", named ? kFormat2 : kFormat1);
    line("product", facts.product);
    if (named)
        line("package", facts.package);
    if (!facts.channel.empty())
        line("channel", facts.channel);
    line("release", std::to_string(facts.release));
    if (facts.base != 0)
        line("base", std::to_string(facts.base));
    line("size", std::to_string(facts.size));
    line("sha512", TSha512::Hex(facts.sha512));
    line("expires", UtcTime::Format(facts.expires));
    return text;
}

std::string TReleaseStatement::Text() const {
    const std::string signature(reinterpret_cast<const char*>(m_signature.Data().data()), TSignature::kSize);
    return SignedText(m_facts) + "signature " + Base64::Encode(signature) + "\n";
}

SignatureError TReleaseStatement::Check(std::span<const TPublicKey> keys, std::string_view product,
                                        std::int64_t now) const {
    return Check(keys, TDemand{product, {}, {}, 0, kMaxExpiryAhead}, now);
}

SignatureError TReleaseStatement::Check(std::span<const TPublicKey> keys, const TDemand& demand,
                                        std::int64_t now) const {
    const std::string signedText = SignedText(m_facts);
    const bool signedByOne = std::any_of(keys.begin(), keys.end(), [&](const TPublicKey& key) {
        return key.Verify(signedText, m_signature) == SignatureError::kNone;
    });
    if (!signedByOne)
        return SignatureError::kMismatch;
    if (m_facts.product != demand.product)
        return SignatureError::kOtherProduct;
    if ((!demand.package.empty() && m_facts.package != demand.package) || m_facts.channel != demand.channel)
        return SignatureError::kOtherPackage;
    if (m_facts.base != demand.base)
        return SignatureError::kOtherBase;
    if (now >= m_facts.expires)
        return SignatureError::kExpired;
    if (m_facts.expires - demand.maxExpiryAhead > now)
        return SignatureError::kExpiresTooLate;
    return SignatureError::kNone;
}

SignatureError TReleaseStatement::CheckPackage(std::uint64_t size, const TSha512::Digest& digest) const {
    return size == m_facts.size && digest == m_facts.sha512 ? SignatureError::kNone
                                                            : SignatureError::kPackageMismatch;
}

} // namespace quorvel
