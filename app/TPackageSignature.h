#pragma once

#include "TPublicKey.h"
#include "TSignature.h"

#include <QString>

#include <atomic>
#include <optional>

// The signature requirement of update packages. With a key, a package counts
// as received only when the detached signature served at "<package URL>.sig"
// verifies over the whole package file; the signature is kept so that the
// copy about to be unpacked can be checked again. Without a key nothing is
// asked for. A key text that is not a valid key refuses every package.
class TPackageSignature {
public:
    // keyBase64: the base64 of an Ed25519 public key, or empty for none.
    explicit TPackageSignature(const QString& keyBase64 = QString());

    bool Required() const { return m_required; }

    // Fetches "<packageUrl>.sig" through the internet layer (agent and proxy
    // as the engine's) and checks the package file against it. On success the
    // signature is kept for Check. Stops early when cancelled becomes true.
    // Runs on any one thread at a time; the result is read after it returns.
    bool FetchAndCheck(const QString& packageUrl, const QString& packagePath, const QString& proxy,
                       const std::atomic<bool>& cancelled);

    // Checks an open file (read from its start) against the signature kept
    // by the last good FetchAndCheck; false when there is none.
    bool Check(int fd) const;

    // Forgets the kept signature (a new download starts).
    void Forget() { m_signature.reset(); }

private:
    bool m_required = false;
    std::optional<TPublicKey> m_key;
    std::optional<TSignature> m_signature;
};
