// quorvel-sign: makes the vendor's key pair and the signed release statements
// published next to update packages, and checks them. The work is done by the
// signature layer.
#include "Arguments.h"
#include "DeltaCommand.h"
#include "DurableWrite.h"
#include "FileDigest.h"
#include "Passphrase.h"
#include "RoleCommands.h"
#include "SignatureError.h"
#include "TPublicKey.h"
#include "TReleaseStatement.h"
#include "TSignature.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

using namespace quorvel;

namespace {

const char* const kHelp = R"help(Usage: quorvel-sign COMMAND ARGUMENTS [OPTIONS]

Makes the key pair of a product's releases and the signed release statement
published next to each update package, and checks statements.

  keygen KEYFILE [--no-passphrase]
                          make a new key pair (release, root or freshness
                          key alike): the private key goes to KEYFILE (PEM,
                          readable by its owner only, encrypted under the
                          passphrase; unencrypted only with --no-passphrase;
                          an existing file is never replaced), the public
                          key to KEYFILE.pub and to standard output
  pubkey KEYFILE          print the public key of a private key
  statement KEYFILE PACKAGE --product NAME --release N [--package NAME]
                          [--channel NAME] [--base N] [--format-1]
                          [--expires YYYY-MM-DDTHH:MM:SSZ | --days D]
                          [--output FILE]
                          write the signed release statement of PACKAGE to
                          FILE (default: PACKAGE.release): the product, the
                          package's file name (default: PACKAGE's own), the
                          channel (when given), the release number (1 or
                          more; each release's must be above the last), for
                          a delta package the release it applies to (a base
                          below the release), the
                          package's size and SHA-512 digest, and the expiry
                          time (default: 30 days from now, UTC; at most 45
                          days ahead, as updaters refuse later ones);
                          --format-1 writes the earlier format without the
                          package, which updaters of earlier versions read
  check PACKAGE --key PUBKEY [--key PUBKEY] [--product NAME] [--package NAME]
                          [--channel NAME] [--base N] [--statement FILE]
                          check a statement (default: PACKAGE.release): signed
                          by one of the keys, for the product (when given),
                          the package (default: PACKAGE's file name, when the
                          statement names one), the channel (none unless
                          given) and the base (a full package unless given),
                          not expired, and stating PACKAGE's size and
                          digest; PUBKEY is a base64 public key or a file
                          holding one; exit status 0 when it holds

With key documents (root keys built in, release keys offline, an online
freshness key; see the README):
  keys OUTPUT --product NAME --number N --root PUB... --threshold T
       --release-key PUB... --freshness-key PUB [--max-jump J]
       [--expires TIME | --days D] [--sign KEYFILE...]
                          write key document N (default: expires in 365
                          days; max-jump 1000), signed by the root key files
                          given; it must be signed by a threshold of the
                          previous document's roots (of the built-in ones for
                          document 1) and, when the roots change, of its own
  cosign DOCUMENT KEYFILE add KEYFILE's signature to a key document
  statement ... --roles   a release statement for such updaters: signed by a
                          release key, it may expire up to 3650 days ahead
                          (default 365)
  fresh KEYFILE --product NAME --package NAME [--channel NAME] --release M
       --keys N [--expires TIME | --days D] [--output FILE]
                          write the freshness statement (default:
                          PACKAGE.fresh) saying release M is the newest and N
                          the newest key document, signed by the freshness
                          key; default 7 days, at most 45
  check-keys DOCUMENT... --product NAME --root PUB... --threshold T
                          walk key documents 1, 2, ... from the built-in
                          roots and show the keys of the newest
  check PACKAGE --product NAME --root PUB... --threshold T --chain DOCUMENT...
       [--fresh FILE] [--statement FILE] [--installed N] [--package NAME]
       [--channel NAME] [--base N]
                          check as such an updater does: the chain, the
                          freshness statement (default PACKAGE.fresh), the
                          release statement of its release, the jump from
                          release N when given, and PACKAGE's size and digest

  sign KEYFILE PACKAGE [SIGFILE], verify PUBKEY PACKAGE [SIGFILE]
                          the detached signature (default: PACKAGE.sig) that
                          updaters of earlier versions ask for instead of a
                          statement: publish it too until they have all
                          taken a release that knows statements
  --help                  show this text
  --version               show the version

Passphrase of an encrypted private key, for keygen, pubkey, statement, sign,
keys, cosign and fresh:
  --passphrase-env NAME   read it from the environment variable NAME
  --passphrase-file FILE  read it from the first line of FILE
Without either, it is typed on the terminal (twice for keygen), without echo.
It is never taken from the command line itself.

The public key is the base64 of its 32 bytes: the value of the updater's build
setting QUORVEL_UPDATE_KEY (or QUORVEL_UPDATE_KEY_NEXT, the key that takes
over). An updater built with a key fetches <package URL>.release before the
package, and downloads and installs only a package whose statement is signed
by one of its keys, names its product, has not expired and carries a release
number above the installed one; the package must have the stated size and
SHA-512 digest.

Example:
  quorvel-sign keygen release.pem --passphrase-file ~/.release-pass
  cmake -S . -B build -DQUORVEL_UPDATE_URL=https://updates.example/downloads/DirevidUreziv.cab \
        -DQUORVEL_UPDATE_KEY="$(cat release.pem.pub)"
  quorvel-sign statement release.pem DirevidUreziv.cab --product Quorvel --release 2 \
        --passphrase-file ~/.release-pass           # writes DirevidUreziv.cab.release
  quorvel-sign check DirevidUreziv.cab --key release.pem.pub --product Quorvel
  # then publish DirevidUreziv.cab.release next to DirevidUreziv.cab

Exit status: 0 success, 1 failure (the reason goes to standard error), 2 wrong usage.
)help";

constexpr std::int64_t kDefaultDays = 30;
// Updaters with the one built-in key refuse a statement that expires further
// ahead; under key documents freshness statements keep statements fresh.
constexpr std::int64_t kMaxDays = TReleaseStatement::kMaxExpiryAhead / (24 * 60 * 60);
constexpr std::int64_t kRolesDefaultDays = 365;
constexpr std::int64_t kRolesMaxDays = 3650;

bool WritePublic(const std::string& path, const std::string& text) {
    return DurableWrite::ReplacePath(path, text, 0644);
}

// The passphrase of a new key: from the options, or typed twice on the
// terminal; none only when --no-passphrase asks for a plain key file. The
// outer nullopt (after saying why) when there is none to be had.
std::optional<std::optional<std::string>> NewPassphrase(const std::string& keyFile, const Arguments& args) {
    std::string problem;
    auto passphrase = Passphrase::FromOptions(args, problem);
    if (!problem.empty()) {
        FailWith(problem);
        return std::nullopt;
    }
    if (args.Has("--no-passphrase")) {
        if (!passphrase)
            return std::optional<std::string>();
        Passphrase::Wipe(*passphrase);
        FailWith("--no-passphrase and a passphrase option exclude each other");
        return std::nullopt;
    }
    if (passphrase)
        return passphrase;
    passphrase = Passphrase::FromTerminal("Passphrase of the new key " + keyFile + ": ");
    if (!passphrase) {
        FailWith("a new key needs a passphrase: --passphrase-file FILE, --passphrase-env NAME or typed on a "
                 "terminal; --no-passphrase writes the key unencrypted");
        return std::nullopt;
    }
    auto again = Passphrase::FromTerminal("The same passphrase again: ");
    const bool same = again && *again == *passphrase;
    if (again)
        Passphrase::Wipe(*again);
    if (!same) {
        Passphrase::Wipe(*passphrase);
        FailWith("the two passphrases differ");
        return std::nullopt;
    }
    return passphrase;
}

int KeyGen(const Arguments& args) {
    const std::string& keyFile = args.words[0];
    if (std::ifstream(keyFile))
        return FailWith(keyFile + ": already exists; a key file is never replaced");
    auto passphrase = NewPassphrase(keyFile, args);
    if (!passphrase)
        return 1;
    SignatureError error = SignatureError::kNone;
    const auto key = TSigningKey::Generate(error);
    const SignatureError saved = key ? key->Save(keyFile, *passphrase) : error;
    if (*passphrase)
        Passphrase::Wipe(**passphrase);
    if (saved != SignatureError::kNone)
        return Fail(key ? keyFile : "cannot make a key", saved);
    const std::string publicKey = key->PublicKey().Base64();
    if (!WritePublic(keyFile + ".pub", publicKey + "\n"))
        return Fail(keyFile + ".pub", SignatureError::kCannotWrite);
    std::cout << publicKey << "\n";
    return 0;
}

int PubKey(const Arguments& args) {
    int result = 1;
    const auto key = Passphrase::LoadKey(args.words[0], args, result);
    if (!key)
        return result;
    std::cout << key->PublicKey().Base64() << "\n";
    return 0;
}

int Statement(const Arguments& args) {
    const std::string& keyFile = args.words[0];
    const std::string& package = args.words[1];
    const auto product = args.Option("--product");
    const auto releaseText = args.Option("--release");
    if (!product || !releaseText)
        return Usage();
    TReleaseStatement::TFacts facts;
    facts.product = *product;
    facts.package = args.Option("--package").value_or(BaseName(package));
    facts.channel = args.Option("--channel").value_or("");
    const auto release = PositiveNumber(*releaseText);
    const bool roles = args.Has("--roles");
    const auto expires =
        Expiry(args, roles ? kRolesDefaultDays : kDefaultDays, roles ? kRolesMaxDays : kMaxDays);
    if (!TReleaseStatement::ValidProduct(facts.product))
        return FailWith(
            "--product: 1 to 64 of A-Z a-z 0-9 space . _ + -, not beginning or ending with a space");
    if (!TReleaseStatement::ValidPackageName(facts.package))
        return FailWith("--package: 1 to 128 of A-Z a-z 0-9 . _ + -, not beginning with a dot");
    // Updaters of earlier versions read format 1 only: it names no package.
    if (args.Has("--format-1")) {
        if (args.Has("--package") || args.Has("--channel") || args.Has("--base"))
            return FailWith("--format-1 names no package, channel or base");
        facts.package.clear();
    }
    if (args.Option("--channel") && !TReleaseStatement::ValidChannel(facts.channel))
        return FailWith("--channel: 1 to 64 of A-Z a-z 0-9 . _ + -");
    if (!release)
        return FailWith("--release: a whole number from 1 to 18446744073709551615");
    if (const auto base = args.Option("--base")) {
        const auto number = PositiveNumber(*base);
        if (!number || *number >= *release)
            return FailWith("--base: a release number below --release");
        facts.base = *number;
    }
    if (!expires && roles)
        return FailWith("--expires: a time within the next 3650 days; --days: 1 to 3650");
    if (!expires)
        return FailWith(
            "--expires: a time within the next 45 days, as YYYY-MM-DDTHH:MM:SSZ (UTC); --days: 1 to 45");
    facts.release = *release;
    facts.expires = *expires;
    int result = 1;
    const auto key = Passphrase::LoadKey(keyFile, args, result);
    if (!key)
        return result;
    if (const SignatureError read = FileDigest::OfFile(package, facts.sha512, &facts.size);
        read != SignatureError::kNone)
        return Fail(package, read);
    SignatureError error = SignatureError::kNone;
    const auto statement = TReleaseStatement::Make(facts, *key, error);
    if (!statement)
        return Fail(package, error);
    const std::string output = args.Option("--output").value_or(package + ".release");
    if (!WritePublic(output, statement->Text()))
        return Fail(output, SignatureError::kCannotWrite);
    std::cout << output << ": release " << facts.release << " of " << facts.product << ", package "
              << facts.package << (facts.channel.empty() ? "" : ", channel " + facts.channel)
              << (facts.base ? ", delta from release " + std::to_string(facts.base) : "") << ", "
              << facts.size << " bytes, expires " << UtcTime::Format(facts.expires) << "\n";
    return 0;
}

int Check(const Arguments& args) {
    const std::string& package = args.words[0];
    if (args.Has("--root"))
        return RoleCommands::CheckUpdate(args);
    std::vector<TPublicKey> keys;
    for (const std::string& text : args.All("--key")) {
        const auto key = ReadPublicKey(text);
        if (!key)
            return Fail(text, SignatureError::kBadKey);
        keys.push_back(*key);
    }
    if (keys.empty() || keys.size() > 2)
        return Usage();
    const std::string statementFile = args.Option("--statement").value_or(package + ".release");
    const auto text = ReadShort(statementFile, TReleaseStatement::kMaxTextSize);
    if (!text)
        return Fail(statementFile, SignatureError::kCannotRead);
    const auto statement = TReleaseStatement::Parse(*text);
    if (!statement)
        return Fail(statementFile, SignatureError::kBadStatement);
    const auto& facts = statement->Facts();
    const std::string product = args.Option("--product").value_or(facts.product);
    // A statement that names a package must name this one; a name given
    // is demanded of any statement.
    const std::string packageName =
        args.Option("--package").value_or(facts.package.empty() ? "" : BaseName(package));
    const std::string channel = args.Option("--channel").value_or("");
    const auto base = args.Has("--base") ? PositiveNumber(*args.Option("--base")) : std::uint64_t{0};
    if (!base)
        return FailWith("--base: a release number");
    const TReleaseStatement::TDemand demand{product, packageName, channel, *base,
                                            TReleaseStatement::kMaxExpiryAhead};
    if (const SignatureError checked = statement->Check(keys, demand, UtcTime::Now());
        checked != SignatureError::kNone)
        return Fail(statementFile, checked);
    FileDigest::Sha512 digest{};
    std::uint64_t size = 0;
    if (const SignatureError read = FileDigest::OfFile(package, digest, &size); read != SignatureError::kNone)
        return Fail(package, read);
    if (const SignatureError matched = statement->CheckPackage(size, digest);
        matched != SignatureError::kNone)
        return Fail(package, matched);
    if (!args.Has("--product"))
        std::cerr << "quorvel-sign: no --product given: accepted the statement's own product, "
                  << facts.product << "; an updater accepts only its own\n";
    std::cout << package << ": release " << facts.release << " of " << facts.product << ", expires "
              << UtcTime::Format(facts.expires) << ": verified\n";
    return 0;
}

// The detached signature of a package that updaters of earlier versions
// ask for: the release that moves them to statements must carry one.
int Sign(const Arguments& args) {
    int result = 1;
    const auto key = Passphrase::LoadKey(args.words[0], args, result);
    if (!key)
        return result;
    const std::string& package = args.words[1];
    std::optional<TSignature> signature;
    if (const SignatureError signed_ = key->SignFile(package, signature); signed_ != SignatureError::kNone)
        return Fail(package, signed_);
    const std::string sigFile = args.words.size() == 3 ? args.words[2] : package + ".sig";
    if (!WritePublic(sigFile, signature->Text()))
        return Fail(sigFile, SignatureError::kCannotWrite);
    return 0;
}

int Verify(const Arguments& args) {
    const std::string& publicKeyText = args.words[0];
    const std::string& package = args.words[1];
    const std::string sigFile = args.words.size() == 3 ? args.words[2] : package + ".sig";
    const auto key = ReadPublicKey(publicKeyText);
    if (!key)
        return Fail(publicKeyText, SignatureError::kBadKey);
    const auto text = ReadShort(sigFile, TSignature::kMaxTextSize);
    if (!text)
        return Fail(sigFile, SignatureError::kCannotRead);
    const auto signature = TSignature::Parse(*text);
    if (!signature)
        return Fail(sigFile, SignatureError::kBadSignature);
    if (const SignatureError result = key->VerifyFile(package, *signature); result != SignatureError::kNone)
        return Fail(package, result);
    std::cout << package << ": signature verified\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> all(argv + 1, argv + argc);
    if (all.empty())
        return Usage();
    const std::string& command = all[0];
    if (command == "delta" || command == "check-delta")
        return RunDeltaCommand(all);
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kHelp;
        return 0;
    }
    if (command == "--version") {
        std::cout << "quorvel-sign (Quorvel) " QUORVEL_VERSION "\n";
        return 0;
    }
    const Arguments args = Split(std::vector<std::string>(all.begin() + 1, all.end()));
    if (!args.valid)
        return Usage();
    const std::size_t words = args.words.size();
    if (command == "keygen" && words == 1)
        return KeyGen(args);
    if (command == "pubkey" && words == 1)
        return PubKey(args);
    if (command == "statement" && words == 2)
        return Statement(args);
    if (command == "check" && words == 1)
        return Check(args);
    if (command == "sign" && (words == 2 || words == 3))
        return Sign(args);
    if (command == "verify" && (words == 2 || words == 3))
        return Verify(args);
    if (command == "keys" && words == 1)
        return RoleCommands::Keys(args);
    if (command == "cosign" && words == 2)
        return RoleCommands::Cosign(args);
    if (command == "fresh" && words == 1)
        return RoleCommands::Fresh(args);
    if (command == "check-keys" && words >= 1)
        return RoleCommands::CheckKeys(args);
    return Usage();
}
