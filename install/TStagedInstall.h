#pragma once

#include "QuorvelExport.h"

#include "InstallJournal.h"
#include "TFolderLock.h"
#include "TUniqueFd.h"

#include <QString>
#include <functional>
#include <string>
#include <vector>

namespace quorvel {

class TBackgroundWriteback;
class TCABFile;
class TStager;
class TFileOps;
class TFolderSet;

// Installs a cabinet into a folder so that the folder ends with either every
// file of the cabinet or exactly what it held before.
//
// The cabinet is unpacked into a staging folder of ours inside the folder
// (same file system) and a journal is written beside it; one flush of the
// file system puts both on the disk. Then each file is committed by renames: a file standing at its name is
// moved into a rollback folder of ours and the new file renamed into its place, missing folders are created.
// After a last flush the journal is renamed to the done mark (the commit point), our folders and left-overs
// go, and the mark last. A failure anywhere undoes what was done; a journal found later (the program was
// killed or the machine stopped) is undone by Recover. Files the cabinet
// does not carry are never touched, and no symbolic link is followed below
// the folder.
//
// An install that fails, is undone or was interrupted takes the package file
// with it, so that the next download is not compared against a package that
// was never installed.
//
// Our names start with "." and the stem of the package name:
// ".STEM.staging", ".STEM.rollback", ".STEM.journal" (and ".STEM.journal.new"
// while it is written), ".STEM.done", ".STEM.lock". A cabinet carrying one of
// them, or one of the names given to Reserve, at the top of the folder is
// refused. None of them, and no left-over the caller names, is acted on
// unless it belongs to the running user, nor anything in a folder that other
// users may change.
//
// An object holds the folder's lock (TFolderLock on ".STEM.lock") from its
// first use to its end, and does nothing without it. The lock is counted
// within a process, so a caller that already holds it for a longer run
// (TFolderLock on LockName()) shares its hold.
class QUORVEL_EXPORT TStagedInstall {
public:
    // folder: the folder to install into ("/" at the end or not).
    TStagedInstall(const QString& folder, const QString& packageName, TFileOps& ops);

    // A name (at the top of the folder) that no cabinet entry may replace.
    void Reserve(const QString& name);
    // A file of the caller's at the top of the folder that lives only while
    // an install runs (a copy of the package): reserved, removed when the
    // install ends, and, found by Recover, the sign of an interrupted one.
    void AddLeftover(const QString& name);
    // A file of ours at the top of the folder (a record kept with the
    // product): reserved, and wherever it stands it must be a regular file of
    // the running user with one link, or the folder is not acted on.
    void Own(const QString& name);
    // A file of ours written at the top of the folder with the cabinet's
    // files and committed or undone with them; owned as Own says.
    void StageFile(const QString& name, std::string bytes);

    // Unpacks the cabinet read from the open descriptor `cabinetFd` (never
    // reopened by name) with `cabinet` and commits it. True when every file
    // was installed; false leaves the folder's files as they were (or, when
    // even the undo failed, keeps the journal for Recover).
    bool Install(TCABFile& cabinet, int cabinetFd);
    // The same for the cabinet file at `cabinetPath`, opened once.
    bool Install(TCABFile& cabinet, const QString& cabinetPath);
    // The same with the staging folder filled by `stager` (a delta built
    // from the installed files) instead of a cabinet.
    bool Install(TStager& stager);
    // Asked once the staging folder is filled, before anything is committed
    // (an empty check asks nothing): false refuses the install as a bad package.
    void CheckStaged(std::function<bool()> check) { m_stagedCheck = std::move(check); }
    // Gives up an install before it starts: the package and the left-overs go.
    void Abandon();

    enum class TRecovery {
        Nothing,     // no install was under way, or it had committed: left-overs cleared
        RolledBack,  // an interrupted install was undone; the package is gone
        Interrupted, // an install ended before its commit point; the package is gone
        Untrusted,   // the folder or one of our names is not the running user's: nothing done
        Failed,      // the undo failed; the journal stays, so that a later call tries again
    };
    // Brings the folder back to a whole state after an install that did not
    // end. A journal that cannot be read is moved aside with its rollback
    // folder (which may hold the only copies of old files) under dated
    // names, and counts as an interrupted install. packageIsFresh: the
    // package came after the last recovery, so left-overs found without a
    // journal are older than it and only cleared. Nothing is done while
    // another install or recovery runs in the folder (Failed).
    TRecovery Recover(bool packageIsFresh = false);

    // Whether the folder and our names in it may be acted on.
    bool Trusted();

    // Why the last Install, Abandon or Recover did not do its work.
    enum class TRefusal {
        None,
        Busy,         // another updater holds the folder
        NoLock,       // no lock can be taken in the folder: nothing is done unlocked
        Untrusted,    // the folder, or a name of ours in it, may be changed by other users
        Pending,      // an earlier install is not undone or cleared yet
        NoSpace,      // the package does not fit on the disk
        BadPackage,   // the package cannot be read or unpacked whole, or carries a name of ours
        LinkInTheWay, // a symbolic link stands where the package has a folder
        Changed,      // the folder changed while the install ran
        Failed,       // a file operation failed
    };
    TRefusal Refusal() const { return m_refusal; }
    // A short English sentence for a refusal, for a log or a message.
    static const char* RefusalText(TRefusal refusal);

    // The lock file of the folder for a package (".STEM.lock").
    static QString LockName(const QString& packageName);

private:
    struct TStaged {
        std::string name;
        std::string bytes;
    };

    bool OpenRoot();
    bool Refuse(TRefusal why);
    bool Fail();
    // Our folders and, with leftovers, the caller's left-over files.
    void RemoveOurFolders(bool leftovers = true);
    bool AnyLeftover() const;
    bool EnoughSpace(TStager& stager) const;
    bool Stage(TStager& stager, TBackgroundWriteback& writeback);
    bool WriteStagedFiles();
    bool MakePlan(TInstallPlan& plan);
    // Whether what stands where the package has the folder parts[0..index]
    // may be set aside: a file may, a link may not.
    bool InTheWay(TFolderSet& product, const std::vector<std::string>& parts, std::size_t index);
    // Gives the staged file at parts the metadata it is to have: that of the
    // file it replaces, or its new folder's (the first `existing` of parts).
    bool TakeMetadata(const std::vector<std::string>& parts, bool replacesFile, TFolderSet& product,
                      std::size_t existing, TFolderSet& staging);
    bool FlushStaging(int watch, TBackgroundWriteback& writeback);
    bool SetAside(const TInstallPlan& plan, TFolderSet& product, TFolderSet& rollback);
    bool Commit(const TInstallPlan& plan, TFolderSet& product, TFolderSet& staging, TFolderSet& rollback);
    bool Finish();
    bool Undo(const TInstallPlan& plan);
    bool UndoSetAside(const TInstallPlan& plan, TFolderSet& product, TFolderSet& rollback, bool haveRollback);
    bool MoveAsideDamagedJournal();
    std::string OrphanDamagedStamp();
    bool IsReserved(const std::string& name) const;

    std::string m_folder; // encoded, "/" at the end
    std::string m_package;
    TFileOps& m_ops;
    std::string m_staging, m_rollback, m_journal, m_journalTemp, m_done, m_lockName;
    std::vector<std::string> m_reserved;
    std::vector<std::string> m_leftovers;
    std::vector<std::string> m_owned;
    std::vector<TStaged> m_stagedFiles;
    std::function<bool()> m_stagedCheck;
    TUniqueFd m_root;
    TFolderLock m_lock;
    TRefusal m_refusal = TRefusal::None;
};

} // namespace quorvel
