#pragma once

#include "InstallJournal.h"
#include "TUniqueFd.h"

#include <QString>
#include <string>
#include <vector>

class TBackgroundWriteback;
class TCABFile;
class TFileOps;
class TFolderSet;

// Installs a cabinet into a folder so that the folder ends with either every
// file of the cabinet or exactly what it held before.
//
// The cabinet is unpacked into a staging folder of ours inside the folder
// (same file system), flushed, and a journal is written; then each file is
// committed by renames: a file standing at its name is moved into a rollback
// folder of ours and the new file renamed into its place, missing folders are
// created. After a last flush the journal goes and so do our folders. A
// failure anywhere undoes what was done; a journal found later (the program
// was killed or the machine stopped) is undone by Recover. Files the cabinet
// does not carry are never touched, and no symbolic link is followed below
// the folder.
//
// Our names start with "." and the stem of the package name:
// ".STEM.staging", ".STEM.rollback", ".STEM.journal" (and ".STEM.journal.new"
// while it is written). A cabinet carrying one of them, or one of the names
// given to Reserve, at the top of the folder is refused.
class TStagedInstall {
public:
    // folder: the folder to install into ("/" at the end or not).
    TStagedInstall(const QString& folder, const QString& packageName, TFileOps& ops);

    // A name (at the top of the folder) that no cabinet entry may replace.
    void Reserve(const QString& name);

    // Unpacks the cabinet file `cabinetPath` with `cabinet` and commits it.
    // True when every file was installed; false leaves the folder as it was
    // (or, when even the undo failed, keeps the journal for Recover).
    bool Install(TCABFile& cabinet, const QString& cabinetPath);

    enum class TRecovery { Nothing, RolledBack, Failed };
    // Undoes an install whose journal is present and removes left-over
    // staging and rollback folders. Failed keeps the journal, so that a later
    // call tries again.
    TRecovery Recover();

    const std::string& StagingName() const { return m_staging; }
    const std::string& RollbackName() const { return m_rollback; }
    const std::string& JournalName() const { return m_journal; }

private:
    bool OpenRoot();
    void RemoveOurFolders();
    bool Stage(TCABFile& cabinet, const QString& cabinetPath, TBackgroundWriteback& writeback);
    bool MakePlan(TInstallPlan& plan);
    bool FlushStaging(int watch, TBackgroundWriteback& writeback);
    bool Commit(const TInstallPlan& plan, TFolderSet& product, TFolderSet& staging, TFolderSet& rollback);
    bool Undo(const TInstallPlan& plan);
    bool IsReserved(const std::string& name) const;

    std::string m_folder; // encoded, "/" at the end
    TFileOps& m_ops;
    std::string m_staging, m_rollback, m_journal, m_journalTemp;
    std::vector<std::string> m_reserved;
    TUniqueFd m_root;
};
