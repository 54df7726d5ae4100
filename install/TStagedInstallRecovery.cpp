// The way back of an install: undoing what a journal names, and the
// recovery that a start makes of an install a kill or a crash interrupted.
#include "TStagedInstall.h"

#include "FolderSteps.h"
#include "TFileOps.h"
#include "TFolderSet.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace quorvel {

using namespace FolderSteps;

namespace {

// The time of day in UTC as "YYYYMMDD-HHMMSS", for names set aside.
std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &parts);
    return text;
}

// Added to our names when they are set aside for a person to look at.
const std::string kDamaged = ".damaged-";

} // namespace

bool TStagedInstall::Undo(const TInstallPlan& plan) {
    const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
    const TUniqueFd rollbackFd(OpenFolderAt(m_root.Get(), m_rollback));
    auto usable = [&](const TUniqueFd& fd, const std::string& name) {
        return fd.Valid() || Lookup(m_root.Get(), name) == ENOENT;
    };
    if (!usable(stagingFd, m_staging) || !usable(rollbackFd, m_rollback))
        return false;
    TFolderSet product(m_root.Get()), staging(stagingFd.Get()), rollback(rollbackFd.Get());
    // A folder that cannot be opened for another reason than its absence
    // fails the undo: what it holds cannot be told.
    // A file on the way (one the commit had not set aside yet) means nothing
    // of ours is below it either.
    auto open = [&](TFolderSet& set, bool valid, const std::vector<std::string>& parts, int& fd) {
        fd = valid ? set.Open(parts, parts.size() - 1, m_ops) : -1;
        return fd >= 0 || !valid || errno == ENOENT || errno == ENOTDIR;
    };
    bool ok = true;
    for (auto it = plan.files.rbegin(); it != plan.files.rend(); ++it) {
        const std::vector<std::string> parts = SplitPath(it->path);
        const std::string& leaf = parts.back();
        int to = -1, aside = -1, from = -1;
        if (!open(product, true, parts, to) || !open(rollback, rollbackFd.Valid(), parts, aside)) {
            ok = false;
            continue;
        }
        // Only a file that stood at its name was moved aside there; what a
        // set-aside entry left is put back below.
        const int asideFound = aside >= 0 && it->existed ? Lookup(aside, leaf) : ENOENT;
        struct stat st {};
        const int found = to >= 0 ? Lookup(to, leaf, &st) : ENOENT;
        if ((asideFound != 0 && asideFound != ENOENT) || (found != 0 && found != ENOENT)) {
            ok = false;
        } else if (asideFound == 0) {
            // The old file goes back; the new one, when it got in, goes.
            if (to < 0 || (found == 0 && (S_ISDIR(st.st_mode) || m_ops.Unlink(to, leaf.c_str(), 0) != 0)) ||
                m_ops.Rename(aside, leaf.c_str(), to, leaf.c_str()) != 0)
                ok = false;
        } else if (!it->existed && found == 0 && S_ISREG(st.st_mode)) {
            // A new file that is no longer staged was moved in.
            if (!open(staging, stagingFd.Valid(), parts, from)) {
                ok = false;
                continue;
            }
            const int staged = from >= 0 ? Lookup(from, leaf) : ENOENT;
            if (staged == ENOENT ? m_ops.Unlink(to, leaf.c_str(), 0) != 0 : staged != 0)
                ok = false;
        }
    }
    for (auto it = plan.newFolders.rbegin(); it != plan.newFolders.rend(); ++it) {
        const std::vector<std::string> parts = SplitPath(*it);
        const int parent = product.Open(parts, parts.size() - 1, m_ops);
        if (parent < 0 && errno != ENOENT && errno != ENOTDIR)
            ok = false;
        // A folder that holds something not ours stays, and so does a file
        // standing at its name that was not set aside yet.
        if (parent >= 0 && m_ops.Unlink(parent, parts.back().c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT &&
            errno != ENOTEMPTY && errno != EEXIST && errno != ENOTDIR)
            ok = false;
    }
    ok = UndoSetAside(plan, product, rollback, rollbackFd.Valid()) && ok;
    return m_ops.SyncFileSystem(m_root.Get()) == 0 && ok;
}

bool TStagedInstall::UndoSetAside(const TInstallPlan& plan, TFolderSet& product, TFolderSet& rollback,
                                  bool haveRollback) {
    // Last, once the new entries at their names are gone.
    bool ok = true;
    for (auto it = plan.setAside.rbegin(); haveRollback && it != plan.setAside.rend(); ++it) {
        const std::vector<std::string> parts = SplitPath(*it);
        const std::string& leaf = parts.back();
        const int aside = rollback.Open(parts, parts.size() - 1, m_ops);
        if (aside < 0) {
            ok = ok && errno == ENOENT; // nothing was set aside below there
            continue;
        }
        const int found = Lookup(aside, leaf);
        if (found == ENOENT)
            continue; // not moved yet, or back already
        const int to = product.Open(parts, parts.size() - 1, m_ops);
        // Something new still standing at the name keeps the old entry aside.
        if (found != 0 || to < 0 || Lookup(to, leaf) != ENOENT ||
            m_ops.Rename(aside, leaf.c_str(), to, leaf.c_str()) != 0)
            ok = false;
    }
    return ok;
}

std::string TStagedInstall::OrphanDamagedStamp() {
    // A rollback folder set aside whose journal is not beside it yet: a kill
    // came between the two renames.
    std::vector<std::string> names;
    if (!ListFolder(m_root.Get(), names))
        return {};
    const std::string prefix = m_rollback + kDamaged;
    for (auto it = names.rbegin(); it != names.rend(); ++it)
        if (it->starts_with(prefix) &&
            Lookup(m_root.Get(), m_journal + it->substr(m_rollback.size())) == ENOENT)
            return it->substr(m_rollback.size());
    return {};
}

bool TStagedInstall::MoveAsideDamagedJournal() {
    // The rollback folder first: a journal without it undoes nothing, while
    // a rollback folder without its journal would be cleared as a left-over.
    // Both carry one stamp, so that a person finds which go together.
    const int rollback = Lookup(m_root.Get(), m_rollback);
    if (rollback != 0 && rollback != ENOENT)
        return false;
    std::string suffix = rollback == ENOENT ? OrphanDamagedStamp() : std::string();
    const std::string stamp = kDamaged + Stamp();
    for (int n = 0; suffix.empty() && n < 100; ++n) {
        const std::string candidate = n == 0 ? stamp : stamp + "-" + std::to_string(n);
        if (Lookup(m_root.Get(), m_rollback + candidate) == ENOENT &&
            Lookup(m_root.Get(), m_journal + candidate) == ENOENT)
            suffix = candidate;
    }
    if (suffix.empty())
        return false;
    if (rollback == 0 &&
        m_ops.Rename(m_root.Get(), m_rollback.c_str(), m_root.Get(), (m_rollback + suffix).c_str()) != 0)
        return false;
    return m_ops.Rename(m_root.Get(), m_journal.c_str(), m_root.Get(), (m_journal + suffix).c_str()) == 0 &&
           m_ops.Sync(m_root.Get()) == 0;
}

TStagedInstall::TRecovery TStagedInstall::Recover(bool packageIsFresh) {
    m_refusal = TRefusal::None;
    if (!OpenRoot())
        return m_refusal == TRefusal::Untrusted ? TRecovery::Untrusted : TRecovery::Failed;
    if (!Trusted())
        return TRecovery::Untrusted;
    TRecovery result = TRecovery::Nothing;
    const int journal = Lookup(m_root.Get(), m_journal);
    if (journal == 0) {
        // A journal is renamed into place only once complete, so one whose
        // text is not a journal was damaged afterwards. One that cannot be
        // read now (permissions, the disk, no descriptor left) is no damage:
        // it stays for a later try.
        TInstallPlan plan;
        switch (TInstallJournal::Read(m_root.Get(), m_journal, plan)) {
        case TInstallJournal::TReadStatus::Read:
            if (!Undo(plan))
                return TRecovery::Failed;
            result = TRecovery::RolledBack;
            break;
        case TInstallJournal::TReadStatus::Damaged:
            if (!MoveAsideDamagedJournal())
                return TRecovery::Failed;
            result = TRecovery::Interrupted;
            break;
        default:
            return TRecovery::Failed;
        }
    } else if (journal != ENOENT) {
        return TRecovery::Failed;
    } else if (!packageIsFresh && Lookup(m_root.Get(), m_done) == ENOENT && AnyLeftover()) {
        result = TRecovery::Interrupted;
    }
    if (result != TRecovery::Nothing) {
        // The package goes before the signs of the failed install do.
        if (Lookup(m_root.Get(), m_package) != ENOENT &&
            m_ops.Unlink(m_root.Get(), m_package.c_str(), 0) != 0 && errno != ENOENT)
            return TRecovery::Failed;
        if (result == TRecovery::RolledBack && m_ops.Unlink(m_root.Get(), m_journal.c_str(), 0) != 0)
            return TRecovery::Failed;
        m_ops.Sync(m_root.Get());
    }
    RemoveOurFolders();
    if (Lookup(m_root.Get(), m_done) == 0)
        m_ops.Unlink(m_root.Get(), m_done.c_str(), 0);
    return result;
}

} // namespace quorvel
