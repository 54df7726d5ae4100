#include "TKeyState.h"

#include "ReleaseJump.h"
#include "SignatureError.h"

#include <algorithm>

namespace quorvel {

namespace {

bool SameKeys(std::vector<TPublicKey> a, std::vector<TPublicKey> b) {
    const auto order = [](const TPublicKey& x, const TPublicKey& y) { return x.Data() < y.Data(); };
    std::sort(a.begin(), a.end(), order);
    std::sort(b.begin(), b.end(), order);
    return a == b;
}

} // namespace

TKeyState::TKeyState(std::string product, std::vector<TPublicKey> roots, unsigned threshold)
    : m_product(std::move(product)), m_roots(std::move(roots)), m_threshold(threshold) {}

SignatureError TKeyState::Restore(std::string_view kept) {
    auto document = TKeyDocument::Parse(kept);
    if (!document)
        return SignatureError::kBadDocument;
    const auto& facts = document->Facts();
    if (facts.product != m_product)
        return SignatureError::kOtherProduct;
    if (facts.number <= Number())
        return SignatureError::kNotNextDocument;
    if (document->CountSigners(facts.roots) < facts.threshold)
        return SignatureError::kTooFewSigners;
    m_document = std::move(document);
    return SignatureError::kNone;
}

SignatureError TKeyState::Advance(std::string_view text) {
    auto document = TKeyDocument::Parse(text);
    if (!document)
        return SignatureError::kBadDocument;
    const auto& facts = document->Facts();
    if (facts.product != m_product)
        return SignatureError::kOtherProduct;
    if (facts.number != Number() + 1)
        return SignatureError::kNotNextDocument;
    // A threshold of zero (a state built without roots) accepts nothing.
    if (Threshold() == 0 || document->CountSigners(Roots()) < Threshold())
        return SignatureError::kTooFewSigners;
    const bool rootsChange = facts.threshold != Threshold() || !SameKeys(facts.roots, Roots());
    if (rootsChange && document->CountSigners(facts.roots) < facts.threshold)
        return SignatureError::kTooFewSigners;
    m_document = std::move(document);
    return SignatureError::kNone;
}

SignatureError TKeyState::Usable(std::int64_t now) const {
    if (!m_document)
        return SignatureError::kNoKeyDocument;
    return now < m_document->Facts().expires ? SignatureError::kNone : SignatureError::kExpired;
}

SignatureError TKeyState::CheckFreshness(const TFreshnessStatement& fresh, std::string_view package,
                                         std::string_view channel, std::int64_t now) const {
    if (const SignatureError usable = Usable(now); usable != SignatureError::kNone)
        return usable;
    const auto& facts = fresh.Facts();
    if (fresh.Verify(m_document->Facts().freshnessKey) != SignatureError::kNone)
        return SignatureError::kMismatch;
    if (facts.product != m_product)
        return SignatureError::kOtherProduct;
    if (facts.package != package || facts.channel != channel)
        return SignatureError::kOtherPackage;
    if (now >= facts.expires)
        return SignatureError::kExpired;
    if (facts.expires - kMaxFreshnessAhead > now)
        return SignatureError::kExpiresTooLate;
    if (facts.keys > Number())
        return SignatureError::kKeysBehind;
    return SignatureError::kNone;
}

SignatureError TKeyState::CheckRelease(const TReleaseStatement& statement, TReleaseStatement::TDemand demand,
                                       std::int64_t now) const {
    if (const SignatureError usable = Usable(now); usable != SignatureError::kNone)
        return usable;
    demand.product = m_product;
    demand.maxExpiryAhead = INT64_MAX;
    return statement.Check(m_document->Facts().releaseKeys, demand, now);
}

SignatureError TKeyState::CheckUpdate(const TReleaseStatement& statement, const TFreshnessStatement& fresh,
                                      const TReleaseStatement::TDemand& demand, std::uint64_t installed,
                                      std::int64_t now, std::string_view freshPackage) const {
    const std::string_view package = freshPackage.empty() ? demand.package : freshPackage;
    if (const SignatureError checked = CheckFreshness(fresh, package, demand.channel, now);
        checked != SignatureError::kNone)
        return checked;
    if (const SignatureError checked = CheckRelease(statement, demand, now); checked != SignatureError::kNone)
        return checked;
    if (statement.Facts().release != fresh.Facts().release)
        return SignatureError::kNotNewest;
    return ReleaseJump::Check(installed, statement.Facts().release, m_document->Facts().maxJump);
}

} // namespace quorvel
