#pragma once

#include "SignatureError.h"
#include "TFreshnessStatement.h"
#include "TKeyDocument.h"
#include "TPublicKey.h"
#include "TReleaseStatement.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Which keys an updater trusts now, when it follows key documents. It is
// built with the product's root keys and their threshold only; from there it
// takes key documents one number at a time (1.keys, 2.keys, ...):
//
//   - the next document must be numbered one above the current one and name
//     the product;
//   - it must be signed by a threshold of the current root keys and, when it
//     names other roots or another threshold, by a threshold of its own;
//   - its release keys and freshness key replace the current ones, so a key
//     a document leaves out is revoked.
//
// A document's expiry does not stop the walk (a copy that was away walks
// through expired ones), but only an unexpired newest document vouches for
// statements. The update job keeps the newest document it took and gives it
// back with Restore next time.
class TKeyState {
public:
    // How far ahead of now a freshness statement may expire.
    static constexpr std::int64_t kMaxFreshnessAhead = 45 * 24 * 60 * 60;

    // The built-in state: no document yet (number 0).
    TKeyState(std::string product, std::vector<TPublicKey> roots, unsigned threshold);

    // Takes the document kept from an earlier run, which was trusted then:
    // it must name the product, be numbered above the current state and be
    // signed by a threshold of its own roots (every document taken is).
    // The kept file is as safe as the updater's own folder; a kept document
    // that fails leaves the state as it was, and the caller walks from there.
    // Returns a SignatureError code: kNone, kBadDocument, kOtherProduct,
    // kNotNextDocument, kTooFewSigners.
    SignatureError Restore(std::string_view kept);
    // Takes the next document. Returns kNone (the state moved on) or, with
    // the state as it was: kBadDocument (no document's text),
    // kOtherProduct, kNotNextDocument (not numbered one above),
    // kTooFewSigners (too few current roots, or on a change of roots too few
    // new ones, signed it).
    SignatureError Advance(std::string_view text);

    // 0 before any document.
    std::uint64_t Number() const { return m_document ? m_document->Facts().number : 0; }
    // The newest document taken: what to keep for the next run.
    const std::optional<TKeyDocument>& Document() const { return m_document; }
    // kNone when a document was taken and has not expired at now;
    // kNoKeyDocument or kExpired.
    SignatureError Usable(std::int64_t now) const;

    // A freshness statement for package and channel, checked at now: kNone
    // when the document is usable and the current freshness key signed it
    // (kMismatch), it names the product (kOtherProduct), the package and
    // channel (kOtherPackage), has not expired (kExpired), expires at most
    // kMaxFreshnessAhead ahead (kExpiresTooLate) and names no key document
    // newer than the one taken (kKeysBehind: a newer one is being withheld).
    SignatureError CheckFreshness(const TFreshnessStatement& fresh, std::string_view package,
                                  std::string_view channel, std::int64_t now) const;
    // A release statement: kNone when the document is usable and one of
    // its release keys signed the statement, which meets demand (its expiry
    // limit aside: freshness statements keep release statements fresh) at
    // now; otherwise the codes of TReleaseStatement::Check.
    SignatureError CheckRelease(const TReleaseStatement& statement, TReleaseStatement::TDemand demand,
                                std::int64_t now) const;
    // The whole rule for one update: the freshness statement holds for
    // demand's package and channel, the release statement holds for demand
    // and is of the release the freshness statement names (kNotNewest
    // otherwise: an old statement replayed), and that release is at most the
    // document's max-jump above installed (kReleaseTooFar). Whether it is
    // above installed at all is the caller's question.
    // For a delta package, freshPackage names the full package the freshness
    // statement speaks of (empty: demand's package).
    SignatureError CheckUpdate(const TReleaseStatement& statement, const TFreshnessStatement& fresh,
                               const TReleaseStatement::TDemand& demand, std::uint64_t installed,
                               std::int64_t now, std::string_view freshPackage = {}) const;

private:
    // The roots and threshold that must sign the next document.
    const std::vector<TPublicKey>& Roots() const { return m_document ? m_document->Facts().roots : m_roots; }
    unsigned Threshold() const { return m_document ? m_document->Facts().threshold : m_threshold; }

    std::string m_product;
    std::vector<TPublicKey> m_roots;
    unsigned m_threshold;
    std::optional<TKeyDocument> m_document;
};

} // namespace quorvel
