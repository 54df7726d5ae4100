#include "SignatureError.h"
#include "TFreshnessStatement.h"
#include "TKeyDocument.h"
#include "TKeyState.h"
#include "TReleaseStatement.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvel;

namespace {

const std::int64_t kNow = *UtcTime::Parse("2027-01-10T00:00:00Z");
const std::int64_t kDay = 86400;

TSigningKey NewKey() {
    SignatureError error = SignatureError::kLibrary;
    auto key = TSigningKey::Generate(error);
    EXPECT_EQ(error, SignatureError::kNone);
    return std::move(*key);
}

std::vector<TPublicKey> Public(std::initializer_list<const TSigningKey*> keys) {
    std::vector<TPublicKey> result;
    for (const TSigningKey* key : keys)
        result.push_back(key->PublicKey());
    return result;
}

// Replaces the first occurrence of from in text.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// The vendor's keys: three roots (two must sign), two release keys, one
// freshness key, and a second generation of each.
struct Keys {
    TSigningKey rootA = NewKey(), rootB = NewKey(), rootC = NewKey(), rootD = NewKey();
    TSigningKey release1 = NewKey(), release2 = NewKey();
    TSigningKey fresh1 = NewKey(), fresh2 = NewKey();

    TKeyState BuiltIn() const { return TKeyState("Quorvel", Public({&rootA, &rootB, &rootC}), 2); }

    static std::string Document(std::uint64_t number, std::vector<TPublicKey> roots, unsigned threshold,
                                std::vector<TPublicKey> releaseKeys, const TSigningKey& fresh,
                                std::initializer_list<const TSigningKey*> signers,
                                std::int64_t expires = kNow + 365 * kDay,
                                const std::string& product = "Quorvel") {
        TKeyDocument::TFacts facts{product,           number,    expires,
                                   std::move(roots),  threshold, std::move(releaseKeys),
                                   fresh.PublicKey(), 100};
        SignatureError error = SignatureError::kLibrary;
        auto document = TKeyDocument::Make(facts, error);
        EXPECT_TRUE(document) << SignatureErrorText(error);
        if (!document)
            return {};
        for (const TSigningKey* signer : signers)
            EXPECT_EQ(document->Sign(*signer), SignatureError::kNone);
        return document->Text();
    }
    // Document 1: the built-in roots, both release keys, the first freshness key.
    std::string First(std::initializer_list<const TSigningKey*> signers) const {
        return Document(1, Public({&rootA, &rootB, &rootC}), 2, Public({&release1, &release2}), fresh1,
                        signers);
    }
};

TReleaseStatement Statement(const TSigningKey& key, std::uint64_t release) {
    TReleaseStatement::TFacts facts;
    facts.product = "Quorvel";
    facts.package = "DirevidUreziv.cab";
    facts.release = release;
    facts.size = 10;
    facts.expires = kNow + 400 * kDay; // release keys sign long-lived statements
    SignatureError error = SignatureError::kLibrary;
    return *TReleaseStatement::Make(facts, key, error);
}

TFreshnessStatement Fresh(const TSigningKey& key, std::uint64_t release, std::uint64_t keys = 1,
                          std::int64_t expires = kNow + 7 * kDay) {
    SignatureError error = SignatureError::kLibrary;
    const TFreshnessStatement::TFacts facts{"Quorvel", "DirevidUreziv.cab", "", release, keys, expires};
    return *TFreshnessStatement::Make(facts, key, error);
}

TEST(KeyDocument, HasExactlyOneText) {
    const Keys keys;
    const std::string text = keys.First({&keys.rootB, &keys.rootA});
    EXPECT_EQ(text.substr(0, text.find("root ")),
              "quorvel-keys 1\nproduct Quorvel\nnumber 1\nexpires 2028-01-10T00:00:00Z\n");
    const auto parsed = TKeyDocument::Parse(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Text(), text);
    EXPECT_EQ(parsed->Signatures().size(), 2u);
    EXPECT_EQ(parsed->CountSigners(Public({&keys.rootA, &keys.rootB, &keys.rootC})), 2u);

    const auto& facts = parsed->Facts();
    const std::string root0 = "root " + facts.roots[0].Base64() + "\n";
    const std::string root1 = "root " + facts.roots[1].Base64() + "\n";
    const std::string release0 = "release " + facts.releaseKeys[0].Base64() + "\n";
    const std::string fresh = "freshness " + facts.freshnessKey.Base64() + "\n";
    const std::size_t signatures = text.find("signature ");
    const std::string first = text.substr(signatures, text.find('\n', signatures) + 1 - signatures);
    const std::vector<std::string> rejected = {
        Replaced(text, root0 + root1, root1 + root0),                          // keys out of order
        Replaced(text, root1, root0),                                          // a key twice
        Replaced(text, release0, "release " + facts.roots[0].Base64() + "\n"), // a key in two roles
        Replaced(text, "threshold 2", "threshold 0"),
        Replaced(text, "threshold 2", "threshold 4"),
        Replaced(text, fresh, ""),
        Replaced(text, fresh, fresh + fresh),
        Replaced(text, "max-jump 100", "max-jump 0"),
        Replaced(text, "number 1", "number 01"),
        Replaced(text, "threshold 2\n", ""),
        text + first, // a signer twice, or out of order
        Replaced(text, first, first + first),
        text.substr(0, text.size() - 1),
        text + "\n",
    };
    for (const std::string& bad : rejected)
        EXPECT_FALSE(TKeyDocument::Parse(bad)) << bad;
}

// Roots sign the next document, a threshold of them, and on a change of
// roots a threshold of the new ones too; numbers go one by one; a document
// that leaves a key out revokes it; a copy that was away walks the chain.
TEST(KeyState, FollowsEveryRotationOfKeys) {
    const Keys keys;
    TKeyState state = keys.BuiltIn();
    EXPECT_EQ(state.Usable(kNow), SignatureError::kNoKeyDocument);
    EXPECT_EQ(state.CheckRelease(Statement(keys.release1, 5), {"", "DirevidUreziv.cab", "", 0}, kNow),
              SignatureError::kNoKeyDocument);
    EXPECT_EQ(state.Advance(keys.First({&keys.rootA})), SignatureError::kTooFewSigners);
    EXPECT_EQ(state.Advance(keys.First({&keys.rootA, &keys.rootD})), SignatureError::kTooFewSigners);
    EXPECT_EQ(state.Advance(Keys::Document(1, Public({&keys.rootA}), 1, Public({&keys.release1}), keys.fresh1,
                                           {&keys.rootA, &keys.rootB}, kNow + kDay, "Quorvel Pro")),
              SignatureError::kOtherProduct);
    EXPECT_EQ(state.Advance("quorvel-keys 1\n"), SignatureError::kBadDocument);
    EXPECT_EQ(state.Number(), 0u);
    ASSERT_EQ(state.Advance(keys.First({&keys.rootA, &keys.rootC})), SignatureError::kNone);
    EXPECT_EQ(state.Advance(keys.First({&keys.rootA, &keys.rootC})), SignatureError::kNotNextDocument);

    // Document 2 moves to one new root, D: the old roots alone are not enough.
    const auto second = [&](std::initializer_list<const TSigningKey*> signers) {
        return Keys::Document(2, Public({&keys.rootD}), 1, Public({&keys.release1, &keys.release2}),
                              keys.fresh1, signers,
                              kNow - kDay); // expired: a copy away for long still walks through
    };
    EXPECT_EQ(state.Advance(Keys::Document(3, Public({&keys.rootD}), 1, Public({&keys.release2}), keys.fresh2,
                                           {&keys.rootA, &keys.rootB, &keys.rootD})),
              SignatureError::kNotNextDocument);
    EXPECT_EQ(state.Advance(second({&keys.rootA, &keys.rootB})), SignatureError::kTooFewSigners);
    EXPECT_EQ(state.Advance(second({&keys.rootD})), SignatureError::kTooFewSigners);
    ASSERT_EQ(state.Advance(second({&keys.rootA, &keys.rootB, &keys.rootD})), SignatureError::kNone);
    EXPECT_EQ(state.Usable(kNow), SignatureError::kExpired);

    // Document 3, signed by the new root alone, revokes release key 1 and
    // the first freshness key.
    const std::string third = Keys::Document(3, Public({&keys.rootD}), 1, Public({&keys.release2}),
                                             keys.fresh2, {&keys.rootA, &keys.rootB});
    EXPECT_EQ(state.Advance(third), SignatureError::kTooFewSigners) << "the old roots are out";
    ASSERT_EQ(state.Advance(Keys::Document(3, Public({&keys.rootD}), 1, Public({&keys.release2}), keys.fresh2,
                                           {&keys.rootD})),
              SignatureError::kNone);
    EXPECT_EQ(state.Usable(kNow), SignatureError::kNone);
    const TReleaseStatement::TDemand demand{"Quorvel", "DirevidUreziv.cab", "", 0};
    EXPECT_EQ(state.CheckRelease(Statement(keys.release1, 5), demand, kNow), SignatureError::kMismatch);
    EXPECT_EQ(state.CheckRelease(Statement(keys.release2, 5), demand, kNow), SignatureError::kNone);
    EXPECT_EQ(state.CheckFreshness(Fresh(keys.fresh1, 5, 3), "DirevidUreziv.cab", "", kNow),
              SignatureError::kMismatch);
    EXPECT_EQ(state.CheckFreshness(Fresh(keys.fresh2, 5, 3), "DirevidUreziv.cab", "", kNow),
              SignatureError::kNone);

    // The next run starts from the kept document and goes on from there.
    TKeyState next = keys.BuiltIn();
    ASSERT_EQ(next.Restore(state.Document()->Text()), SignatureError::kNone);
    EXPECT_EQ(next.Number(), 3u);
    EXPECT_EQ(next.Advance(Keys::Document(4, Public({&keys.rootD}), 1, Public({&keys.release1}), keys.fresh2,
                                          {&keys.rootD})),
              SignatureError::kNone);
    TKeyState forged = keys.BuiltIn();
    EXPECT_EQ(forged.Restore(Keys::Document(3, Public({&keys.rootD}), 1, Public({&keys.release1}),
                                            keys.fresh2, {&keys.rootA})),
              SignatureError::kTooFewSigners);
    EXPECT_EQ(forged.Number(), 0u);
}

TEST(KeyState, AnUpdateNeedsAFreshWordOnTheNewestRelease) {
    const Keys keys;
    TKeyState state = keys.BuiltIn();
    ASSERT_EQ(state.Advance(keys.First({&keys.rootA, &keys.rootB})), SignatureError::kNone);
    const TReleaseStatement::TDemand demand{"Quorvel", "DirevidUreziv.cab", "", 0};
    const auto update = [&](const TReleaseStatement& statement, const TFreshnessStatement& fresh,
                            std::uint64_t installed = 7, std::int64_t now = kNow) {
        return state.CheckUpdate(statement, fresh, demand, installed, now);
    };
    const TReleaseStatement eight = Statement(keys.release2, 8);
    EXPECT_EQ(update(eight, Fresh(keys.fresh1, 8)), SignatureError::kNone);
    EXPECT_EQ(update(eight, Fresh(keys.release1, 8)), SignatureError::kMismatch);
    EXPECT_EQ(update(Statement(keys.fresh1, 8), Fresh(keys.fresh1, 8)), SignatureError::kMismatch)
        << "the freshness key signs no release";
    EXPECT_EQ(update(eight, Fresh(keys.fresh1, 9)), SignatureError::kNotNewest)
        << "an old statement replayed";
    EXPECT_EQ(update(eight, Fresh(keys.fresh1, 8, 2)), SignatureError::kKeysBehind)
        << "a newer key document withheld";
    EXPECT_EQ(update(eight, Fresh(keys.fresh1, 8, 1, kNow)), SignatureError::kExpired);
    EXPECT_EQ(update(eight, Fresh(keys.fresh1, 8, 1, kNow + 46 * kDay)), SignatureError::kExpiresTooLate);
    EXPECT_EQ(update(eight, Fresh(keys.fresh1, 8, 1, kNow + 45 * kDay)), SignatureError::kNone);
    const TReleaseStatement far = Statement(keys.release1, 108);
    EXPECT_EQ(update(far, Fresh(keys.fresh1, 108), 8), SignatureError::kNone) << "max-jump 100 from 8";
    EXPECT_EQ(update(far, Fresh(keys.fresh1, 108), 7), SignatureError::kReleaseTooFar);
    // A delta package from 7 to 8, named on its own, under the full package's freshness.
    TReleaseStatement::TFacts deltaFacts = eight.Facts();
    deltaFacts.package = "DirevidUreziv-7-8.cab";
    deltaFacts.base = 7;
    SignatureError error = SignatureError::kLibrary;
    const auto delta = TReleaseStatement::Make(deltaFacts, keys.release2, error);
    const TReleaseStatement::TDemand deltaDemand{"Quorvel", "DirevidUreziv-7-8.cab", "", 7};
    EXPECT_EQ(state.CheckUpdate(*delta, Fresh(keys.fresh1, 8), deltaDemand, 7, kNow, "DirevidUreziv.cab"),
              SignatureError::kNone);
    EXPECT_EQ(state.CheckUpdate(*delta, Fresh(keys.fresh1, 8), demand, 7, kNow),
              SignatureError::kOtherPackage);
    EXPECT_EQ(update(eight, Fresh(keys.fresh1, 8), 7, kNow + 400 * kDay), SignatureError::kExpired)
        << "the key document itself has expired";

    // The freshness statement's own text: one per statement.
    const std::string text = Fresh(keys.fresh1, 8).Text();
    EXPECT_EQ(text.substr(0, text.find("signature ")),
              "quorvel-fresh 1\nproduct Quorvel\npackage DirevidUreziv.cab\n"
              "release 8\nkeys 1\nexpires 2027-01-17T00:00:00Z\n");
    ASSERT_TRUE(TFreshnessStatement::Parse(text));
    EXPECT_EQ(TFreshnessStatement::Parse(text)->Text(), text);
    for (const std::string& bad :
         {Replaced(text, "keys 1\n", ""), Replaced(text, "release 8\nkeys 1", "keys 1\nrelease 8"),
          Replaced(text, "keys 1", "keys 0"), Replaced(text, "package DirevidUreziv.cab\n", ""), text + "x"})
        EXPECT_FALSE(TFreshnessStatement::Parse(bad)) << bad;
}

} // namespace
