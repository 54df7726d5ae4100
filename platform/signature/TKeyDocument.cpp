#include "TKeyDocument.h"

#include "Base64.h"
#include "SignatureError.h"
#include "StrictLines.h"
#include "TReleaseStatement.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <algorithm>
#include <set>

namespace quorvel {

namespace {

const char* const kFormat = "1";

bool ByText(const TPublicKey& a, const TPublicKey& b) {
    return a.Base64() < b.Base64();
}

bool Ascending(const std::vector<TPublicKey>& keys) {
    return std::adjacent_find(keys.begin(), keys.end(), [](const TPublicKey& a, const TPublicKey& b) {
               return !ByText(a, b);
           }) == keys.end();
}

bool ValidFacts(const TKeyDocument::TFacts& facts) {
    std::set<std::string> all;
    for (const auto* keys : {&facts.roots, &facts.releaseKeys})
        for (const TPublicKey& key : *keys)
            all.insert(key.Base64());
    all.insert(facts.freshnessKey.Base64());
    const std::size_t roles = facts.roots.size() + facts.releaseKeys.size() + 1;
    return TReleaseStatement::ValidProduct(facts.product) && facts.number > 0 &&
           !UtcTime::Format(facts.expires).empty() && !facts.roots.empty() &&
           facts.roots.size() <= TKeyDocument::kMaxKeys && facts.threshold >= 1 &&
           facts.threshold <= facts.roots.size() && !facts.releaseKeys.empty() &&
           facts.releaseKeys.size() <= TKeyDocument::kMaxKeys && facts.maxJump > 0 && all.size() == roles &&
           Ascending(facts.roots) && Ascending(facts.releaseKeys);
}

// The keys of up to kMaxKeys lines named name, in the order read.
std::optional<std::vector<TPublicKey>> TakeKeys(TStrictLines& lines, std::string_view name) {
    std::vector<TPublicKey> keys;
    while (keys.size() <= TKeyDocument::kMaxKeys) {
        const auto text = lines.Take(name);
        if (!text)
            return keys;
        const auto key = TPublicKey::FromBase64(*text);
        if (!key || text->size() != 44) // FromBase64 takes a line end too
            return std::nullopt;
        keys.push_back(*key);
    }
    return std::nullopt;
}

std::optional<TKeyDocument::TFacts> ReadFacts(TStrictLines& lines) {
    TKeyDocument::TFacts facts;
    const auto format = lines.Take("quorvel-keys");
    const auto product = format && *format == kFormat ? lines.Take("product") : std::nullopt;
    const auto number = product ? lines.Take("number") : std::nullopt;
    const auto expires = number ? lines.Take("expires") : std::nullopt;
    auto roots = expires ? TakeKeys(lines, "root") : std::nullopt;
    const auto threshold = roots ? lines.Take("threshold") : std::nullopt;
    auto releaseKeys = threshold ? TakeKeys(lines, "release") : std::nullopt;
    const auto freshness = releaseKeys ? TakeKeys(lines, "freshness") : std::nullopt;
    const auto maxJump = freshness && freshness->size() == 1 ? lines.Take("max-jump") : std::nullopt;
    if (!maxJump)
        return std::nullopt;
    const auto numberValue = StrictDecimal(*number, UINT64_MAX);
    const auto expiresValue = UtcTime::Parse(*expires);
    const auto thresholdValue = StrictDecimal(*threshold, TKeyDocument::kMaxKeys);
    const auto maxJumpValue = StrictDecimal(*maxJump, UINT64_MAX);
    if (!numberValue || !expiresValue || !thresholdValue || !maxJumpValue)
        return std::nullopt;
    facts.product = std::string(*product);
    facts.number = *numberValue;
    facts.expires = *expiresValue;
    facts.roots = std::move(*roots);
    facts.threshold = static_cast<unsigned>(*thresholdValue);
    facts.releaseKeys = std::move(*releaseKeys);
    facts.freshnessKey = freshness->front();
    facts.maxJump = *maxJumpValue;
    return ValidFacts(facts) ? std::optional(std::move(facts)) : std::nullopt;
}

// One signature line's value: "KEY SIGNATURE".
std::optional<TKeyDocument::TSigned> ReadSigned(std::string_view value) {
    const std::size_t space = value.find(' ');
    if (space != 44)
        return std::nullopt;
    const auto key = TPublicKey::FromBase64(value.substr(0, space));
    const auto bytes = Base64::DecodeExact(value.substr(space + 1), TSignature::kSize);
    if (!key || !bytes)
        return std::nullopt;
    TSignature::Bytes signature{};
    std::copy(bytes->begin(), bytes->end(), signature.begin());
    return TKeyDocument::TSigned(*key, TSignature(signature));
}

} // namespace

std::optional<TKeyDocument> TKeyDocument::Parse(std::string_view text) {
    if (text.size() > kMaxTextSize)
        return std::nullopt;
    TStrictLines lines(text);
    auto facts = ReadFacts(lines);
    if (!facts)
        return std::nullopt;
    std::vector<TSigned> signatures;
    while (const auto value = lines.Take("signature")) {
        const auto one = ReadSigned(*value);
        if (!one || signatures.size() == kMaxSignatures ||
            (!signatures.empty() && !ByText(signatures.back().first, one->first)))
            return std::nullopt;
        signatures.push_back(*one);
    }
    if (!lines.AtEnd())
        return std::nullopt;
    return TKeyDocument(std::move(*facts), std::move(signatures));
}

std::optional<TKeyDocument> TKeyDocument::Make(TFacts facts, SignatureError& error) {
    std::sort(facts.roots.begin(), facts.roots.end(), ByText);
    std::sort(facts.releaseKeys.begin(), facts.releaseKeys.end(), ByText);
    if (!ValidFacts(facts)) {
        error = SignatureError::kBadDocument;
        return std::nullopt;
    }
    error = SignatureError::kNone;
    return TKeyDocument(std::move(facts), {});
}

SignatureError TKeyDocument::Sign(const TSigningKey& key) {
    std::optional<TSignature> signature;
    if (const SignatureError error = key.Sign(SignedText(), signature); error != SignatureError::kNone)
        return error;
    const TPublicKey publicKey = key.PublicKey();
    const auto at =
        std::lower_bound(m_signatures.begin(), m_signatures.end(), publicKey,
                         [](const TSigned& one, const TPublicKey& k) { return ByText(one.first, k); });
    if (at != m_signatures.end() && at->first == publicKey) {
        at->second = *signature;
        return SignatureError::kNone;
    }
    if (m_signatures.size() == kMaxSignatures)
        return SignatureError::kBadDocument;
    m_signatures.insert(at, TSigned(publicKey, *signature));
    return SignatureError::kNone;
}

std::string TKeyDocument::SignedText() const {
    std::string text;
    const auto line = [&text](std::string_view name, const std::string& value) {
        text.append(name).append(" ").append(value).append("\n");
    };
    line("quorvel-keys", kFormat);
    line("product", m_facts.product);
    line("number", std::to_string(m_facts.number));
    line("expires", UtcTime::Format(m_facts.expires));
    for (const TPublicKey& key : m_facts.roots)
        line("root", key.Base64());
    line("threshold", std::to_string(m_facts.threshold));
    for (const TPublicKey& key : m_facts.releaseKeys)
        line("release", key.Base64());
    line("freshness", m_facts.freshnessKey.Base64());
    line("max-jump", std::to_string(m_facts.maxJump));
    return text;
}

std::string TKeyDocument::Text() const {
    std::string text = SignedText();
    for (const auto& [key, signature] : m_signatures) {
        const std::string bytes(reinterpret_cast<const char*>(signature.Data().data()), TSignature::kSize);
        text.append("signature ").append(key.Base64()).append(" ").append(Base64::Encode(bytes)).append("\n");
    }
    return text;
}

unsigned TKeyDocument::CountSigners(std::span<const TPublicKey> keys) const {
    const std::string message = SignedText();
    unsigned count = 0;
    for (const auto& [key, signature] : m_signatures)
        if (std::find(keys.begin(), keys.end(), key) != keys.end() &&
            key.Verify(message, signature) == SignatureError::kNone)
            ++count;
    return count;
}

} // namespace quorvel
