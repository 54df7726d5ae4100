#pragma once

#include "TUpdateOutcome.h"
#include "TUpdateSettings.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quorvel {

class TReleaseStatement;

// An update by a delta package instead of the full one, tried once the full
// package's statement has said that release M is newer than the installed
// release N: the delta's own statement at <package URL>.from-N.release
// (signed, for this product, naming the package <package>.from-N, release M
// and base N, not expired), the delta at <package URL>.from-N (resumed,
// bounded by the stated size, hashed as it arrives, checked whole before it
// is used), then a staged install that builds each changed file from the
// installed one and commits them with the release record, exactly as a full
// package is committed.
//
// Every failure leaves the product's files as they were and says so with
// false: the caller then takes the full package in the same run. The delta
// is kept in the update folder (as ".STEM.delta-DIGEST", the statement's
// digest in its name) only while an interrupted download may be resumed
// against the same statement; any other goes when a delta is tried, and
// the one used goes with its install, whatever its outcome.
class TDeltaUpdate {
public:
    explicit TDeltaUpdate(const TUpdateSettings& settings);

    using TProgress = std::function<void(const TUpdateProgress&)>;

    // True when release `release` is installed from the delta for
    // `installed` (0: no recorded release, no delta is asked for).
    bool Try(std::uint64_t installed, std::uint64_t release, const QString& proxy,
             const std::atomic<bool>& cancelled, const TProgress& progress = {});

    // The statement a delta from `installed` to `release` must have, from
    // its text; nullopt when the text does not count.
    std::optional<TReleaseStatement> Judge(const std::string& text, std::uint64_t installed,
                                           std::uint64_t release) const;

private:
    bool Install(int folderFd, int deltaFd, const std::string& deltaName, std::uint64_t release);
    // The delta files of earlier statements go; keep is the current one's name.
    void RemoveOtherDeltas(int folderFd, const std::string& keep) const;
    std::string DeltaPrefix() const;

    TUpdateSettings m_settings;
};

} // namespace quorvel
