#include "RoleCommands.h"

#include "DurableWrite.h"
#include "FileDigest.h"
#include "Passphrase.h"
#include "SignatureError.h"
#include "TFreshnessStatement.h"
#include "TKeyDocument.h"
#include "TKeyState.h"
#include "TReleaseStatement.h"
#include "UtcTime.h"

#include <algorithm>
#include <iostream>

namespace quorvel {

namespace RoleCommands {

namespace {

constexpr std::int64_t kDocumentDays = 365;
constexpr std::int64_t kMaxDocumentDays = 3650;
constexpr std::int64_t kFreshDays = 7;
constexpr std::int64_t kMaxFreshDays = TKeyState::kMaxFreshnessAhead / (24 * 60 * 60);

std::optional<std::vector<TPublicKey>> PublicKeys(const Arguments& args, const std::string& option) {
    std::vector<TPublicKey> keys;
    for (const std::string& text : args.All(option)) {
        const auto key = ReadPublicKey(text);
        if (!key)
            return std::nullopt;
        keys.push_back(*key);
    }
    return keys;
}

bool WritePublic(const std::string& path, const std::string& text) {
    return DurableWrite::ReplacePath(path, text, 0644);
}

// Signs document with each key file in turn.
int SignWith(TKeyDocument& document, const std::vector<std::string>& keyFiles, const Arguments& args) {
    for (const std::string& keyFile : keyFiles) {
        int result = 1;
        const auto key = Passphrase::LoadKey(keyFile, args, result);
        if (!key)
            return result;
        if (const SignatureError signed_ = document.Sign(*key); signed_ != SignatureError::kNone)
            return Fail(keyFile, signed_);
    }
    return 0;
}

// The built-in state the options describe: --product, --root..., --threshold.
std::optional<TKeyState> BuiltIn(const Arguments& args, std::string& product) {
    const auto roots = PublicKeys(args, "--root");
    const auto threshold =
        args.Option("--threshold") ? PositiveNumber(*args.Option("--threshold")) : std::nullopt;
    if (!roots || roots->empty() || !threshold || *threshold > roots->size() || !args.Has("--product"))
        return std::nullopt;
    product = *args.Option("--product");
    return TKeyState(product, *roots, static_cast<unsigned>(*threshold));
}

// Walks the documents in order; false (after saying why) when one fails.
bool Walk(TKeyState& state, const std::vector<std::string>& documents) {
    for (const std::string& file : documents) {
        const auto text = ReadShort(file, TKeyDocument::kMaxTextSize);
        const SignatureError taken = text ? state.Advance(*text) : SignatureError::kCannotRead;
        if (taken != SignatureError::kNone) {
            Fail(file, taken);
            return false;
        }
    }
    return true;
}

} // namespace

int Keys(const Arguments& args) {
    const std::string& output = args.words[0];
    TKeyDocument::TFacts facts;
    const auto roots = PublicKeys(args, "--root");
    const auto releaseKeys = PublicKeys(args, "--release-key");
    const auto freshness =
        args.Has("--freshness-key") ? ReadPublicKey(*args.Option("--freshness-key")) : std::nullopt;
    const auto number = args.Has("--number") ? PositiveNumber(*args.Option("--number")) : std::nullopt;
    const auto threshold =
        args.Has("--threshold") ? PositiveNumber(*args.Option("--threshold")) : std::nullopt;
    const auto maxJump = PositiveNumber(args.Option("--max-jump").value_or("1000"));
    const auto expires = Expiry(args, kDocumentDays, kMaxDocumentDays);
    if (!args.Has("--product") || !roots || !releaseKeys || !freshness || !number || !threshold || !maxJump)
        return FailWith(
            "keys needs --product, --number, --root (one or more), --threshold, --release-key (one or "
            "more) and --freshness-key, each valid");
    if (!expires)
        return FailWith("--expires: a time within the next 3650 days; --days: 1 to 3650");
    facts = {*args.Option("--product"), *number, *expires, *roots,
             // Beyond any number of roots, so refused below, yet no wrap.
             static_cast<unsigned>(std::min<std::uint64_t>(*threshold, TKeyDocument::kMaxKeys + 1)),
             *releaseKeys, *freshness, *maxJump};
    SignatureError error = SignatureError::kNone;
    auto document = TKeyDocument::Make(facts, error);
    if (!document)
        return FailWith(
            "no key document can carry these keys: 1 to 16 roots, a threshold up to their number, 1 to "
            "16 release keys, and no key twice or in two roles");
    if (const int signedAll = SignWith(*document, args.All("--sign"), args); signedAll != 0)
        return signedAll;
    if (!WritePublic(output, document->Text()))
        return Fail(output, SignatureError::kCannotWrite);
    std::cout << output << ": key document " << facts.number << " of " << facts.product << ", expires "
              << UtcTime::Format(facts.expires) << ", " << document->Signatures().size() << " signature(s)\n";
    return 0;
}

int Cosign(const Arguments& args) {
    const std::string& file = args.words[0];
    const auto text = ReadShort(file, TKeyDocument::kMaxTextSize);
    auto document = text ? TKeyDocument::Parse(*text) : std::nullopt;
    if (!document)
        return Fail(file, text ? SignatureError::kBadDocument : SignatureError::kCannotRead);
    if (const int signedAll = SignWith(*document, {args.words[1]}, args); signedAll != 0)
        return signedAll;
    if (!WritePublic(file, document->Text()))
        return Fail(file, SignatureError::kCannotWrite);
    std::cout << file << ": " << document->Signatures().size() << " signature(s)\n";
    return 0;
}

int Fresh(const Arguments& args) {
    const auto release = args.Has("--release") ? PositiveNumber(*args.Option("--release")) : std::nullopt;
    const auto keys = args.Has("--keys") ? PositiveNumber(*args.Option("--keys")) : std::nullopt;
    if (!args.Has("--product") || !args.Has("--package") || !release || !keys)
        return FailWith(
            "fresh needs --product, --package, --release N and --keys N (the newest key document)");
    const auto expires = Expiry(args, kFreshDays, kMaxFreshDays);
    if (!expires)
        return FailWith("--expires: a time within the next 45 days; --days: 1 to 45");
    const TFreshnessStatement::TFacts facts{*args.Option("--product"),
                                            *args.Option("--package"),
                                            args.Option("--channel").value_or(""),
                                            *release,
                                            *keys,
                                            *expires};
    int result = 1;
    const auto key = Passphrase::LoadKey(args.words[0], args, result);
    if (!key)
        return result;
    SignatureError error = SignatureError::kNone;
    const auto statement = TFreshnessStatement::Make(facts, *key, error);
    if (!statement)
        return Fail("the freshness statement", error);
    const std::string output = args.Option("--output").value_or(facts.package + ".fresh");
    if (!WritePublic(output, statement->Text()))
        return Fail(output, SignatureError::kCannotWrite);
    std::cout << output << ": release " << facts.release << " of " << facts.package << " is the newest until "
              << UtcTime::Format(facts.expires) << "\n";
    return 0;
}

int CheckKeys(const Arguments& args) {
    std::string product;
    auto state = BuiltIn(args, product);
    if (!state)
        return Usage();
    if (!Walk(*state, args.words))
        return 1;
    const auto& facts = state->Document()->Facts();
    if (const SignatureError usable = state->Usable(UtcTime::Now()); usable != SignatureError::kNone)
        return Fail(args.words.back(), usable);
    std::cout << "key document " << facts.number << " of " << product << ": valid until "
              << UtcTime::Format(facts.expires) << "; roots " << facts.roots.size() << " (threshold "
              << facts.threshold << "), release keys " << facts.releaseKeys.size() << ", max-jump "
              << facts.maxJump << "\n";
    for (const TPublicKey& key : facts.releaseKeys)
        std::cout << "release " << key.Base64() << "\n";
    std::cout << "freshness " << facts.freshnessKey.Base64() << "\n";
    return 0;
}

int CheckUpdate(const Arguments& args) {
    const std::string& package = args.words[0];
    std::string product;
    auto state = BuiltIn(args, product);
    if (!state)
        return Usage();
    if (!Walk(*state, args.All("--chain")))
        return 1;
    const std::string statementFile = args.Option("--statement").value_or(package + ".release");
    const std::string freshFile = args.Option("--fresh").value_or(package + ".fresh");
    const auto statementText = ReadShort(statementFile, TReleaseStatement::kMaxTextSize);
    const auto freshText = ReadShort(freshFile, TFreshnessStatement::kMaxTextSize);
    const auto statement = statementText ? TReleaseStatement::Parse(*statementText) : std::nullopt;
    const auto fresh = freshText ? TFreshnessStatement::Parse(*freshText) : std::nullopt;
    if (!statement)
        return Fail(statementFile,
                    statementText ? SignatureError::kBadStatement : SignatureError::kCannotRead);
    if (!fresh)
        return Fail(freshFile, freshText ? SignatureError::kBadDocument : SignatureError::kCannotRead);
    const std::string packageName = args.Option("--package").value_or(BaseName(package));
    const std::string channel = args.Option("--channel").value_or("");
    const auto base = args.Has("--base") ? PositiveNumber(*args.Option("--base")) : std::uint64_t{0};
    // Without --installed the jump is not looked at (0 is "none installed").
    const auto installedText = args.Option("--installed");
    const auto installed = !installedText          ? std::optional(statement->Facts().release)
                           : *installedText == "0" ? std::optional<std::uint64_t>(0)
                                                   : PositiveNumber(*installedText);
    if (!base || !installed)
        return Usage();
    const TReleaseStatement::TDemand demand{product, packageName, channel, *base, 0};
    if (const SignatureError checked =
            state->CheckUpdate(*statement, *fresh, demand, *installed, UtcTime::Now());
        checked != SignatureError::kNone)
        return Fail(statementFile + ", " + freshFile, checked);
    FileDigest::Sha512 digest{};
    std::uint64_t size = 0;
    if (const SignatureError read = FileDigest::OfFile(package, digest, &size); read != SignatureError::kNone)
        return Fail(package, read);
    if (const SignatureError matched = statement->CheckPackage(size, digest);
        matched != SignatureError::kNone)
        return Fail(package, matched);
    std::cout << package << ": release " << statement->Facts().release << " of " << product
              << ", the newest until " << UtcTime::Format(fresh->Facts().expires) << " under key document "
              << state->Number() << ": verified\n";
    return 0;
}

} // namespace RoleCommands

} // namespace quorvel
