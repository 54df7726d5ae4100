#include "TUpdate.h"

#include "FileAge.h"
#include "FolderPolicy.h"
#include "InetRequest.h"
#include "InetSession.h"
#include "PackageInstall.h"
#include "ReleaseRecord.h"
#include "TCABFile.h"
#include "TDeltaUpdate.h"
#include "TFileOps.h"
#include "TFolderLock.h"
#include "TSha512.h"
#include "TStagedInstall.h"
#include "UpdateTexts.h"
#include "UrlHelpers.h"
#include "WebCopy.h"

#include <QFile>

#include <algorithm>
#include <filesystem>

namespace quorvel {

namespace {

// The least average rate of a package download, bytes a second: its
// deadline is a minute plus the size bound at this rate.
constexpr std::uint64_t kLeastAverageRate = 32 * 1024;

QString WithSlash(const QString& folder) {
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

QString MessageOf(TUpdateReason reason) {
    switch (reason) {
    case TUpdateReason::Installed:
    case TUpdateReason::Downloaded:
        return QString::fromUtf8(UpdateTexts::kSuccess);
    case TUpdateReason::UpToDate:
        return QString::fromUtf8(UpdateTexts::kUpToDate);
    case TUpdateReason::UpdateAvailable:
        return QString::fromUtf8(UpdateTexts::kAvailable);
    case TUpdateReason::Busy:
        return QString::fromUtf8(UpdateTexts::kBusy);
    case TUpdateReason::RecoveryFailed:
        return QString::fromUtf8(UpdateTexts::kRecoveryFailed);
    case TUpdateReason::Cancelled:
        return QString();
    case TUpdateReason::DownloadFailed:
    case TUpdateReason::Refused:
    case TUpdateReason::InstallFailed:
        break;
    }
    return QString::fromUtf8(UpdateTexts::kError);
}

// The backup about to be installed checked against the statement the
// download was checked with, from the bytes its unpacking reads.
class TStatedCopy : public TBackupCheck {
public:
    explicit TStatedCopy(const TReleaseCheck& release) : m_release(release) {}
    void Add(const char* data, std::size_t size) override { m_ok = m_digest.Update(data, size) && m_ok; }
    bool Matches(int fd, bool whole) override {
        if (!whole)
            return m_release.CopyMatches(fd);
        TSha512::Digest digest{};
        const std::uint64_t size = m_digest.Size();
        return m_ok && m_digest.Final(digest) && m_release.DigestMatches(size, digest);
    }

private:
    const TReleaseCheck& m_release;
    TSha512 m_digest;
    bool m_ok = true;
};

} // namespace

TUpdate::TUpdate(TUpdateSettings settings) : m_settings(std::move(settings)) {
    SetSettings(m_settings);
}

void TUpdate::SetSettings(TUpdateSettings settings) {
    m_settings = std::move(settings);
    m_settings.folder = WithSlash(m_settings.folder);
    m_release = TReleaseCheck({m_settings.key, m_settings.nextKey, m_settings.rootKeys, m_settings.threshold},
                              m_settings.product, m_settings.packageName, m_settings.channel);
}

QString TUpdate::PackagePath() const {
    return m_settings.folder + m_settings.packageName;
}

TUpdateOutcome TUpdate::Finish(TUpdateReason reason, int engineError, const QString& message) {
    TUpdateOutcome outcome{reason, message.isEmpty() ? MessageOf(reason) : message, engineError};
    if (OnOutcome)
        OnOutcome(outcome);
    return outcome;
}

void TUpdate::Cancel() {
    m_cancelled = true;
}

// ---- the rules ----

bool TUpdate::Recover(TUpdateOutcome* failure) {
    // Another updater at work in the folder recovers it itself; its
    // journal is no interrupted install.
    TFolderLock hold;
    if (HoldFolder(hold) == TFolderLock::TState::Busy)
        return true;
    TFileOps& ops = m_settings.ops ? *m_settings.ops : TFileOps::System();
    // Another user's partial download of the package, as another user's file
    // at any name of ours: the folder is not ours to act on.
    const bool foreign = FolderPolicy::HoldsForeignDownload(m_settings.folder, m_settings.packageName);
    switch (foreign ? TInstallRecovery::Untrusted
                    : RecoverInstall(m_settings.folder, m_settings.packageName, m_settings.backupName, ops)) {
    case TInstallRecovery::Nothing:
    case TInstallRecovery::Undone:
        return true;
    case TInstallRecovery::Untrusted:
    case TInstallRecovery::Failed:
        break;
    }
    if (failure)
        *failure = {TUpdateReason::RecoveryFailed, MessageOf(TUpdateReason::RecoveryFailed), 0};
    return false;
}

void TUpdate::PrepareRun(TWebCopy& engine) {
    m_release.Forget();
    m_deltaInstalled = false;
    engine.Items().Clear();
    TWebCopyItem* job = engine.Items().Add();
    job->URL = m_settings.url;
    job->TargetDir = m_settings.folder;
    job->MaxSize = m_settings.maxPackageSize;
    job->Resume = true; // an interrupted download goes on at the next run
    // A download dragged out far below any real line's speed fails, so a
    // server cannot hold the update open for days.
    job->MinAverageRate = kLeastAverageRate;
}

bool TUpdate::HasLocalPackage() const {
    TDateTime age = 0;
    return FileAgeDate(PackagePath().toStdString(), age);
}

TUpdate::TDateRule TUpdate::DateRule(TDateTime serverDate) const {
    TDateTime localAge = 0;
    if (!FileAgeDate(PackagePath().toStdString(), localAge))
        return TDateRule::NoLocalPackage;
    return serverDate >= localAge ? TDateRule::Newer : TDateRule::Older;
}

std::optional<std::uint64_t> TUpdate::InstalledRelease() const {
    return ReleaseRecord::Installed(m_settings.folder, m_settings.packageName, m_settings.release);
}

QString TUpdate::KeptKeysName() const {
    QString stem = m_settings.packageName;
    if (stem.endsWith(QStringLiteral(".cab"), Qt::CaseInsensitive))
        stem.chop(4);
    return QLatin1Char('.') + stem + QStringLiteral(".keys");
}

TReleaseCheck::TOutcome TUpdate::FetchStatement(const QString& proxy, const std::atomic<bool>& cancelled) {
    const std::optional<std::uint64_t> installed = InstalledRelease();
    if (!installed) {
        m_release.Forget();
        return TReleaseCheck::TOutcome::Refused;
    }
    return m_release.Fetch(m_settings.url, proxy, cancelled, *installed, m_settings.folder, KeptKeysName());
}

TReleaseCheck::TOutcome TUpdate::CheckStatement(TWebCopy& engine) {
    const TReleaseCheck::TOutcome outcome = FetchStatement(engine.Proxy, engine.CancelFlag());
    if (outcome == TReleaseCheck::TOutcome::Newer) {
        // The engine reads the bound when the download begins, on this
        // thread. An empty package has no bound of 0 (none): one byte is
        // already too many for it.
        TWebCopyItem& job = *engine.Items()[0];
        job.MaxSize = std::min(job.MaxSize ? job.MaxSize : UINT64_MAX,
                               std::max<std::uint64_t>(m_release.PackageSize(), 1));
        // A delta from the installed release, when one fits, takes the
        // package's place; anything else leaves the package's download.
        m_deltaInstalled = TDeltaUpdate(m_settings)
                               .Try(InstalledRelease().value_or(0), m_release.Release(), engine.Proxy,
                                    engine.CancelFlag(), OnProgress);
    }
    return outcome;
}

void TUpdate::Arrived(const char* data, std::size_t length) {
    m_release.Add(data, length);
}

bool TUpdate::AcceptDownload(int fd, const QString&) {
    TCABFile cabinet;
    cabinet.SetCABFileDescriptor(fd);
    const bool accept = (!m_release.Required() || m_release.PackageMatches()) && cabinet.IsWholeCabinet();
    // Until it is installed, the package must not count as the installed version.
    return accept && MarkNotInstalled(fd);
}

void TUpdate::RemovePackage() {
    std::error_code ec;
    std::filesystem::remove(PackagePath().toStdString(), ec);
}

bool TUpdate::Install() {
    if (m_deltaInstalled)
        return true; // installed by the delta already
    // With a key, the copy about to be unpacked is checked against the
    // statement the download was checked with (a package changed on disk
    // since is refused like one that arrived unsigned), and the release it
    // names is recorded with the product's files, in the same install.
    std::optional<TStatedCopy> check;
    std::vector<TOwnFile> ownFiles;
    // Another updater may have installed a newer release since this one
    // read the record: under the folder's lock, the statement must still be
    // above what is installed, so two updaters never roll each other back.
    TFolderLock hold;
    if (HoldFolder(hold) != TFolderLock::TState::Held)
        return false;
    if (m_release.Required()) {
        if (!ReleaseRecord::AboveInstalled(m_settings.folder, m_settings.packageName, m_settings.release,
                                           m_release.Release())) {
            RemovePackage();
            return false;
        }
        check.emplace(m_release);
        ownFiles.push_back(
            {ReleaseRecord::Name(m_settings.packageName), ReleaseRecord::Text(m_release.Release())});
    }
    TCABFile cabinet;
    TFileOps& ops = m_settings.ops ? *m_settings.ops : TFileOps::System();
    return InstallPackage(cabinet, m_settings.folder, m_settings.packageName, m_settings.backupName, ops,
                          check ? &*check : nullptr, ownFiles);
}

// ---- the whole job ----

TFolderLock::TState TUpdate::HoldFolder(TFolderLock& lock) const {
    return lock.Acquire(QFile::encodeName(m_settings.folder).toStdString(),
                        QFile::encodeName(TStagedInstall::LockName(m_settings.packageName)).toStdString());
}

// The outcome of a folder that could not be held, or nothing when it is.
std::optional<TUpdateReason> TUpdate::HoldRefusal(TFolderLock& lock) const {
    switch (HoldFolder(lock)) {
    case TFolderLock::TState::Held:
        return std::nullopt;
    case TFolderLock::TState::Busy:
        return TUpdateReason::Busy;
    default:
        return TUpdateReason::RecoveryFailed;
    }
}

void TUpdate::BindEngine(TWebCopy& engine) {
    auto fail = [this](int code) {
        m_failed = true;
        if (code)
            m_engineError = code;
    };
    engine.OnFileDateCheck = nullptr;
    if (!Signed())
        engine.OnFileDateCheck = [this](TWebCopy* sender, int, TDateTime serverDate, bool&) {
            if (DateRule(serverDate) == TDateRule::Older) {
                m_upToDate = true;
                sender->CancelTransfers();
            }
        };
    engine.OnFileStart = nullptr;
    engine.OnDataBlock = nullptr;
    if (Signed()) {
        engine.OnFileStart = [this](TWebCopy* sender, int) {
            switch (CheckStatement(*sender)) {
            case TReleaseCheck::TOutcome::Newer:
                if (DeltaInstalled())
                    break; // the package is not needed
                return;
            case TReleaseCheck::TOutcome::Cancelled:
                return;
            case TReleaseCheck::TOutcome::UpToDate:
                m_upToDate = true;
                break;
            case TReleaseCheck::TOutcome::Refused:
                m_refused = true;
                break;
            }
            sender->CancelTransfers();
        };
        engine.OnDataBlock = [this](TWebCopy*, int, const char* data, std::size_t length) {
            Arrived(data, length);
        };
    }
    engine.OnVerifyFile = [this](TWebCopy*, int, int fd, const QString& tempPath, bool& accept) {
        accept = AcceptDownload(fd, tempPath);
    };
    engine.OnCopyProgress = [this](TWebCopy*, int, std::uint64_t size, std::uint64_t totsize) {
        if (OnProgress)
            OnProgress({size, totsize});
    };
    engine.OnFileDone = [this, fail](TWebCopy* sender, int idx) {
        if (sender->Items()[idx]->CopySucceeded)
            m_received = true;
        else
            fail(0);
    };
    engine.OnError = [fail](TWebCopy*, int code) { fail(code); };
    engine.OnConnectError = [fail](TWebCopy*) { fail(0); };
    engine.OnURLNotFound = [fail](TWebCopy*, const QString&) { fail(0); };
    engine.OnNoNewFileFound = [fail](TWebCopy*, const QString&, TDateTime, TDateTime) { fail(0); };
    engine.OnCopyDone = [this](TWebCopy*) {
        const std::lock_guard lock(m_mutex);
        m_runEnded = true;
        m_ended.notify_all();
    };
}

TUpdateOutcome TUpdate::Run(TWebCopy& engine, TMode mode) {
    if (mode == TMode::Check)
        return Check();
    if (OnStarted)
        OnStarted();
    // A folder the system's packages own, or one this user cannot write:
    // said as such, before anything is written there.
    if (const QString refusal = FolderPolicy::Refusal(m_settings.folder); !refusal.isEmpty())
        return Finish(TUpdateReason::InstallFailed, 0, refusal);
    TFolderLock hold;
    if (const auto refusal = HoldRefusal(hold))
        return Finish(*refusal);
    TUpdateOutcome failure;
    if (!Recover(&failure))
        return Finish(failure.reason);

    m_failed = m_upToDate = m_received = m_refused = false;
    m_engineError = 0;
    m_runEnded = false;
    engine.ShowDialog = false;
    PrepareRun(engine);
    BindEngine(engine);
    engine.StartTransfers();
    {
        // A cancel of ours reaches the engine within one wait.
        std::unique_lock lock(m_mutex);
        while (!m_ended.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_runEnded; }))
            if (m_cancelled)
                engine.CancelTransfers();
    }
    if (m_deltaInstalled)
        return Finish(TUpdateReason::Installed);
    if (m_failed) {
        RemovePackage();
        // One planted after the start's check fails the download: said as such.
        if (FolderPolicy::HoldsForeignDownload(m_settings.folder, m_settings.packageName))
            return Finish(TUpdateReason::RecoveryFailed);
        return Finish(TUpdateReason::DownloadFailed, m_engineError);
    }
    if (m_refused)
        return Finish(TUpdateReason::Refused);
    if (m_upToDate)
        return Finish(TUpdateReason::UpToDate);
    if (m_cancelled)
        return Finish(TUpdateReason::Cancelled);
    if (!m_received)
        return Finish(TUpdateReason::DownloadFailed);
    return Finish(Install() ? TUpdateReason::Installed : TUpdateReason::InstallFailed);
}

TUpdateOutcome TUpdate::Check() {
    if (OnStarted)
        OnStarted();
    TFolderLock hold;
    if (const auto refusal = HoldRefusal(hold))
        return Finish(*refusal);
    TUpdateOutcome failure;
    if (!Recover(&failure))
        return Finish(failure.reason);
    if (!Signed())
        return CheckDate();
    switch (FetchStatement(m_settings.proxy, m_cancelled)) {
    case TReleaseCheck::TOutcome::Newer:
        return Finish(TUpdateReason::UpdateAvailable);
    case TReleaseCheck::TOutcome::UpToDate:
        return Finish(TUpdateReason::UpToDate);
    case TReleaseCheck::TOutcome::Cancelled:
        return Finish(TUpdateReason::Cancelled);
    case TReleaseCheck::TOutcome::Refused:
        break;
    }
    return Finish(TUpdateReason::Refused);
}

TUpdateOutcome TUpdate::CheckDate() {
    // The answer's head alone: its status and date; no byte of the body is read.
    const auto session = InetSession::Open("WebCopy", m_settings.proxy.toStdString(), &m_cancelled);
    InetRequest* request = session ? session->OpenUrl(m_settings.url.toStdString(), false) : nullptr;
    std::uint32_t status = 0;
    if (m_cancelled)
        return Finish(TUpdateReason::Cancelled);
    if (!request || !request->QueryStatusCode(status) || status >= 300)
        return Finish(TUpdateReason::DownloadFailed, status >= 300 ? static_cast<int>(status) : 0);
    TDateFields fields;
    request->QueryLastModified(fields);
    try {
        return Finish(DateRule(SystemTimeToDate(fields)) == TDateRule::Older
                          ? TUpdateReason::UpToDate
                          : TUpdateReason::UpdateAvailable);
    } catch (const EConvertError&) {
        // Without a server date a download would fail the same way.
        return Finish(TUpdateReason::DownloadFailed);
    }
}

} // namespace quorvel
