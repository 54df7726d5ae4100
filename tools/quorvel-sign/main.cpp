// quorvel-sign: makes the vendor's key pair and the signed release statements
// published next to update packages, and checks them. The work is done by the
// signature layer.
#include "DeltaCommand.h"
#include "FileDigest.h"
#include "SignatureError.h"
#include "TPublicKey.h"
#include "TReleaseStatement.h"
#include "TSignature.h"
#include "TSigningKey.h"
#include "UtcTime.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kHelp = R"help(Usage: quorvel-sign COMMAND ARGUMENTS [OPTIONS]

Makes the key pair of a product's releases and the signed release statement
published next to each update package, and checks statements.

  keygen KEYFILE          make a new key pair: the private key goes to KEYFILE
                          (PEM, readable by its owner only, encrypted when a
                          passphrase is given; an existing file is never
                          replaced), the public key to KEYFILE.pub and to
                          standard output
  pubkey KEYFILE          print the public key of a private key
  statement KEYFILE PACKAGE --product NAME --release N
                          [--expires YYYY-MM-DDTHH:MM:SSZ | --days D]
                          [--output FILE]
                          write the signed release statement of PACKAGE to
                          FILE (default: PACKAGE.release): the product, the
                          release number (1 or more; each release's must be
                          above the last), the package's size and SHA-512
                          digest, and the expiry time (default: 30 days from
                          now, UTC)
  check PACKAGE --key PUBKEY [--key PUBKEY] [--product NAME] [--statement FILE]
                          check a statement (default: PACKAGE.release): signed
                          by one of the keys, for the product (when given), not
                          expired, and stating PACKAGE's size and digest; PUBKEY
                          is a base64 public key or a file holding one; exit
                          status 0 when it holds
  sign KEYFILE PACKAGE [SIGFILE], verify PUBKEY PACKAGE [SIGFILE]
                          the detached signature (default: PACKAGE.sig) that
                          updaters of earlier versions ask for instead of a
                          statement: publish it too until they have all
                          taken a release that knows statements
  --help                  show this text
  --version               show the version

Passphrase of an encrypted private key, for keygen, pubkey, statement and sign:
  --passphrase-env NAME   read it from the environment variable NAME
  --passphrase-file FILE  read it from the first line of FILE
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
constexpr std::int64_t kSecondsPerDay = 24 * 60 * 60;

// The command line past the command: the words in order, and the options
// (each "--name value"; --key may come more than once).
struct Arguments {
    std::vector<std::string> words;
    std::multimap<std::string, std::string> options;
    bool valid = true;

    std::optional<std::string> Option(const std::string& name) const {
        const auto found = options.find(name);
        return found == options.end() ? std::nullopt : std::optional(found->second);
    }
};

Arguments Split(const std::vector<std::string>& args) {
    static const char* const kNames[] = {"--product",   "--release",        "--expires",
                                         "--days",      "--output",         "--key",
                                         "--statement", "--passphrase-env", "--passphrase-file"};
    Arguments result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!args[i].starts_with("--")) {
            result.words.push_back(args[i]);
            continue;
        }
        const bool known = std::find(std::begin(kNames), std::end(kNames), args[i]) != std::end(kNames);
        const bool repeated = args[i] != "--key" && result.options.count(args[i]) > 0;
        if (!known || repeated || i + 1 == args.size()) {
            result.valid = false;
            return result;
        }
        result.options.emplace(args[i], args[i + 1]);
        ++i;
    }
    return result;
}

int Fail(const std::string& what, int code) {
    std::cerr << "quorvel-sign: " << what << ": " << SignatureError::Text(code) << "\n";
    return 1;
}

int FailWith(const std::string& message) {
    std::cerr << "quorvel-sign: " << message << "\n";
    return 1;
}

int Usage() {
    std::cerr << "quorvel-sign: wrong arguments; see quorvel-sign --help\n";
    return 2;
}

// Reads a short text file (a key, a statement, a passphrase); nullopt when it
// cannot be read or is longer than limit.
std::optional<std::string> ReadShort(const std::string& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(limit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad() || static_cast<std::size_t>(in.gcount()) > limit)
        return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

// Writes next to the target, then renames, so a reader never sees half a file.
bool WriteReplacing(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::remove(temporary.c_str());
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

// The passphrase the options name: none when neither option is given; an
// error message in problem when the one given cannot be read or is empty.
std::optional<std::string> Passphrase(const Arguments& args, std::string& problem) {
    std::optional<std::string> passphrase;
    if (const auto name = args.Option("--passphrase-env")) {
        const char* value = std::getenv(name->c_str());
        if (!value)
            problem = "the environment variable " + *name + " is not set";
        passphrase = value ? std::optional<std::string>(value) : std::nullopt;
    } else if (const auto file = args.Option("--passphrase-file")) {
        passphrase = ReadShort(*file, 4096);
        if (!passphrase)
            problem = *file + ": cannot read the passphrase";
        else
            passphrase->resize(passphrase->find_first_of("\r\n") == std::string::npos
                                   ? passphrase->size()
                                   : passphrase->find_first_of("\r\n"));
    }
    if (passphrase && passphrase->empty() && problem.empty())
        problem = "the passphrase is empty";
    return passphrase;
}

std::optional<TSigningKey> LoadKey(const std::string& keyFile, const Arguments& args, int& result) {
    std::string problem;
    const auto passphrase = Passphrase(args, problem);
    if (!problem.empty()) {
        result = FailWith(problem);
        return std::nullopt;
    }
    int error = 0;
    auto key = TSigningKey::Load(keyFile, error, passphrase);
    if (!key)
        result = Fail(keyFile, error);
    return key;
}

int KeyGen(const Arguments& args) {
    const std::string& keyFile = args.words[0];
    if (std::ifstream(keyFile))
        return FailWith(keyFile + ": already exists; a key file is never replaced");
    std::string problem;
    const auto passphrase = Passphrase(args, problem);
    if (!problem.empty())
        return FailWith(problem);
    int error = 0;
    const auto key = TSigningKey::Generate(error);
    if (!key)
        return Fail("cannot make a key", error);
    if (const int saved = key->Save(keyFile, passphrase); saved != SignatureError::kNone)
        return Fail(keyFile, saved);
    const std::string publicKey = key->PublicKey().Base64();
    if (!WriteReplacing(keyFile + ".pub", publicKey + "\n"))
        return Fail(keyFile + ".pub", SignatureError::kCannotWrite);
    std::cout << publicKey << "\n";
    return 0;
}

int PubKey(const Arguments& args) {
    int result = 1;
    const auto key = LoadKey(args.words[0], args, result);
    if (!key)
        return result;
    std::cout << key->PublicKey().Base64() << "\n";
    return 0;
}

// The expiry the options ask for: --expires as given, or --days (default 30)
// from now.
std::optional<std::int64_t> Expiry(const Arguments& args) {
    if (const auto at = args.Option("--expires"))
        return args.Option("--days") ? std::nullopt : UtcTime::Parse(*at);
    std::int64_t days = kDefaultDays;
    if (const auto given = args.Option("--days")) {
        try {
            std::size_t used = 0;
            days = std::stoll(*given, &used);
            if (used != given->size() || days < 1 || days > 36500)
                return std::nullopt;
        } catch (const std::exception&) {
            return std::nullopt;
        }
    }
    return UtcTime::Now() + days * kSecondsPerDay;
}

std::optional<std::uint64_t> ReleaseNumber(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    try {
        const unsigned long long value = std::stoull(text);
        return value > 0 ? std::optional<std::uint64_t>(value) : std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
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
    const auto release = ReleaseNumber(*releaseText);
    const auto expires = Expiry(args);
    if (!TReleaseStatement::ValidProduct(facts.product))
        return FailWith(
            "--product: 1 to 64 of A-Z a-z 0-9 space . _ + -, not beginning or ending with a space");
    if (!release)
        return FailWith("--release: a whole number from 1 to 18446744073709551615");
    if (!expires || *expires <= UtcTime::Now())
        return FailWith("--expires: a time to come, as YYYY-MM-DDTHH:MM:SSZ (UTC); --days: 1 to 36500");
    facts.release = *release;
    facts.expires = *expires;
    int result = 1;
    const auto key = LoadKey(keyFile, args, result);
    if (!key)
        return result;
    if (const int read = FileDigest::OfFile(package, facts.sha512, &facts.size);
        read != SignatureError::kNone)
        return Fail(package, read);
    int error = 0;
    const auto statement = TReleaseStatement::Make(facts, *key, error);
    if (!statement)
        return Fail(package, error);
    const std::string output = args.Option("--output").value_or(package + ".release");
    if (!WriteReplacing(output, statement->Text()))
        return Fail(output, SignatureError::kCannotWrite);
    std::cout << output << ": release " << facts.release << " of " << facts.product << ", " << facts.size
              << " bytes, expires " << UtcTime::Format(facts.expires) << "\n";
    return 0;
}

int Check(const Arguments& args) {
    const std::string& package = args.words[0];
    std::vector<TPublicKey> keys;
    for (auto [at, end] = args.options.equal_range("--key"); at != end; ++at) {
        std::optional<TPublicKey> key = TPublicKey::FromBase64(at->second);
        if (!key) {
            const auto fromFile = ReadShort(at->second, 256);
            key = fromFile ? TPublicKey::FromBase64(*fromFile) : std::nullopt;
        }
        if (!key)
            return Fail(at->second, SignatureError::kBadKey);
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
    if (const int checked = statement->Check(keys, product, UtcTime::Now()); checked != SignatureError::kNone)
        return Fail(statementFile, checked);
    FileDigest::Sha512 digest{};
    std::uint64_t size = 0;
    if (const int read = FileDigest::OfFile(package, digest, &size); read != SignatureError::kNone)
        return Fail(package, read);
    if (const int matched = statement->CheckPackage(size, digest); matched != SignatureError::kNone)
        return Fail(package, matched);
    std::cout << package << ": release " << facts.release << " of " << facts.product << ", expires "
              << UtcTime::Format(facts.expires) << ": verified\n";
    return 0;
}

// The detached signature of a package that updaters of earlier versions
// ask for: the release that moves them to statements must carry one.
int Sign(const Arguments& args) {
    int result = 1;
    const auto key = LoadKey(args.words[0], args, result);
    if (!key)
        return result;
    const std::string& package = args.words[1];
    std::optional<TSignature> signature;
    if (const int signed_ = key->SignFile(package, signature); signed_ != SignatureError::kNone)
        return Fail(package, signed_);
    const std::string sigFile = args.words.size() == 3 ? args.words[2] : package + ".sig";
    if (!WriteReplacing(sigFile, signature->Text()))
        return Fail(sigFile, SignatureError::kCannotWrite);
    return 0;
}

int Verify(const Arguments& args) {
    const std::string& publicKeyText = args.words[0];
    const std::string& package = args.words[1];
    const std::string sigFile = args.words.size() == 3 ? args.words[2] : package + ".sig";
    std::optional<TPublicKey> key = TPublicKey::FromBase64(publicKeyText);
    if (!key) {
        const auto fromFile = ReadShort(publicKeyText, 256);
        key = fromFile ? TPublicKey::FromBase64(*fromFile) : std::nullopt;
    }
    if (!key)
        return Fail(publicKeyText, SignatureError::kBadKey);
    const auto text = ReadShort(sigFile, TSignature::kMaxTextSize);
    if (!text)
        return Fail(sigFile, SignatureError::kCannotRead);
    const auto signature = TSignature::Parse(*text);
    if (!signature)
        return Fail(sigFile, SignatureError::kBadSignature);
    if (const int result = key->VerifyFile(package, *signature); result != SignatureError::kNone)
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
    return Usage();
}
