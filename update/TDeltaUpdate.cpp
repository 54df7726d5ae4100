#include "TDeltaUpdate.h"

#include "DeltaDownload.h"
#include "ReleaseRecord.h"
#include "SignatureError.h"
#include "TDeltaStager.h"
#include "TFileOps.h"
#include "TFolderLock.h"
#include "TPublicKey.h"
#include "TReleaseStatement.h"
#include "TStagedInstall.h"
#include "TUniqueFd.h"
#include "UtcTime.h"

#include <QFile>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quorvel {

namespace {

std::string Encoded(const QString& name) {
    return QFile::encodeName(name).toStdString();
}

// A regular file of the running user with no second name: one of ours.
bool Ours(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() && st.st_nlink == 1;
}

} // namespace

TDeltaUpdate::TDeltaUpdate(const TUpdateSettings& settings) : m_settings(settings) {
    if (!m_settings.folder.endsWith(QLatin1Char('/')))
        m_settings.folder += QLatin1Char('/');
}

std::string TDeltaUpdate::DeltaPrefix() const {
    std::string stem = Encoded(m_settings.packageName);
    if (const std::size_t dot = stem.rfind('.'); dot != std::string::npos && dot > 0)
        stem.resize(dot);
    return "." + stem + ".delta-";
}

std::optional<TReleaseStatement> TDeltaUpdate::Judge(const std::string& text, std::uint64_t installed,
                                                     std::uint64_t release) const {
    std::vector<TPublicKey> keys;
    for (const QString& key : {m_settings.key, m_settings.nextKey})
        if (const auto parsed = TPublicKey::FromBase64(key.toStdString()))
            keys.push_back(*parsed);
    auto statement = TReleaseStatement::Parse(text);
    // The package name is the one the signing tool gives a delta by default.
    const std::string product = m_settings.product.toStdString();
    const std::string package = Encoded(m_settings.packageName) + ".from-" + std::to_string(installed);
    const TReleaseStatement::TDemand demand{product, package, {}, installed};
    if (!statement || keys.empty() ||
        statement->Check(keys, demand, UtcTime::Now()) != SignatureError::kNone ||
        statement->Facts().release != release)
        return std::nullopt;
    return statement;
}

bool TDeltaUpdate::Try(std::uint64_t installed, std::uint64_t release, const QString& proxy,
                       const std::atomic<bool>& cancelled, const TProgress& progress) {
    if (installed == 0 || release <= installed)
        return false;
    const std::string url = m_settings.url.toStdString() + ".from-" + std::to_string(installed);
    const auto text = DeltaDownload::FetchText(url + ".release", proxy.toStdString(), cancelled,
                                               TReleaseStatement::kMaxTextSize);
    const auto statement = text ? Judge(*text, installed, release) : std::nullopt;
    const TUniqueFd folder(
        open(QFile::encodeName(m_settings.folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.Valid())
        return false;
    if (!statement || cancelled) {
        RemoveOtherDeltas(folder.Get(), {});
        return false;
    }
    const TReleaseStatement::TFacts& facts = statement->Facts();
    if (m_settings.maxPackageSize && facts.size > m_settings.maxPackageSize)
        return false;
    // Named by the statement's digest: a kept partial file is only ever
    // resumed towards the package it was the start of.
    const std::string name = DeltaPrefix() + TSha512::Hex(facts.sha512).substr(0, 32);
    RemoveOtherDeltas(folder.Get(), name);
    TUniqueFd delta(openat(folder.Get(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!delta.Valid())
        return false;
    if (!Ours(delta.Get())) {
        // Not ours to resume (another user's, or a second name): neither used nor touched.
        return false;
    }
    const auto moved = [&](std::uint64_t done, std::uint64_t total) {
        if (progress)
            progress({done, total});
    };
    if (!DeltaDownload::Fetch(delta.Get(), url, proxy.toStdString(), cancelled, facts.size, facts.sha512,
                              moved)) {
        struct stat st {};
        // Nothing worth resuming: no file is left.
        if (fstat(delta.Get(), &st) == 0 && st.st_size == 0)
            unlinkat(folder.Get(), name.c_str(), 0);
        return false;
    }
    return !cancelled && Install(folder.Get(), delta.Get(), name, release);
}

bool TDeltaUpdate::Install(int folderFd, int deltaFd, const std::string& deltaName, std::uint64_t release) {
    // Under the folder's lock, as a full install: the release must still be
    // above what is installed, or the delta (built for an older base) goes.
    TFolderLock hold;
    if (hold.Acquire(folderFd, Encoded(TStagedInstall::LockName(m_settings.packageName))) !=
        TFolderLock::TState::Held)
        return false;
    if (!ReleaseRecord::AboveInstalled(m_settings.folder, m_settings.packageName, m_settings.release,
                                       release)) {
        unlinkat(folderFd, deltaName.c_str(), 0);
        return false;
    }
    TFileOps& ops = m_settings.ops ? *m_settings.ops : TFileOps::System();
    TStagedInstall install(m_settings.folder, m_settings.packageName, ops);
    // The names a full install keeps for itself are kept here too.
    install.AddLeftover(m_settings.backupName);
    install.AddLeftover(QLatin1Char('.') + m_settings.backupName + QStringLiteral(".new"));
    install.Reserve(ReleaseRecord::Name(m_settings.packageName));
    install.StageFile(ReleaseRecord::Name(m_settings.packageName), ReleaseRecord::Text(release));
    if (install.Recover(true) != TStagedInstall::TRecovery::Nothing) {
        unlinkat(folderFd, deltaName.c_str(), 0);
        return false;
    }
    // The delta goes with the install, committed or not (declared after the
    // recovery, which clears left-overs it finds).
    install.AddLeftover(QFile::decodeName(QByteArray::fromStdString(deltaName)));
    TDeltaStager stager(deltaFd);
    if (!install.Install(stager))
        return false;
    // The full package of the earlier release no longer stands for what
    // is installed.
    unlinkat(folderFd, Encoded(m_settings.packageName).c_str(), 0);
    return true;
}

void TDeltaUpdate::RemoveOtherDeltas(int folderFd, const std::string& keep) const {
    const int fd = dup(folderFd);
    DIR* dir = fd >= 0 ? fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            close(fd);
        return;
    }
    const std::string prefix = DeltaPrefix();
    std::vector<std::string> stale;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat st {};
        if (name.rfind(prefix, 0) == 0 && name != keep &&
            fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
            st.st_uid == geteuid())
            stale.push_back(name);
    }
    closedir(dir);
    for (const std::string& name : stale)
        unlinkat(folderFd, name.c_str(), 0);
}

} // namespace quorvel
