#pragma once

#include "QuorvelExport.h"

#include "DateTime.h"
#include "TFolderLock.h"
#include "TReleaseCheck.h"
#include "TUpdateOutcome.h"
#include "TUpdateSettings.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

namespace quorvel {

class TWebCopy;

// One update of one product folder, without a window: the recovery of an
// interrupted install, the release statement (or, without a key, the
// server's date), the download, the checks of what arrived, the install and
// the release record.
//
// Two ways to drive it:
// - Run (or Check) does the whole job on an engine the caller hands it,
//   binding the engine's events to itself; it reports through OnStarted,
//   OnProgress and OnOutcome (OnProgress on the engine's worker thread, the
//   others on the caller's).
// - A window that keeps its own handlers calls the rules below from them,
//   one per engine event, and Install when it closes.
class QUORVEL_EXPORT TUpdate {
public:
    explicit TUpdate(TUpdateSettings settings);
    TUpdate(const TUpdate&) = delete;
    TUpdate& operator=(const TUpdate&) = delete;

    const TUpdateSettings& Settings() const { return m_settings; }
    // New settings (keys included) for the next run; only while none runs.
    void SetSettings(TUpdateSettings settings);
    // Other file operations for the install (null: the system's); the
    // statement of the last run is kept.
    void SetFileOps(TFileOps* ops) { m_settings.ops = ops; }
    QString PackagePath() const;
    // Whether a signed release statement decides (a key is set).
    bool Signed() const { return m_release.Required(); }

    // ---- the whole job ----

    enum class TMode { Check, Update };
    // Update: recovery, download, checks and install, ending Installed,
    // UpToDate or an error with nothing half-installed. Check: asks the
    // server only (the statement, or the date without a key) and downloads
    // nothing: UpToDate, UpdateAvailable or an error.
    TUpdateOutcome Run(TWebCopy& engine, TMode mode = TMode::Update);
    TUpdateOutcome Check();
    // Stops a Run or Check under way from any thread; it ends Cancelled.
    void Cancel();

    std::function<void()> OnStarted;
    std::function<void(const TUpdateProgress&)> OnProgress;
    std::function<void(const TUpdateOutcome&)> OnOutcome;

    // ---- the rules, one step at a time ----

    // Takes the update folder for one updater: Held, or Busy when another
    // process holds it (Untrusted, Unavailable: no lock of ours can be
    // taken there). A window holds it from its first "Start" to its end;
    // Run and Check hold it while they run.
    TFolderLock::TState HoldFolder(TFolderLock& lock) const;

    // At start: an install that a kill or a crash interrupted is undone, so
    // the product is whole again. False, with the outcome filled in
    // (RecoveryFailed), when the undo failed or the folder is not ours to
    // act on: nothing else may run then.
    bool Recover(TUpdateOutcome* failure = nullptr);

    // Sets the engine's one job for a new run: the package's address, the
    // update folder, the size bound, resuming. Forgets the last statement.
    void PrepareRun(TWebCopy& engine);

    enum class TDateRule {
        NoLocalPackage, // nothing to compare: download
        Newer,          // the server's copy is at least as new: download
        Older,          // the server's copy is older: up to date
    };
    // Without a key, on the date-check event: the server's date against the
    // package file's.
    TDateRule DateRule(TDateTime serverDate) const;
    // Whether a package file stands in the update folder.
    bool HasLocalPackage() const;

    // With a key, on the file-start event, before the package is asked for:
    // fetches and judges the statement; Newer bounds the engine's job by
    // the stated size.
    TReleaseCheck::TOutcome CheckStatement(TWebCopy& engine);
    // Whether the last CheckStatement installed the release from a delta:
    // the package's download is then skipped and Install has nothing to do.
    bool DeltaInstalled() const { return m_deltaInstalled; }
    // With a key, each block of the package as it arrives.
    void Arrived(const char* data, std::size_t length);
    // The download is whole and flushed, not yet in place: only a whole
    // cabinet (with a key, the stated one) replaces the package; an accepted
    // one is dated as not installed.
    // The file is read through the engine's open descriptor `fd`, the one
    // renamed into place; tempPath is its name.
    bool AcceptDownload(int fd, const QString& tempPath);
    // After a failed download: the package goes, so the next attempt
    // downloads without a date comparison.
    void RemovePackage();

    // Installs the downloaded package (a copy of it, checked again with a
    // key, staged and committed whole, with the release record). True when
    // the product's files are the package's.
    bool Install();

    // The installed release: the larger of the built-in one and the record;
    // nullopt when the record is there but cannot be believed or read.
    std::optional<std::uint64_t> InstalledRelease() const;

private:
    TReleaseCheck::TOutcome FetchStatement(const QString& proxy, const std::atomic<bool>& cancelled);
    QString KeptKeysName() const;
    TUpdateOutcome Finish(TUpdateReason reason, int engineError = 0, const QString& message = {});
    std::optional<TUpdateReason> HoldRefusal(TFolderLock& lock) const;
    void BindEngine(TWebCopy& engine);
    TUpdateOutcome CheckDate();

    TUpdateSettings m_settings;
    TReleaseCheck m_release;
    std::atomic<bool> m_cancelled{false};

    // The state of a Run, written by the engine's handlers.
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_runEnded = false;
    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_upToDate{false};
    std::atomic<bool> m_received{false};
    std::atomic<bool> m_refused{false};
    std::atomic<int> m_engineError{0};
    std::atomic<bool> m_deltaInstalled{false};
};

} // namespace quorvel
