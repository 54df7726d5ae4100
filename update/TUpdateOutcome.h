#pragma once

#include "QuorvelExport.h"

#include <QString>

#include <cstdint>

namespace quorvel {

// Why an update, or one step of it, ended as it did.
enum class TUpdateReason {
    Installed,       // the package was downloaded, checked and installed
    Downloaded,      // the package is here and checked; installing it is the caller's next step
    UpToDate,        // the server has nothing newer than what is installed
    UpdateAvailable, // a check found a newer release (nothing was downloaded)
    Cancelled,       // the caller cancelled
    DownloadFailed,  // no answer, an error status, a refused or damaged download
    Refused,         // with a key: no statement, or one that does not count
    InstallFailed,   // the install did not happen; the product is as it was
    Busy,            // another updater holds the folder
    RecoveryFailed,  // an interrupted install could not be undone, or the folder is not ours to act on
};

// The end of an update: its reason and the text a user is shown for it.
struct QUORVEL_EXPORT TUpdateOutcome {
    TUpdateReason reason = TUpdateReason::DownloadFailed;
    QString message;
    // The engine's error code when the download failed with one (else 0).
    int engineError = 0;

    bool Succeeded() const {
        return reason == TUpdateReason::Installed || reason == TUpdateReason::Downloaded ||
               reason == TUpdateReason::UpToDate || reason == TUpdateReason::UpdateAvailable;
    }
};

// Progress of the download: bytes written so far and the whole (0: unknown).
struct QUORVEL_EXPORT TUpdateProgress {
    std::uint64_t done = 0;
    std::uint64_t total = 0;
};

} // namespace quorvel
