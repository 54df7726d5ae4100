// quorvel-sign: makes the vendor's key pair, signs update packages and checks
// their signatures. The work is done by the signature layer.
#include "SignatureError.h"
#include "TPublicKey.h"
#include "TSignature.h"
#include "TSigningKey.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

const char* const kHelp = R"help(Usage: quorvel-sign COMMAND ARGUMENTS

Makes the key pair of a release, signs update packages and checks signatures.

  keygen KEYFILE                   make a new key pair: the private key goes to
                                   KEYFILE (PEM, readable by its owner only; an
                                   existing file is never replaced), the public
                                   key to KEYFILE.pub and to standard output
  pubkey KEYFILE                   print the public key of a private key
  sign KEYFILE PACKAGE [SIGFILE]   sign PACKAGE; the signature goes to SIGFILE
                                   (default: PACKAGE.sig)
  verify PUBKEY PACKAGE [SIGFILE]  check a signature (default: PACKAGE.sig);
                                   PUBKEY is the base64 public key or a file
                                   holding it; exit status 0 when it verifies
  --help                           show this text

The signature is Ed25519 (pure, RFC 8032) over the 64-byte SHA-512 digest of
the whole package, so packages of any size are signed and checked as they are
read. The signature file is one line: the base64 of the 64 signature bytes.
The public key is the base64 of its 32 bytes: the value of the updater's build
setting QUORVEL_UPDATE_KEY. An updater built with it fetches <package URL>.sig
right after the package and installs nothing that does not verify.

Example:
  quorvel-sign keygen release.pem            # keep release.pem offline and secret
  cmake -S . -B build -DQUORVEL_UPDATE_URL=https://updates.example/downloads/DirevidUreziv.cab \
        -DQUORVEL_UPDATE_KEY="$(cat release.pem.pub)"
  quorvel-sign sign release.pem DirevidUreziv.cab      # writes DirevidUreziv.cab.sig
  quorvel-sign verify release.pem.pub DirevidUreziv.cab
  # then publish DirevidUreziv.cab and DirevidUreziv.cab.sig side by side

Exit status: 0 success, 1 failure (the reason goes to standard error), 2 wrong usage.
)help";

int Fail(const std::string& what, int code) {
    std::cerr << "quorvel-sign: " << what << ": " << SignatureError::Text(code) << "\n";
    return 1;
}

int Usage() {
    std::cerr << "quorvel-sign: wrong arguments; see quorvel-sign --help\n";
    return 2;
}

// Reads a short text file (a key or a signature); nullopt when it cannot be
// read or is longer than limit.
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

int KeyGen(const std::string& keyFile) {
    if (std::ifstream(keyFile)) {
        std::cerr << "quorvel-sign: " << keyFile << ": already exists; a key file is never replaced\n";
        return 1;
    }
    int error = 0;
    const auto key = TSigningKey::Generate(error);
    if (!key)
        return Fail("cannot make a key", error);
    if (const int saved = key->Save(keyFile); saved != SignatureError::kNone)
        return Fail(keyFile, saved);
    const std::string publicKey = key->PublicKey().Base64();
    if (!WriteReplacing(keyFile + ".pub", publicKey + "\n"))
        return Fail(keyFile + ".pub", SignatureError::kCannotWrite);
    std::cout << publicKey << "\n";
    return 0;
}

int PubKey(const std::string& keyFile) {
    int error = 0;
    const auto key = TSigningKey::Load(keyFile, error);
    if (!key)
        return Fail(keyFile, error);
    std::cout << key->PublicKey().Base64() << "\n";
    return 0;
}

int Sign(const std::string& keyFile, const std::string& package, const std::string& sigFile) {
    int error = 0;
    const auto key = TSigningKey::Load(keyFile, error);
    if (!key)
        return Fail(keyFile, error);
    std::optional<TSignature> signature;
    if (const int signed_ = key->SignFile(package, signature); signed_ != SignatureError::kNone)
        return Fail(package, signed_);
    if (!WriteReplacing(sigFile, signature->Text()))
        return Fail(sigFile, SignatureError::kCannotWrite);
    return 0;
}

int Verify(const std::string& publicKeyText, const std::string& package, const std::string& sigFile) {
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
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return Usage();
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kHelp;
        return 0;
    }
    if (command == "keygen" && args.size() == 2)
        return KeyGen(args[1]);
    if (command == "pubkey" && args.size() == 2)
        return PubKey(args[1]);
    if ((command == "sign" || command == "verify") && (args.size() == 3 || args.size() == 4)) {
        const std::string sigFile = args.size() == 4 ? args[3] : args[2] + ".sig";
        return command == "sign" ? Sign(args[1], args[2], sigFile) : Verify(args[1], args[2], sigFile);
    }
    return Usage();
}
