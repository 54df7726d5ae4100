#pragma once

#include "TPublicKey.h"
#include "TReleaseStatement.h"
#include "TSha512.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What updates must prove when the updater has keys: a release statement,
// fetched before the package, signed by one of the keys, for this product,
// not expired and newer than the installed release; then a package of the
// stated size and digest, hashed while it arrives, and a copy to unpack
// that is still that package. Without keys nothing is asked for.
//
// One download at a time: the statement and the digest are written by the
// engine's worker thread and read on the GUI thread only after the run has
// said so through the window's flags.
class TReleaseCheck {
public:
    enum class TOutcome {
        Newer,     // download the package, at most Statement size bytes
        UpToDate,  // the statement's release is not above the installed one
        Refused,   // no statement, or one that does not count
        Cancelled, // the fetch was cut short by a cancel
    };

    // Base64 public keys (the current one and the one that takes over);
    // empty ones are left out. A text that is not a key stays required but
    // accepts nothing.
    TReleaseCheck(const QString& key, const QString& nextKey, const QString& product);

    bool Required() const { return m_required; }

    // Fetches the statement at url through the internet layer (agent and
    // proxy as the engine's, at most a statement's size, stopping when
    // cancelled becomes true) and judges it against installedRelease. For
    // Newer, the statement is kept and the package digest starts afresh.
    TOutcome Fetch(const QString& url, const QString& proxy, const std::atomic<bool>& cancelled,
                   std::uint64_t installedRelease);

    // The kept statement's package size and release (0 without one).
    std::uint64_t PackageSize() const { return m_statement ? m_statement->Facts().size : 0; }
    std::uint64_t Release() const { return m_statement ? m_statement->Facts().release : 0; }

    // The package's bytes, in order from the first.
    void Add(const char* data, std::size_t size);
    // After the last byte: whether the bytes added are the stated package.
    bool PackageMatches();
    // Whether the open file (read from its first byte) is the stated package.
    bool CopyMatches(int fd) const;

    // Forgets the statement: a new "Start" begins.
    void Forget();

private:
    std::vector<TPublicKey> m_keys;
    std::string m_product;
    bool m_required = false;
    std::optional<TReleaseStatement> m_statement;
    TSha512 m_digest;
};
