#include "TFreshnessStatement.h"

#include "Base64.h"
#include "SignatureError.h"
#include "StrictLines.h"
#include "TReleaseStatement.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <algorithm>

namespace quorvel {

namespace {

const char* const kFormat = "1";

bool ValidFacts(const TFreshnessStatement::TFacts& facts) {
    return TReleaseStatement::ValidProduct(facts.product) &&
           TReleaseStatement::ValidPackageName(facts.package) &&
           (facts.channel.empty() || TReleaseStatement::ValidChannel(facts.channel)) && facts.release > 0 &&
           facts.keys > 0 && !UtcTime::Format(facts.expires).empty();
}

std::optional<TFreshnessStatement::TFacts> ReadFacts(TStrictLines& lines) {
    const auto format = lines.Take("quorvel-fresh");
    const auto product = format && *format == kFormat ? lines.Take("product") : std::nullopt;
    const auto package = product ? lines.Take("package") : std::nullopt;
    const auto channel = package ? lines.Take("channel") : std::nullopt;
    const auto release = package ? lines.Take("release") : std::nullopt;
    const auto keys = release ? lines.Take("keys") : std::nullopt;
    const auto expires = keys ? lines.Take("expires") : std::nullopt;
    if (!expires)
        return std::nullopt;
    const auto releaseValue = StrictDecimal(*release, UINT64_MAX);
    const auto keysValue = StrictDecimal(*keys, UINT64_MAX);
    const auto expiresValue = UtcTime::Parse(*expires);
    if (!releaseValue || !keysValue || !expiresValue)
        return std::nullopt;
    TFreshnessStatement::TFacts facts{std::string(*product),
                                      std::string(*package),
                                      std::string(channel.value_or("")),
                                      *releaseValue,
                                      *keysValue,
                                      *expiresValue};
    return ValidFacts(facts) ? std::optional(std::move(facts)) : std::nullopt;
}

} // namespace

std::optional<TFreshnessStatement> TFreshnessStatement::Parse(std::string_view text) {
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
    return TFreshnessStatement(std::move(*facts), TSignature(bytes));
}

std::optional<TFreshnessStatement> TFreshnessStatement::Make(const TFacts& facts, const TSigningKey& key,
                                                             SignatureError& error) {
    if (!ValidFacts(facts)) {
        error = SignatureError::kBadDocument;
        return std::nullopt;
    }
    std::optional<TSignature> signature;
    error = key.Sign(SignedText(facts), signature);
    if (error != SignatureError::kNone)
        return std::nullopt;
    return TFreshnessStatement(facts, *signature);
}

std::string TFreshnessStatement::SignedText(const TFacts& facts) {
    std::string text;
    const auto line = [&text](std::string_view name, const std::string& value) {
        text.append(name).append(" ").append(value).append("\n");
    };
    line("quorvel-fresh", kFormat);
    line("product", facts.product);
    line("package", facts.package);
    if (!facts.channel.empty())
        line("channel", facts.channel);
    line("release", std::to_string(facts.release));
    line("keys", std::to_string(facts.keys));
    line("expires", UtcTime::Format(facts.expires));
    return text;
}

std::string TFreshnessStatement::Text() const {
    const std::string signature(reinterpret_cast<const char*>(m_signature.Data().data()), TSignature::kSize);
    return SignedText(m_facts) + "signature " + Base64::Encode(signature) + "\n";
}

SignatureError TFreshnessStatement::Verify(const TPublicKey& key) const {
    return key.Verify(SignedText(m_facts), m_signature) == SignatureError::kNone ? SignatureError::kNone
                                                                                 : SignatureError::kMismatch;
}

} // namespace quorvel
