#include "TReleaseStatement.h"

#include "Base64.h"
#include "SignatureError.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <algorithm>
#include <array>

namespace {

const char* const kFormat = "1";

// The fields in their one order.
enum Field { kHeader, kProduct, kRelease, kSize, kSha512, kExpires, kSignature, kFieldCount };
constexpr std::array<std::string_view, kFieldCount> kNames = {
    "quorvel-release", "product", "release", "size", "sha512", "expires", "signature"};

// A decimal number without sign, blanks or leading zeros, up to max.
std::optional<std::uint64_t> Decimal(std::string_view text, std::uint64_t max) {
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

// The values of the seven lines, or nullopt when the lines are not exactly
// the seven "NAME VALUE\n" in order.
std::optional<std::array<std::string_view, kFieldCount>> Lines(std::string_view text) {
    std::array<std::string_view, kFieldCount> values;
    for (std::size_t field = 0; field < kFieldCount; ++field) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = text.substr(0, end);
        const std::string_view name = kNames[field];
        if (line.size() <= name.size() + 1 || !line.starts_with(name) || line[name.size()] != ' ')
            return std::nullopt;
        values[field] = line.substr(name.size() + 1);
        text.remove_prefix(end + 1);
    }
    if (!text.empty())
        return std::nullopt;
    return values;
}

bool ValidFacts(const TReleaseStatement::TFacts& facts) {
    return TReleaseStatement::ValidProduct(facts.product) && facts.release > 0 &&
           facts.size <= TReleaseStatement::kMaxPackageSize && !UtcTime::Format(facts.expires).empty();
}

} // namespace

bool TReleaseStatement::ValidProduct(std::string_view name) {
    const auto allowed = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ' ||
               c == '.' || c == '_' || c == '+' || c == '-';
    };
    return !name.empty() && name.size() <= kMaxProductSize && name.front() != ' ' && name.back() != ' ' &&
           std::all_of(name.begin(), name.end(), allowed);
}

std::optional<TReleaseStatement> TReleaseStatement::Parse(std::string_view text) {
    if (text.size() > kMaxTextSize)
        return std::nullopt;
    const auto values = Lines(text);
    if (!values || (*values)[kHeader] != kFormat)
        return std::nullopt;
    TFacts facts;
    facts.product = std::string((*values)[kProduct]);
    const auto release = Decimal((*values)[kRelease], UINT64_MAX);
    const auto size = Decimal((*values)[kSize], kMaxPackageSize);
    const auto sha512 = TSha512::FromHex((*values)[kSha512]);
    const auto expires = UtcTime::Parse((*values)[kExpires]);
    const auto signature = Base64::DecodeExact((*values)[kSignature], TSignature::kSize);
    if (!release || !size || !sha512 || !expires || !signature)
        return std::nullopt;
    facts.release = *release;
    facts.size = *size;
    facts.sha512 = *sha512;
    facts.expires = *expires;
    if (!ValidFacts(facts))
        return std::nullopt;
    TSignature::Bytes bytes{};
    std::copy(signature->begin(), signature->end(), bytes.begin());
    return TReleaseStatement(std::move(facts), TSignature(bytes));
}

std::optional<TReleaseStatement> TReleaseStatement::Make(const TFacts& facts, const TSigningKey& key,
                                                         int& error) {
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
    const auto line = [&text](Field field, const std::string& value) {
        text.append(kNames[field]).append(" ").append(value).append("\n");
    };
    line(kHeader, kFormat);
    line(kProduct, facts.product);
    line(kRelease, std::to_string(facts.release));
    line(kSize, std::to_string(facts.size));
    line(kSha512, TSha512::Hex(facts.sha512));
    line(kExpires, UtcTime::Format(facts.expires));
    return text;
}

std::string TReleaseStatement::Text() const {
    const std::string signature(reinterpret_cast<const char*>(m_signature.Data().data()), TSignature::kSize);
    return SignedText(m_facts) + std::string(kNames[kSignature]) + " " + Base64::Encode(signature) + "\n";
}

int TReleaseStatement::Check(std::span<const TPublicKey> keys, std::string_view product,
                             std::int64_t now) const {
    const std::string signedText = SignedText(m_facts);
    const bool signedByOne = std::any_of(keys.begin(), keys.end(), [&](const TPublicKey& key) {
        return key.Verify(signedText, m_signature) == SignatureError::kNone;
    });
    if (!signedByOne)
        return SignatureError::kMismatch;
    if (m_facts.product != product)
        return SignatureError::kOtherProduct;
    if (now >= m_facts.expires)
        return SignatureError::kExpired;
    return SignatureError::kNone;
}

int TReleaseStatement::CheckPackage(std::uint64_t size, const TSha512::Digest& digest) const {
    return size == m_facts.size && digest == m_facts.sha512 ? SignatureError::kNone
                                                            : SignatureError::kPackageMismatch;
}
