#include "TSigningKey.h"

#include "FileDigest.h"
#include "SignatureError.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>
#include <openssl/x509.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvel {

namespace {

// scrypt's cost for an encrypted key file: the openssl tool's own choice,
// about 16 MiB and a tenth of a second per load.
constexpr std::uint64_t kScryptN = 16384;
constexpr std::uint64_t kScryptR = 8;
constexpr std::uint64_t kScryptP = 1;

// What the library's passphrase callback gets: the passphrase, if any, and
// whether it was asked for (the file is encrypted).
struct PassphraseRequest {
    const std::optional<std::string>* passphrase;
    bool asked = false;
};

int GivePassphrase(char* buffer, int size, int, void* data) {
    auto* request = static_cast<PassphraseRequest*>(data);
    request->asked = true;
    const std::optional<std::string>& passphrase = *request->passphrase;
    if (!passphrase || passphrase->empty() || passphrase->size() > static_cast<std::size_t>(size))
        return -1;
    std::memcpy(buffer, passphrase->data(), passphrase->size());
    return static_cast<int>(passphrase->size());
}

using Bio = std::unique_ptr<BIO, decltype(&BIO_free)>;

// The key as PEM in memory: plain PKCS #8, or encrypted under the passphrase.
bool WritePem(BIO* out, EVP_PKEY* key, const std::optional<std::string>& passphrase) {
    if (!passphrase)
        return PEM_write_bio_PrivateKey(out, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    const std::unique_ptr<PKCS8_PRIV_KEY_INFO, decltype(&PKCS8_PRIV_KEY_INFO_free)> info(
        EVP_PKEY2PKCS8(key), PKCS8_PRIV_KEY_INFO_free);
    X509_ALGOR* scheme =
        PKCS5_pbe2_set_scrypt(EVP_aes_256_cbc(), nullptr, 0, nullptr, kScryptN, kScryptR, kScryptP);
    if (!info || !scheme) {
        X509_ALGOR_free(scheme);
        return false;
    }
    // On success the encrypted key owns the scheme.
    const std::unique_ptr<X509_SIG, decltype(&X509_SIG_free)> encrypted(
        PKCS8_set0_pbe_ex(passphrase->data(), static_cast<int>(passphrase->size()), info.get(), scheme,
                          nullptr, nullptr),
        X509_SIG_free);
    if (!encrypted) {
        X509_ALGOR_free(scheme);
        return false;
    }
    return PEM_write_bio_PKCS8(out, encrypted.get()) == 1;
}

// Writes text to a new file readable by its owner only; an existing file is
// never replaced, and a half-written one is removed.
SignatureError WriteNewPrivateFile(const std::string& path, const char* text, long length) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return SignatureError::kCannotWrite;
    long done = 0;
    bool ok = true;
    while (ok && done < length) {
        const ssize_t n = ::write(fd, text + done, static_cast<std::size_t>(length - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? n : 0;
    }
    // Flushed before it is reported written: the key may be the only copy.
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(path.c_str());
        return SignatureError::kCannotWrite;
    }
    return SignatureError::kNone;
}

} // namespace

struct TSigningKey::Impl {
    EVP_PKEY* key = nullptr;
    ~Impl() { EVP_PKEY_free(key); }
};

TSigningKey::TSigningKey(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
TSigningKey::~TSigningKey() = default;
TSigningKey::TSigningKey(TSigningKey&&) noexcept = default;
TSigningKey& TSigningKey::operator=(TSigningKey&&) noexcept = default;

std::optional<TSigningKey> TSigningKey::Generate(SignatureError& error) {
    auto impl = std::make_unique<Impl>();
    impl->key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!impl->key) {
        error = SignatureErrorFromLibrary();
        return std::nullopt;
    }
    error = SignatureError::kNone;
    return TSigningKey(std::move(impl));
}

std::optional<TSigningKey> TSigningKey::Load(const std::string& pemPath, SignatureError& error,
                                             const std::optional<std::string>& passphrase) {
    const Bio file(BIO_new_file(pemPath.c_str(), "r"), BIO_free);
    if (!file) {
        SignatureErrorFromLibrary();
        error = SignatureError::kCannotRead;
        return std::nullopt;
    }
    auto impl = std::make_unique<Impl>();
    PassphraseRequest request{&passphrase};
    impl->key = PEM_read_bio_PrivateKey(file.get(), nullptr, GivePassphrase, &request);
    if (!impl->key || EVP_PKEY_get_base_id(impl->key) != EVP_PKEY_ED25519) {
        SignatureErrorFromLibrary();
        error = !impl->key && request.asked ? SignatureError::kPassphrase : SignatureError::kBadKey;
        return std::nullopt;
    }
    error = SignatureError::kNone;
    return TSigningKey(std::move(impl));
}

SignatureError TSigningKey::Save(const std::string& pemPath,
                                 const std::optional<std::string>& passphrase) const {
    if (passphrase && passphrase->empty())
        return SignatureError::kPassphrase;
    const Bio memory(BIO_new(BIO_s_mem()), BIO_free);
    if (!memory || !WritePem(memory.get(), m_impl->key, passphrase))
        return SignatureErrorFromLibrary();
    char* text = nullptr;
    const long length = BIO_get_mem_data(memory.get(), &text);
    return WriteNewPrivateFile(pemPath, text, length);
}

TPublicKey TSigningKey::PublicKey() const {
    TPublicKey::Bytes bytes{};
    std::size_t length = bytes.size();
    // Cannot fail for an Ed25519 key, the only kind this class holds.
    EVP_PKEY_get_raw_public_key(m_impl->key, bytes.data(), &length);
    return TPublicKey(bytes);
}

SignatureError TSigningKey::Sign(std::string_view message, std::optional<TSignature>& signature) const {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    TSignature::Bytes bytes{};
    std::size_t length = bytes.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_impl->key) != 1 ||
        EVP_DigestSign(context.get(), bytes.data(), &length,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1 ||
        length != bytes.size())
        return SignatureErrorFromLibrary();
    signature.emplace(bytes);
    return SignatureError::kNone;
}

SignatureError TSigningKey::SignFile(const std::string& path, std::optional<TSignature>& signature) const {
    FileDigest::Sha512 digest{};
    if (const SignatureError error = FileDigest::OfFile(path, digest); error != SignatureError::kNone)
        return error;
    return Sign(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()), signature);
}

} // namespace quorvel
