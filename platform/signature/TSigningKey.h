#pragma once

#include "TPublicKey.h"
#include "TSignature.h"

#include <memory>
#include <optional>
#include <string>

// An Ed25519 private key, for the vendor's release process: made fresh or
// loaded from a PEM (PKCS #8) file, it signs files in the form TSignature
// describes.
class TSigningKey {
public:
    ~TSigningKey();
    TSigningKey(TSigningKey&&) noexcept;
    TSigningKey& operator=(TSigningKey&&) noexcept;

    // Each returns nullopt and sets error (a SignatureError code) on failure.
    static std::optional<TSigningKey> Generate(int& error);
    static std::optional<TSigningKey> Load(const std::string& pemPath, int& error);

    // Writes the key as PEM to a new file readable by its owner only; an
    // existing file is never replaced. Returns a SignatureError code.
    int Save(const std::string& pemPath) const;

    TPublicKey PublicKey() const;

    // Signs the SHA-512 digest of the whole file. Returns a SignatureError code.
    int SignFile(const std::string& path, std::optional<TSignature>& signature) const;

private:
    struct Impl;
    explicit TSigningKey(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};
