#include "TStagedInstall.h"

#include "TBackgroundWriteback.h"
#include "TCABFile.h"
#include "TFileOps.h"
#include "TFolderSet.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace {

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t cut = path.find('/', start);
        parts.push_back(path.substr(start, cut == std::string::npos ? std::string::npos : cut - start));
        if (cut == std::string::npos)
            return parts;
        start = cut + 1;
    }
}

bool Exists(int dir, const std::string& name, struct stat* st = nullptr) {
    struct stat local {};
    return dir >= 0 && fstatat(dir, name.c_str(), st ? st : &local, AT_SYMLINK_NOFOLLOW) == 0;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

int OpenFolderAt(int dir, const std::string& name) {
    return openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// The names in the folder `dir`, sorted, so that an install always takes its
// files in the same order; false when the folder cannot be read.
bool ListFolder(int dir, std::vector<std::string>& names) {
    names.clear();
    const int copy = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* listing = copy >= 0 ? fdopendir(copy) : nullptr;
    if (!listing) {
        if (copy >= 0)
            close(copy);
        return false;
    }
    errno = 0;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    const bool ok = errno == 0;
    closedir(listing);
    std::sort(names.begin(), names.end());
    return ok;
}

// Calls visit(path, isFolder, status) for everything below the folder `dir`,
// a folder before its contents; false when a folder cannot be read or visit
// says so.
template <typename Visit> bool Walk(int dir, const std::string& prefix, Visit& visit) {
    std::vector<std::string> names;
    if (!ListFolder(dir, names))
        return false;
    for (const std::string& name : names) {
        struct stat st {};
        if (!Exists(dir, name, &st) || !visit(prefix + name, S_ISDIR(st.st_mode), st))
            return false;
        if (S_ISDIR(st.st_mode)) {
            const TUniqueFd sub(OpenFolderAt(dir, name));
            if (!sub.Valid() || !Walk(sub.Get(), prefix + name + "/", visit))
                return false;
        }
    }
    return true;
}

// Removes the entry `name` of `dir` with everything below it: links
// themselves, never what they point at.
void RemoveTree(int dir, const std::string& name, TFileOps& ops) {
    struct stat st {};
    if (!Exists(dir, name, &st))
        return;
    if (!S_ISDIR(st.st_mode)) {
        ops.Unlink(dir, name.c_str(), 0);
        return;
    }
    const TUniqueFd sub(OpenFolderAt(dir, name));
    std::vector<std::string> names;
    if (sub.Valid() && ListFolder(sub.Get(), names))
        for (const std::string& child : names)
            RemoveTree(sub.Get(), child, ops);
    ops.Unlink(dir, name.c_str(), AT_REMOVEDIR);
}

// Flushes the entries of every folder the sets hold open.
bool SyncFolders(const std::vector<const TFolderSet*>& sets, TFileOps& ops) {
    bool ok = true;
    for (const TFolderSet* set : sets)
        for (const int fd : set->Descriptors())
            ok = ops.Sync(fd) == 0 && ok;
    return ok;
}

// The writes of the staging: passed on to the install's operations; each
// finished file is handed to the disk in the background, so the disk works
// while the cabinet decompresses and the flush before the commit has little
// left to wait for.
class TStagingWrites : public TFileOps {
public:
    TStagingWrites(TFileOps& ops, TBackgroundWriteback& writeback) : m_ops(ops), m_writeback(writeback) {}
    ssize_t Write(int fd, const void* buffer, std::size_t count) override {
        return m_ops.Write(fd, buffer, count);
    }
    void Closing(int fd) override {
        m_ops.Closing(fd);
        m_writeback.Add(fd);
    }

private:
    TFileOps& m_ops;
    TBackgroundWriteback& m_writeback;
};

} // namespace

TStagedInstall::TStagedInstall(const QString& folder, const QString& packageName, TFileOps& ops)
    : m_folder(QFile::encodeName(folder).toStdString()), m_ops(ops) {
    if (m_folder.empty() || m_folder.back() != '/')
        m_folder += '/';
    std::string stem = QFile::encodeName(packageName).toStdString();
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    m_staging = "." + stem + ".staging";
    m_rollback = "." + stem + ".rollback";
    m_journal = "." + stem + ".journal";
    m_journalTemp = m_journal + ".new";
    m_reserved = {m_staging, m_rollback, m_journal, m_journalTemp};
    Reserve(packageName);
}

void TStagedInstall::Reserve(const QString& name) {
    m_reserved.push_back(QFile::encodeName(name).toStdString());
}

bool TStagedInstall::IsReserved(const std::string& name) const {
    // Compared without case, so that a folder on a file system that ignores
    // case is safe too.
    return std::any_of(m_reserved.begin(), m_reserved.end(),
                       [&](const std::string& reserved) { return EqualNoCase(reserved, name); });
}

bool TStagedInstall::OpenRoot() {
    if (!m_root.Valid())
        m_root = TUniqueFd(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return m_root.Valid();
}

void TStagedInstall::RemoveOurFolders() {
    RemoveTree(m_root.Get(), m_staging, m_ops);
    RemoveTree(m_root.Get(), m_rollback, m_ops);
    RemoveTree(m_root.Get(), m_journalTemp, m_ops);
}

bool TStagedInstall::Install(TCABFile& cabinet, const QString& cabinetPath) {
    if (!OpenRoot())
        return false;
    // An interrupted install that is not undone yet: nothing new starts on top of it.
    if (Exists(m_root.Get(), m_journal))
        return false;
    RemoveOurFolders();
    if (m_ops.MakeDir(m_root.Get(), m_staging.c_str(), 0700) != 0 ||
        m_ops.MakeDir(m_root.Get(), m_rollback.c_str(), 0700) != 0) {
        RemoveOurFolders();
        return false;
    }
    // Opened before anything is written, so that its flushes report every
    // write error of the install.
    const TUniqueFd watch(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    TInstallPlan plan;
    TBackgroundWriteback writeback;
    if (!watch.Valid() || !Stage(cabinet, cabinetPath, writeback) || !MakePlan(plan) ||
        !FlushStaging(watch.Get(), writeback)) {
        RemoveOurFolders();
        return false;
    }
    if (!TInstallJournal::Write(m_root.Get(), m_journal, m_journalTemp, plan, m_ops)) {
        m_ops.Unlink(m_root.Get(), m_journal.c_str(), 0);
        RemoveOurFolders();
        return false;
    }

    bool committed = false;
    {
        const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
        const TUniqueFd rollbackFd(OpenFolderAt(m_root.Get(), m_rollback));
        if (stagingFd.Valid() && rollbackFd.Valid()) {
            TFolderSet product(m_root.Get()), staging(stagingFd.Get()), rollback(rollbackFd.Get());
            // The renames are on the disk before the journal that could undo them goes.
            committed = Commit(plan, product, staging, rollback) && m_ops.SyncFileSystem(watch.Get()) == 0 &&
                        m_ops.Unlink(m_root.Get(), m_journal.c_str(), 0) == 0;
        }
    }
    if (committed) {
        m_ops.Sync(m_root.Get());
        RemoveOurFolders();
        return true;
    }
    if (Undo(plan) && m_ops.Unlink(m_root.Get(), m_journal.c_str(), 0) == 0) {
        m_ops.Sync(m_root.Get());
        RemoveOurFolders();
    }
    return false;
}

bool TStagedInstall::Stage(TCABFile& cabinet, const QString& cabinetPath, TBackgroundWriteback& writeback) {
    TFileOps* const previous = cabinet.FileOps;
    cabinet.SetCABFile(cabinetPath);
    cabinet.SetTargetPath(QFile::decodeName(QByteArray::fromStdString(m_folder + m_staging + "/")));
    TStagingWrites writes(m_ops, writeback);
    cabinet.FileOps = &writes;
    const bool ok = cabinet.ExtractAll();
    cabinet.FileOps = previous;
    return ok;
}

bool TStagedInstall::MakePlan(TInstallPlan& plan) {
    const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
    if (!stagingFd.Valid())
        return false;
    std::vector<std::string> files;
    auto collect = [&](const std::string& path, bool isFolder, const struct stat& st) {
        // The top of the staging folder holds the names the package would replace.
        if (path.find('/') == std::string::npos && IsReserved(path))
            return false;
        if (!isFolder && !S_ISREG(st.st_mode))
            return false;
        if (!isFolder)
            files.push_back(path);
        return true;
    };
    if (!Walk(stagingFd.Get(), "", collect))
        return false;

    TFolderSet product(m_root.Get()), staging(stagingFd.Get());
    std::set<std::string> missing;
    for (const std::string& path : files) {
        const std::vector<std::string> parts = SplitPath(path);
        const std::string& leaf = parts.back();
        // Folders that are not there yet are created by the commit, parents first.
        std::string folder;
        bool below = false;
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            folder += (i ? "/" : "") + parts[i];
            if (!below && product.Open(parts, i + 1, m_ops) < 0) {
                if (errno != ENOENT)
                    break; // a file or a link where a folder goes: the commit fails there
                below = true;
            }
            if (below && missing.insert(folder).second)
                plan.newFolders.push_back(folder);
        }
        struct stat st {};
        const bool existed = !below && Exists(product.Open(parts, parts.size() - 1, m_ops), leaf, &st);
        // A replaced file keeps its permissions, so a replaced program stays executable.
        if (existed && S_ISREG(st.st_mode)) {
            const int dir = staging.Open(parts, parts.size() - 1, m_ops);
            if (dir < 0 || fchmodat(dir, leaf.c_str(), st.st_mode & 0777, 0) != 0)
                return false;
        }
        plan.files.push_back({path, existed});
    }
    return true;
}

bool TStagedInstall::FlushStaging(int watch, TBackgroundWriteback& writeback) {
    // One flush of the whole file system puts every staged file and folder
    // on the disk: far cheaper than a flush per file for a package of many
    // files, each of which would wait for a commit of the file system's
    // journal (and the cache of the disk) on its own.
    writeback.Finish();
    return m_ops.SyncFileSystem(watch) == 0;
}

bool TStagedInstall::Commit(const TInstallPlan& plan, TFolderSet& product, TFolderSet& staging,
                            TFolderSet& rollback) {
    const std::set<std::string> planned(plan.newFolders.begin(), plan.newFolders.end());
    auto mayCreate = [&](const std::string& path) { return planned.count(path) > 0; };
    auto always = [](const std::string&) { return true; };
    for (const TInstallPlan::TFile& file : plan.files) {
        const std::vector<std::string> parts = SplitPath(file.path);
        const char* leaf = parts.back().c_str();
        const int to = product.Open(parts, parts.size() - 1, m_ops, mayCreate);
        const int from = staging.Open(parts, parts.size() - 1, m_ops);
        if (to < 0 || from < 0)
            return false;
        struct stat st {};
        const bool present = Exists(to, leaf, &st);
        // What stands at the name must still be what the journal says: the
        // undo relies on it.
        if (present != file.existed || (present && S_ISDIR(st.st_mode)))
            return false;
        if (present) {
            const int aside = rollback.Open(parts, parts.size() - 1, m_ops, always);
            if (aside < 0 || m_ops.Rename(to, leaf, aside, leaf) != 0)
                return false;
        }
        if (m_ops.Rename(from, leaf, to, leaf) != 0)
            return false;
    }
    return true;
}

bool TStagedInstall::Undo(const TInstallPlan& plan) {
    const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
    const TUniqueFd rollbackFd(OpenFolderAt(m_root.Get(), m_rollback));
    TFolderSet product(m_root.Get()), staging(stagingFd.Get()), rollback(rollbackFd.Get());
    bool ok = true;
    for (auto it = plan.files.rbegin(); it != plan.files.rend(); ++it) {
        const std::vector<std::string> parts = SplitPath(it->path);
        const char* leaf = parts.back().c_str();
        const int to = product.Open(parts, parts.size() - 1, m_ops);
        const int aside = rollbackFd.Valid() ? rollback.Open(parts, parts.size() - 1, m_ops) : -1;
        struct stat st {};
        if (Exists(aside, leaf)) {
            // The old file goes back; the new one, when it got in, goes.
            if (to < 0 ||
                (Exists(to, leaf, &st) && (S_ISDIR(st.st_mode) || m_ops.Unlink(to, leaf, 0) != 0)) ||
                m_ops.Rename(aside, leaf, to, leaf) != 0)
                ok = false;
        } else if (!it->existed && to >= 0) {
            // A new file that is no longer staged was moved in.
            const int from = stagingFd.Valid() ? staging.Open(parts, parts.size() - 1, m_ops) : -1;
            if (!Exists(from, leaf) && Exists(to, leaf, &st) && S_ISREG(st.st_mode) &&
                m_ops.Unlink(to, leaf, 0) != 0)
                ok = false;
        }
    }
    for (auto it = plan.newFolders.rbegin(); it != plan.newFolders.rend(); ++it) {
        const std::vector<std::string> parts = SplitPath(*it);
        const int parent = product.Open(parts, parts.size() - 1, m_ops);
        // A folder that holds something not ours stays.
        if (parent >= 0 && m_ops.Unlink(parent, parts.back().c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT &&
            errno != ENOTEMPTY && errno != EEXIST)
            ok = false;
    }
    return SyncFolders({&product}, m_ops) && ok;
}

TStagedInstall::TRecovery TStagedInstall::Recover() {
    if (!OpenRoot())
        return TRecovery::Failed;
    TRecovery result = TRecovery::Nothing;
    if (Exists(m_root.Get(), m_journal)) {
        TInstallPlan plan;
        // A journal is renamed into place only once complete, so one that
        // cannot be read was damaged afterwards. Its rollback folder may hold
        // the only copies of the old files: leave everything as it is (an
        // install is refused while a journal stands) rather than guess.
        if (!TInstallJournal::Read(m_root.Get(), m_journal, plan) || !Undo(plan))
            return TRecovery::Failed;
        if (m_ops.Unlink(m_root.Get(), m_journal.c_str(), 0) != 0)
            return TRecovery::Failed;
        m_ops.Sync(m_root.Get());
        result = TRecovery::RolledBack;
    }
    RemoveOurFolders();
    return result;
}
