#pragma once

#include "SignatureError.h"
#include "TPublicKey.h"
#include "TSignature.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// An Ed25519 private key, for the vendor's release process: made fresh or
// loaded from a PEM (PKCS #8) file, plain or encrypted with a passphrase.
class TSigningKey {
public:
    ~TSigningKey();
    TSigningKey(TSigningKey&&) noexcept;
    TSigningKey& operator=(TSigningKey&&) noexcept;

    // Each returns nullopt and sets error (a SignatureError code) on failure.
    static std::optional<TSigningKey> Generate(SignatureError& error);
    // An encrypted key file needs its passphrase: without one, or with a
    // wrong one, the error is kPassphrase (nothing is ever asked on a
    // terminal). A passphrase given for a plain key file is not used.
    static std::optional<TSigningKey> Load(const std::string& pemPath, SignatureError& error,
                                           const std::optional<std::string>& passphrase = std::nullopt);

    // Writes the key as PEM to a new file readable by its owner only; an
    // existing file is never replaced. With a (non-empty) passphrase the key
    // is encrypted: AES-256-CBC under a key derived by scrypt (N 16384, r 8,
    // p 1), which the openssl tool reads as well. Returns a SignatureError code.
    SignatureError Save(const std::string& pemPath,
                        const std::optional<std::string>& passphrase = std::nullopt) const;

    TPublicKey PublicKey() const;

    // Signs the exact bytes of a message. Returns a SignatureError code.
    SignatureError Sign(std::string_view message, std::optional<TSignature>& signature) const;
    // Signs the SHA-512 digest of the whole file. Returns a SignatureError code.
    SignatureError SignFile(const std::string& path, std::optional<TSignature>& signature) const;

private:
    struct Impl;
    explicit TSigningKey(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quorvel
