#include "TStagedInstall.h"

#include "DurableWrite.h"
#include "FileMetadata.h"
#include "FolderSteps.h"
#include "TBackgroundWriteback.h"
#include "TCABFile.h"
#include "TFileOps.h"
#include "TFolderSet.h"
#include "TStager.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace quorvel {

using namespace FolderSteps;

namespace {

// Room kept free beyond what a cabinet declares: the file system's own
// records, and whatever else is written meanwhile.
constexpr unsigned long long kSpaceMargin = 4ull << 20;

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
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

// Points a cabinet component at a descriptor for as long as it lives.
class TCabinetFromDescriptor {
public:
    TCabinetFromDescriptor(TCABFile& cabinet, int fd)
        : m_cabinet(cabinet), m_previous(cabinet.CABFileDescriptor()) {
        cabinet.SetCABFileDescriptor(fd);
    }
    ~TCabinetFromDescriptor() { m_cabinet.SetCABFileDescriptor(m_previous); }
    TCabinetFromDescriptor(const TCabinetFromDescriptor&) = delete;
    TCabinetFromDescriptor& operator=(const TCabinetFromDescriptor&) = delete;

private:
    TCABFile& m_cabinet;
    int m_previous;
};

// A cabinet, read from a descriptor, as what fills the staging folder.
class TCabinetStager : public TStager {
public:
    TCabinetStager(TCABFile& cabinet, int fd) : m_cabinet(cabinet), m_source(cabinet, fd) {}
    bool Declared(std::uint64_t& files, std::uint64_t& bytes) override {
        quint64 count = 0, size = 0;
        if (!m_cabinet.DeclaredContents(count, size))
            return false;
        files = count;
        bytes = size;
        return true;
    }
    bool Fill(int, int, const std::string& stagingPath, TFileOps& ops) override {
        TFileOps* const previous = m_cabinet.FileOps;
        m_cabinet.SetTargetPath(QFile::decodeName(QByteArray::fromStdString(stagingPath)));
        m_cabinet.FileOps = &ops;
        const bool ok = m_cabinet.ExtractAll();
        m_cabinet.FileOps = previous;
        return ok;
    }

private:
    TCABFile& m_cabinet;
    TCabinetFromDescriptor m_source;
};

} // namespace

TStagedInstall::TStagedInstall(const QString& folder, const QString& packageName, TFileOps& ops)
    : m_folder(QFile::encodeName(folder).toStdString()),
      m_package(QFile::encodeName(packageName).toStdString()), m_ops(ops) {
    if (m_folder.empty() || m_folder.back() != '/')
        m_folder += '/';
    std::string stem = m_package;
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    m_staging = "." + stem + ".staging";
    m_rollback = "." + stem + ".rollback";
    m_journal = "." + stem + ".journal";
    m_journalTemp = m_journal + ".new";
    m_done = "." + stem + ".done";
    m_lockName = "." + stem + ".lock";
    m_reserved = {m_staging, m_rollback, m_journal, m_journalTemp, m_done, m_lockName, m_package};
}

QString TStagedInstall::LockName(const QString& packageName) {
    const int dot = packageName.lastIndexOf(QLatin1Char('.'));
    return QLatin1Char('.') + (dot > 0 ? packageName.left(dot) : packageName) + QStringLiteral(".lock");
}

const char* TStagedInstall::RefusalText(TRefusal refusal) {
    switch (refusal) {
    case TRefusal::None:
        return "";
    case TRefusal::Busy:
        return "Another update is running in the folder.";
    case TRefusal::NoLock:
        return "The folder cannot be locked against other updates.";
    case TRefusal::Untrusted:
        return "The folder, or a file of the updater in it, may be changed by other users.";
    case TRefusal::Pending:
        return "An earlier update is not finished or undone yet.";
    case TRefusal::NoSpace:
        return "The update does not fit on the disk.";
    case TRefusal::BadPackage:
        return "The update package cannot be unpacked whole, or carries a name the updater keeps for itself.";
    case TRefusal::LinkInTheWay:
        return "A symbolic link stands where the update has a folder.";
    case TRefusal::Changed:
        return "The folder changed while the update was installed.";
    case TRefusal::Failed:
        break;
    }
    return "A file could not be written, moved or removed.";
}

bool TStagedInstall::Refuse(TRefusal why) {
    if (m_refusal == TRefusal::None)
        m_refusal = why;
    return false;
}

void TStagedInstall::Reserve(const QString& name) {
    m_reserved.push_back(QFile::encodeName(name).toStdString());
}

void TStagedInstall::AddLeftover(const QString& name) {
    Reserve(name);
    m_leftovers.push_back(QFile::encodeName(name).toStdString());
}

void TStagedInstall::Own(const QString& name) {
    Reserve(name);
    m_owned.push_back(QFile::encodeName(name).toStdString());
}

void TStagedInstall::StageFile(const QString& name, std::string bytes) {
    Own(name);
    m_stagedFiles.push_back({QFile::encodeName(name).toStdString(), std::move(bytes)});
}

bool TStagedInstall::IsReserved(const std::string& name) const {
    // Compared without case, so that a folder on a file system that ignores
    // case is safe too.
    return std::any_of(m_reserved.begin(), m_reserved.end(),
                       [&](const std::string& reserved) { return EqualNoCase(reserved, name); });
}

bool TStagedInstall::OpenRoot() {
    if (m_root.Valid())
        return true;
    // A folder reached through a link is the folder it names: resolved once,
    // here, so that every later step (the staging's path included) works on
    // that one folder, and no link below it is ever followed.
    if (char* real = realpath(m_folder.c_str(), nullptr)) {
        m_folder = std::string(real) + (std::string_view(real) == "/" ? "" : "/");
        free(real);
    }
    TUniqueFd root(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!root.Valid())
        return Refuse(TRefusal::Failed);
    // One install or recovery at a time in a folder: a second updater must
    // not take the journal of a running install for an interrupted one.
    switch (m_lock.Acquire(root.Get(), m_lockName)) {
    case TFolderLock::TState::Held:
        break;
    case TFolderLock::TState::Busy:
        return Refuse(TRefusal::Busy);
    case TFolderLock::TState::Untrusted:
        return Refuse(TRefusal::Untrusted);
    default:
        return Refuse(TRefusal::NoLock);
    }
    m_root = std::move(root);
    return true;
}

bool TStagedInstall::Trusted() {
    struct stat st {};
    if (!OpenRoot() || fstat(m_root.Get(), &st) != 0)
        return false;
    // Others who may create and remove names here could put a journal or a
    // rollback folder of their choosing in our place.
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0 && (st.st_mode & S_ISVTX) == 0)
        return Refuse(TRefusal::Untrusted);
    // Whatever stands at our names must be the running user's, and a file
    // there must have no second link, which could be another user's name
    // for it. (Links are never followed, only replaced.) A left-over may be
    // the package's one other name: a backup made as a link.
    struct stat package {};
    const bool havePackage = Lookup(m_root.Get(), m_package, &package) == 0 && S_ISREG(package.st_mode);
    auto isPackage = [&](const struct stat& file) {
        return havePackage && file.st_nlink == 2 && file.st_dev == package.st_dev &&
               file.st_ino == package.st_ino;
    };
    std::vector<std::string> ours = {m_staging, m_rollback, m_journal, m_journalTemp, m_done};
    ours.insert(ours.end(), m_leftovers.begin(), m_leftovers.end());
    ours.insert(ours.end(), m_owned.begin(), m_owned.end());
    for (const std::string& name : ours) {
        const int found = Lookup(m_root.Get(), name, &st);
        const bool leftover = std::find(m_leftovers.begin(), m_leftovers.end(), name) != m_leftovers.end();
        if (found != ENOENT && (found != 0 || st.st_uid != geteuid() ||
                                (S_ISREG(st.st_mode) && st.st_nlink != 1 && !(leftover && isPackage(st)))))
            return Refuse(TRefusal::Untrusted);
    }
    return true;
}

void TStagedInstall::RemoveOurFolders(bool leftovers) {
    RemoveTree(m_root.Get(), m_staging, m_ops);
    RemoveTree(m_root.Get(), m_rollback, m_ops);
    RemoveTree(m_root.Get(), m_journalTemp, m_ops);
    // The caller's left-overs are files: a folder of that name is not ours.
    struct stat st {};
    for (const std::string& name : m_leftovers)
        if (leftovers && Lookup(m_root.Get(), name, &st) == 0 && !S_ISDIR(st.st_mode))
            m_ops.Unlink(m_root.Get(), name.c_str(), 0);
}

bool TStagedInstall::AnyLeftover() const {
    std::vector<std::string> names = {m_staging, m_rollback, m_journalTemp};
    names.insert(names.end(), m_leftovers.begin(), m_leftovers.end());
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return Lookup(m_root.Get(), name) != ENOENT; });
}

bool TStagedInstall::Fail() {
    Refuse(TRefusal::Failed);
    // The package goes first: whatever is left after a kill here still tells
    // the next start that this install did not happen.
    if (Lookup(m_root.Get(), m_package) == 0)
        m_ops.Unlink(m_root.Get(), m_package.c_str(), 0);
    // While a journal stands, the rollback folder may hold the only copies of
    // old files: it stays for Recover.
    if (Lookup(m_root.Get(), m_journal) == ENOENT)
        RemoveOurFolders();
    return false;
}

void TStagedInstall::Abandon() {
    m_refusal = TRefusal::None;
    if (OpenRoot() && Trusted())
        Fail();
}

bool TStagedInstall::Install(TCABFile& cabinet, const QString& cabinetPath) {
    const TUniqueFd fd(open(QFile::encodeName(cabinetPath).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.Valid()) {
        Abandon();
        return false;
    }
    return Install(cabinet, fd.Get());
}

bool TStagedInstall::Install(TCABFile& cabinet, int cabinetFd) {
    TCabinetStager stager(cabinet, cabinetFd);
    return Install(stager);
}

bool TStagedInstall::Install(TStager& stager) {
    m_refusal = TRefusal::None;
    if (!OpenRoot() || !Trusted())
        return false;
    // An install that is not undone or cleared yet: nothing new starts on top of it.
    if (Lookup(m_root.Get(), m_journal) != ENOENT || Lookup(m_root.Get(), m_done) != ENOENT) {
        Refuse(TRefusal::Pending);
        return Fail();
    }
    // Folders an earlier install left; the caller's files (a backup just
    // made) are the caller's until the install ends.
    RemoveOurFolders(false);
    if (!EnoughSpace(stager)) {
        Refuse(TRefusal::NoSpace);
        return Fail();
    }
    if (m_ops.MakeDir(m_root.Get(), m_staging.c_str(), 0700) != 0 ||
        m_ops.MakeDir(m_root.Get(), m_rollback.c_str(), 0700) != 0)
        return Fail();
    // Opened before anything is written, so that its flushes report every
    // write error of the install.
    const TUniqueFd watch(open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    TInstallPlan plan;
    {
        TBackgroundWriteback writeback;
        if (!watch.Valid())
            return Fail();
        if (!Stage(stager, writeback) || !WriteStagedFiles() || (m_stagedCheck && !m_stagedCheck())) {
            Refuse(TRefusal::BadPackage);
            return Fail();
        }
        if (!MakePlan(plan))
            return Fail();
        // The journal needs no flush of its own: the one that puts the staged
        // files on the disk takes it too, before any product file moves.
        if (!TInstallJournal::Place(m_root.Get(), m_journal, m_journalTemp, plan, m_ops) ||
            !FlushStaging(watch.Get(), writeback)) {
            m_ops.Unlink(m_root.Get(), m_journal.c_str(), 0);
            return Fail();
        }
    }

    bool committed = false;
    {
        const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
        const TUniqueFd rollbackFd(OpenFolderAt(m_root.Get(), m_rollback));
        if (stagingFd.Valid() && rollbackFd.Valid()) {
            TFolderSet product(m_root.Get()), staging(stagingFd.Get()), rollback(rollbackFd.Get());
            // The renames are on the disk before the journal that could undo
            // them goes; its rename to the done mark is the commit point.
            committed = Commit(plan, product, staging, rollback) && m_ops.SyncFileSystem(watch.Get()) == 0 &&
                        m_ops.Rename(m_root.Get(), m_journal.c_str(), m_root.Get(), m_done.c_str()) == 0;
        }
    }
    if (committed)
        return Finish();
    if (Undo(plan) && m_ops.Unlink(m_root.Get(), m_journal.c_str(), 0) == 0)
        m_ops.Sync(m_root.Get());
    return Fail();
}

bool TStagedInstall::Finish() {
    // The rollback folder goes only once the done mark is on the disk: a
    // journal that came back after a power loss must still find the old files.
    if (m_ops.Sync(m_root.Get()) != 0)
        return true; // installed; the next start clears what is left
    RemoveOurFolders();
    m_ops.Unlink(m_root.Get(), m_done.c_str(), 0);
    return true;
}

bool TStagedInstall::EnoughSpace(TStager& stager) const {
    std::uint64_t files = 0, bytes = 0;
    struct statvfs space {};
    if (!stager.Declared(files, bytes) || fstatvfs(m_root.Get(), &space) != 0)
        return false;
    const unsigned long long block = space.f_frsize ? space.f_frsize : 4096;
    // Every file ends in a partly used block.
    const unsigned long long needed = bytes + files * block + bytes / 32 + kSpaceMargin;
    const unsigned long long available = static_cast<unsigned long long>(space.f_bavail) * block;
    if (available < needed)
        return false;
    // A file system that counts its files: one for each file and at most one
    // for each folder it creates.
    return space.f_files == 0 || space.f_favail >= 2 * files + 16;
}

bool TStagedInstall::Stage(TStager& stager, TBackgroundWriteback& writeback) {
    const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
    TStagingWrites writes(m_ops, writeback);
    return stagingFd.Valid() &&
           stager.Fill(m_root.Get(), stagingFd.Get(), m_folder + m_staging + "/", writes);
}

bool TStagedInstall::WriteStagedFiles() {
    if (m_stagedFiles.empty())
        return true;
    const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
    for (const TStaged& file : m_stagedFiles) {
        // A cabinet entry of the same name makes the creation fail.
        const TUniqueFd fd(openat(stagingFd.Get(), file.name.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (!fd.Valid() || !DurableWrite::WriteAll(m_ops, fd.Get(), file.bytes))
            return false;
    }
    return true;
}

bool TStagedInstall::MakePlan(TInstallPlan& plan) {
    const TUniqueFd stagingFd(OpenFolderAt(m_root.Get(), m_staging));
    if (!stagingFd.Valid())
        return false;
    auto staged = [&](const std::string& name) {
        return std::any_of(m_stagedFiles.begin(), m_stagedFiles.end(),
                           [&](const TStaged& file) { return file.name == name; });
    };
    std::vector<std::string> files;
    auto collect = [&](const std::string& path, bool isFolder, const struct stat& st) {
        // The top of the staging folder holds the names the package would replace.
        if (path.find('/') == std::string::npos && IsReserved(path) && !(staged(path) && !isFolder))
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
    std::set<std::string> missing, aside;
    for (const std::string& path : files) {
        const std::vector<std::string> parts = SplitPath(path);
        const std::string& leaf = parts.back();
        // Folders that are not there yet are created by the commit, parents
        // first. Only "not found" means missing; a file where a folder goes
        // is set aside first. Any other failure (a link where a folder goes,
        // no descriptor left) fails the plan.
        std::string folder;
        bool below = false;
        std::size_t existing = parts.size() - 1; // the folders on the way that are there
        for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
            folder += (i ? "/" : "") + parts[i];
            if (!below && (aside.count(folder) || product.Open(parts, i + 1, m_ops) < 0)) {
                if (!aside.count(folder) && errno != ENOENT) {
                    if (!InTheWay(product, parts, i))
                        return false;
                    aside.insert(folder);
                    plan.setAside.push_back(folder);
                }
                below = true;
                existing = i;
            }
            if (below && missing.insert(folder).second)
                plan.newFolders.push_back(folder);
        }
        struct stat st {};
        const int found = below ? ENOENT : Lookup(product.Open(parts, parts.size() - 1, m_ops), leaf, &st);
        if (found != 0 && found != ENOENT)
            return Refuse(TRefusal::Failed);
        // A folder where the package has a file goes aside whole.
        const bool folderInTheWay = found == 0 && S_ISDIR(st.st_mode);
        if (folderInTheWay)
            plan.setAside.push_back(path);
        const bool existed = found == 0 && !folderInTheWay;
        if (!TakeMetadata(parts, existed && S_ISREG(st.st_mode), product, existing, staging))
            return Refuse(TRefusal::Failed);
        plan.files.push_back({path, existed});
    }
    return true;
}

bool TStagedInstall::TakeMetadata(const std::vector<std::string>& parts, bool replacesFile,
                                  TFolderSet& product, std::size_t existing, TFolderSet& staging) {
    const std::string& leaf = parts.back();
    const int stagedDir = staging.Open(parts, parts.size() - 1, m_ops);
    const TUniqueFd staged(
        stagedDir < 0 ? -1 : openat(stagedDir, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    const int productDir = product.Open(parts, replacesFile ? parts.size() - 1 : existing, m_ops);
    if (!staged.Valid() || productDir < 0)
        return false;
    if (replacesFile) {
        // A replaced file is what it was to everyone: owner, group, mode,
        // access list, capabilities and other attributes.
        struct stat st {};
        if (fstatat(productDir, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        const TUniqueFd old(
            openat(productDir, leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        return old.Valid() ? FileMetadata::Copy(old.Get(), staged.Get())
                           : errno == EACCES && FileMetadata::CopyOwnerAndMode(st, staged.Get());
    }
    // A new file may be read by whoever may read the folder it goes into
    // (the nearest one that is there; the folders created on the way take
    // its mode), whatever the updater's umask. One the package marks as a
    // program (staged with execute bits) may be run by the same people.
    struct stat dir {
    }, file{};
    if (fstat(productDir, &dir) != 0 || fstat(staged.Get(), &file) != 0)
        return false;
    mode_t mode = dir.st_mode & 0666;
    if ((file.st_mode & 0111) != 0)
        mode |= (mode & 0444) >> 2;
    return FileMetadata::TakeFromFolder(staged.Get(), productDir, mode);
}

bool TStagedInstall::InTheWay(TFolderSet& product, const std::vector<std::string>& parts, std::size_t index) {
    // The folder above was opened just before, so it is there.
    struct stat st {};
    if (Lookup(product.Open(parts, index, m_ops), parts[index], &st) != 0)
        return Refuse(TRefusal::Failed);
    // A link is never followed below the folder, nor taken away from the
    // user: whatever it names stays as it is.
    if (S_ISLNK(st.st_mode))
        return Refuse(TRefusal::LinkInTheWay);
    if (!S_ISREG(st.st_mode))
        return Refuse(TRefusal::Failed);
    return true;
}

bool TStagedInstall::FlushStaging(int watch, TBackgroundWriteback& writeback) {
    // One flush of the whole file system puts every staged file and folder,
    // and the journal, on the disk: far cheaper than a flush per file for a package of many
    // files, each of which would wait for a commit of the file system's
    // journal (and the cache of the disk) on its own.
    writeback.Finish();
    return m_ops.SyncFileSystem(watch) == 0;
}

bool TStagedInstall::SetAside(const TInstallPlan& plan, TFolderSet& product, TFolderSet& rollback) {
    auto always = [](const std::string&) { return true; };
    for (const std::string& path : plan.setAside) {
        const std::vector<std::string> parts = SplitPath(path);
        const char* leaf = parts.back().c_str();
        const int from = product.Open(parts, parts.size() - 1, m_ops);
        const int to = from < 0 ? -1 : rollback.Open(parts, parts.size() - 1, m_ops, always);
        // What stands there moves whole, whatever it holds, in one rename.
        if (to < 0 || m_ops.Rename(from, leaf, to, leaf) != 0)
            return Refuse(TRefusal::Changed);
    }
    return true;
}

bool TStagedInstall::Commit(const TInstallPlan& plan, TFolderSet& product, TFolderSet& staging,
                            TFolderSet& rollback) {
    if (!SetAside(plan, product, rollback))
        return false;
    const std::set<std::string> planned(plan.newFolders.begin(), plan.newFolders.end());
    auto mayCreate = [&](const std::string& path) { return planned.count(path) > 0; };
    auto always = [](const std::string&) { return true; };
    for (const TInstallPlan::TFile& file : plan.files) {
        const std::vector<std::string> parts = SplitPath(file.path);
        const char* leaf = parts.back().c_str();
        const int to = product.Open(parts, parts.size() - 1, m_ops, mayCreate);
        const int from = staging.Open(parts, parts.size() - 1, m_ops);
        if (to < 0 || from < 0)
            return Refuse(TRefusal::Changed);
        struct stat st {};
        const int found = Lookup(to, leaf, &st);
        // What stands at the name must still be what the journal says: the
        // undo relies on it.
        if ((found != 0 && found != ENOENT) || (found == 0) != file.existed ||
            (found == 0 && S_ISDIR(st.st_mode)))
            return Refuse(TRefusal::Changed);
        if (found == 0) {
            const int aside = rollback.Open(parts, parts.size() - 1, m_ops, always);
            if (aside < 0 || m_ops.Rename(to, leaf, aside, leaf) != 0)
                return false;
        }
        if (m_ops.Rename(from, leaf, to, leaf) != 0)
            return false;
    }
    return true;
}

} // namespace quorvel
