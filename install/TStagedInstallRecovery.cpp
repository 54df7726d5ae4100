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
    auto open = [&](TFolderSet& set, bool valid, const std::vector<std::string>& parts, int& fd) {
        fd = valid ? set.Open(parts, parts.size() - 1, m_ops) : -1;
        return fd >= 0 || !valid || errno == ENOENT;
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
        const int asideFound = aside >= 0 ? Lookup(aside, leaf) : ENOENT;
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
        if (parent < 0 && errno != ENOENT)
            ok = false;
        // A folder that holds something not ours stays.
        if (parent >= 0 && m_ops.Unlink(parent, parts.back().c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT &&
            errno != ENOTEMPTY && errno != EEXIST)
            ok = false;
    }
    return m_ops.SyncFileSystem(m_root.Get()) == 0 && ok;
}

bool TStagedInstall::MoveAsideDamagedJournal() {
    // The rollback folder first: a journal without it undoes nothing, while
    // a rollback folder without its journal would be cleared as a left-over.
    const std::string stamp = ".damaged-" + Stamp();
    for (int n = 0; n < 100; ++n) {
        const std::string suffix = n == 0 ? stamp : stamp + "-" + std::to_string(n);
        if (Lookup(m_root.Get(), m_rollback + suffix) != ENOENT ||
            Lookup(m_root.Get(), m_journal + suffix) != ENOENT)
            continue;
        const int rollback = Lookup(m_root.Get(), m_rollback);
        if ((rollback == 0 && m_ops.Rename(m_root.Get(), m_rollback.c_str(), m_root.Get(),
                                           (m_rollback + suffix).c_str()) != 0) ||
            (rollback != 0 && rollback != ENOENT))
            return false;
        return m_ops.Rename(m_root.Get(), m_journal.c_str(), m_root.Get(), (m_journal + suffix).c_str()) ==
                   0 &&
               m_ops.Sync(m_root.Get()) == 0;
    }
    return false;
}

TStagedInstall::TRecovery TStagedInstall::Recover(bool packageIsFresh) {
    if (!OpenRoot())
        return TRecovery::Failed;
    if (!Trusted())
        return TRecovery::Untrusted;
    TRecovery result = TRecovery::Nothing;
    const int journal = Lookup(m_root.Get(), m_journal);
    if (journal == 0) {
        // A journal is renamed into place only once complete, so one that
        // cannot be read was damaged afterwards; a lack of descriptors or
        // memory is no damage, and leaves it for a later try.
        const TUniqueFd probe(openat(m_root.Get(), m_journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (!probe.Valid() && (errno == EMFILE || errno == ENFILE || errno == ENOMEM))
            return TRecovery::Failed;
        TInstallPlan plan;
        if (TInstallJournal::Read(m_root.Get(), m_journal, plan)) {
            if (!Undo(plan))
                return TRecovery::Failed;
            result = TRecovery::RolledBack;
        } else {
            if (!MoveAsideDamagedJournal())
                return TRecovery::Failed;
            result = TRecovery::Interrupted;
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
