#pragma once

#include "QuorvelExport.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace quorvel {

class TFileOps;

// What one product's update is: where it lives, where its package comes
// from and what vouches for it. The updater program fills it from its build
// settings; another program fills it from its own.
struct QUORVEL_EXPORT TUpdateSettings {
    // The update folder: the product's files, the package and our own files.
    QString folder;
    // The package's address (http or https); its statement is at url + ".release".
    QString url;
    QString packageName = QStringLiteral("DirevidUreziv.cab");
    QString backupName = QStringLiteral("DirevidUreziv_bu.cab");
    // Base64 Ed25519 public keys: the current one and the one taking over.
    // Both empty: no release statement is asked for and the server's date
    // decides what is new.
    QString key;
    QString nextKey;
    // Base64 root keys and the threshold of them that signs a key document:
    // any root turns roles on (key documents beside the package name the
    // release keys and the freshness key), and the two keys above go unused.
    QStringList rootKeys;
    unsigned threshold = 1;
    // The release the product was built as: the least the updater accepts
    // when no release is recorded yet (a fresh install is not release 0).
    std::uint64_t release = 0;
    // The channel release statements must name (empty: none).
    QString channel;
    // The product release statements must name.
    QString product = QStringLiteral("Quorvel");
    // The largest package downloaded, in bytes (0: no bound).
    std::uint64_t maxPackageSize = std::uint64_t{4} << 30;
    // Proxy for the statement and the package ("host:port"; empty: none).
    QString proxy;
    // File operations of the install; null for the system's (tests make one fail).
    TFileOps* ops = nullptr;
};

} // namespace quorvel
