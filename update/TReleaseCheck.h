#pragma once

#include "QuorvelExport.h"

#include "SignatureError.h"
#include "TPublicKey.h"
#include "TReleaseStatement.h"
#include "TSha512.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// What updates must prove when the updater has keys: a release statement,
// fetched before the package, for this product and package, not expired and
// newer than the installed release (but not beyond the bound one update may
// move); then a package of the stated size and digest, hashed while it
// arrives, and a copy to unpack that is still that package. Without keys
// nothing is asked for.
//
// Two ways to vouch for a statement:
// - one built-in release key (and the one taking over): the statement is
//   signed by it and expires at most 45 days ahead;
// - built-in root keys with a threshold (roles): key documents signed by
//   the roots name the release keys and an online freshness key; the
//   updater walks them from the newest it kept (keys/N.keys beside the
//   package) and needs a fresh word ("release M is the newest", the
//   package's address + ".fresh") signed by the freshness key besides the
//   statement signed by a release key.
//
// One download at a time: the statement and the digest are written by the
// engine's worker thread and read on the GUI thread only after the run has
// said so through the window's flags.
class QUORVEL_EXPORT TReleaseCheck {
public:
    enum class TOutcome {
        Newer,     // download the package, at most Statement size bytes
        UpToDate,  // the statement's release is not above the installed one
        Refused,   // no statement, or one that does not count
        Cancelled, // the fetch was cut short by a cancel
    };

    struct TKeys {
        // Base64 public keys (the current one and the one that takes over);
        // empty ones are left out. A text that is not a key stays required
        // but accepts nothing.
        QString key, nextKey;
        // Base64 root keys and how many of them sign a key document; any
        // root key turns roles on (the release keys above are then unused).
        QStringList rootKeys;
        unsigned threshold = 1;
    };
    TReleaseCheck() = default;
    TReleaseCheck(const TKeys& keys, const QString& product, const QString& package,
                  const QString& channel = {});

    bool Required() const { return m_required; }
    bool Roles() const { return !m_roots.empty(); }

    // Fetches the statement at url + ".release" through the internet layer
    // (proxy as the engine's, at most a statement's size, stopping when
    // cancelled becomes true) and judges it against installedRelease. With
    // roles, the key documents are walked first; the newest one taken is
    // kept as `keptKeys` in `folder` for the next walk. For Newer, the
    // statement is kept and the package digest starts afresh.
    TOutcome Fetch(const QString& url, const QString& proxy, const std::atomic<bool>& cancelled,
                   std::uint64_t installedRelease, const QString& folder = {}, const QString& keptKeys = {});

    // The kept statement's package size and release (0 without one).
    std::uint64_t PackageSize() const { return m_statement ? m_statement->Facts().size : 0; }
    std::uint64_t Release() const { return m_statement ? m_statement->Facts().release : 0; }
    // Why the last Fetch refused (a SignatureError code; kNone otherwise).
    SignatureError RefusalCode() const { return m_refusal; }

    // The package's bytes, in order from the first.
    void Add(const char* data, std::size_t size);
    // After the last byte: whether the bytes added are the stated package.
    bool PackageMatches();
    // Whether the open file (read from its first byte) is the stated package.
    bool CopyMatches(int fd) const;
    // Whether bytes of this size and digest are the stated package.
    bool DigestMatches(std::uint64_t size, const TSha512::Digest& digest) const;

    // Forgets the statement: a new "Start" begins.
    void Forget();

private:
    SignatureError Judge(const TReleaseStatement& statement, const std::string& url, const std::string& proxy,
                         const std::atomic<bool>& cancelled, std::uint64_t installed, const QString& folder,
                         const QString& keptKeys);

    std::vector<TPublicKey> m_keys;
    std::vector<TPublicKey> m_roots;
    unsigned m_threshold = 1;
    std::string m_product, m_package, m_channel;
    bool m_required = false;
    SignatureError m_refusal = SignatureError::kNone;
    std::optional<TReleaseStatement> m_statement;
    TSha512 m_digest;
};

} // namespace quorvel
