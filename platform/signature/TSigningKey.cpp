#include "TSigningKey.h"

#include "FileDigest.h"
#include "SignatureError.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

struct TSigningKey::Impl {
    EVP_PKEY* key = nullptr;
    ~Impl() { EVP_PKEY_free(key); }
};

TSigningKey::TSigningKey(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
TSigningKey::~TSigningKey() = default;
TSigningKey::TSigningKey(TSigningKey&&) noexcept = default;
TSigningKey& TSigningKey::operator=(TSigningKey&&) noexcept = default;

std::optional<TSigningKey> TSigningKey::Generate(int& error) {
    auto impl = std::make_unique<Impl>();
    impl->key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!impl->key) {
        error = SignatureError::FromLibrary();
        return std::nullopt;
    }
    error = SignatureError::kNone;
    return TSigningKey(std::move(impl));
}

std::optional<TSigningKey> TSigningKey::Load(const std::string& pemPath, int& error) {
    const std::unique_ptr<BIO, decltype(&BIO_free)> file(BIO_new_file(pemPath.c_str(), "r"), BIO_free);
    if (!file) {
        SignatureError::FromLibrary();
        error = SignatureError::kCannotRead;
        return std::nullopt;
    }
    auto impl = std::make_unique<Impl>();
    impl->key = PEM_read_bio_PrivateKey(file.get(), nullptr, nullptr, nullptr);
    if (!impl->key || EVP_PKEY_get_base_id(impl->key) != EVP_PKEY_ED25519) {
        SignatureError::FromLibrary();
        error = SignatureError::kBadKey;
        return std::nullopt;
    }
    error = SignatureError::kNone;
    return TSigningKey(std::move(impl));
}

int TSigningKey::Save(const std::string& pemPath) const {
    const std::unique_ptr<BIO, decltype(&BIO_free)> memory(BIO_new(BIO_s_mem()), BIO_free);
    if (!memory ||
        PEM_write_bio_PrivateKey(memory.get(), m_impl->key, nullptr, nullptr, 0, nullptr, nullptr) != 1)
        return SignatureError::FromLibrary();
    char* text = nullptr;
    const long length = BIO_get_mem_data(memory.get(), &text);
    const int fd = ::open(pemPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
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
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::unlink(pemPath.c_str());
        return SignatureError::kCannotWrite;
    }
    return SignatureError::kNone;
}

TPublicKey TSigningKey::PublicKey() const {
    TPublicKey::Bytes bytes{};
    std::size_t length = bytes.size();
    // Cannot fail for an Ed25519 key, the only kind this class holds.
    EVP_PKEY_get_raw_public_key(m_impl->key, bytes.data(), &length);
    return TPublicKey(bytes);
}

int TSigningKey::SignFile(const std::string& path, std::optional<TSignature>& signature) const {
    FileDigest::Sha512 digest{};
    if (const int error = FileDigest::OfFile(path, digest); error != SignatureError::kNone)
        return error;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    TSignature::Bytes bytes{};
    std::size_t length = bytes.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, m_impl->key) != 1 ||
        EVP_DigestSign(context.get(), bytes.data(), &length, digest.data(), digest.size()) != 1 ||
        length != bytes.size())
        return SignatureError::FromLibrary();
    signature.emplace(bytes);
    return SignatureError::kNone;
}
