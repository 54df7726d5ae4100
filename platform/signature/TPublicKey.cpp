#include "TPublicKey.h"

#include "Base64.h"
#include "SignatureError.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

namespace quorvel {

std::optional<TPublicKey> TPublicKey::FromBase64(std::string_view text) {
    const auto bytes = Base64::DecodeExact(Base64::WithoutLineEnd(text), kSize);
    if (!bytes)
        return std::nullopt;
    Bytes data;
    std::copy(bytes->begin(), bytes->end(), data.begin());
    return TPublicKey(data);
}

std::string TPublicKey::Base64() const {
    return Base64::Encode(std::string_view(reinterpret_cast<const char*>(m_bytes.data()), m_bytes.size()));
}

SignatureError TPublicKey::VerifyDigest(const FileDigest::Sha512& digest, const TSignature& signature) const {
    return Verify(std::string_view(reinterpret_cast<const char*>(digest.data()), digest.size()), signature);
}

SignatureError TPublicKey::Verify(std::string_view message, const TSignature& signature) const {
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, m_bytes.data(), m_bytes.size()),
        EVP_PKEY_free);
    if (!key)
        return SignatureErrorFromLibrary();
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!context || EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1)
        return SignatureErrorFromLibrary();
    const int result =
        EVP_DigestVerify(context.get(), signature.Data().data(), signature.Data().size(),
                         reinterpret_cast<const unsigned char*>(message.data()), message.size());
    if (result == 1)
        return SignatureError::kNone;
    // A signature that does not verify (a key that is no curve point
    // included) leaves errors on the queue; they say no more than "no".
    SignatureErrorFromLibrary();
    return SignatureError::kMismatch;
}

SignatureError TPublicKey::VerifyFile(const std::string& path, const TSignature& signature) const {
    FileDigest::Sha512 digest{};
    if (const SignatureError error = FileDigest::OfFile(path, digest); error != SignatureError::kNone)
        return error;
    return VerifyDigest(digest, signature);
}

} // namespace quorvel
