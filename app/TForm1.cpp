#include "TForm1.h"

#include "FileAge.h"
#include "MessageBox.h"
#include "PackageInstall.h"
#include "ReleaseRecord.h"
#include "TCABFile.h"
#include "TFileOps.h"
#include "TForm1Description.h"
#include "TLabel.h"
#include "WebCopy.h"
#include "WindowAccessibility.h"
#include "XiProgressBar.h"
#include "htmlbtns.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>

#include <algorithm>
#include <filesystem>

namespace {

const char* const kPackageName = "DirevidUreziv.cab";
const char* const kBackupName = "DirevidUreziv_bu.cab";
const char* const kUpToDateText = "There is not available update.\rYour version is current!";
const char* const kErrorText = "Error Updating the Quorvel! Please try again.";
const char* const kSuccessText = "Quorvel has been successfully updated!";

QString DefaultUpdateFolder() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

QString DefaultDownloadUrl() {
    return QStringLiteral(QUORVEL_UPDATE_URL);
}

} // namespace

TForm1::TForm1(const QString& updateFolder, const QString& downloadUrl, QWidget* parent,
               const QByteArray& description)
    : TForm(parent), m_downloadUrl(downloadUrl.isEmpty() ? DefaultDownloadUrl() : downloadUrl),
      m_updates(this, [this](const TWindowChanges& changes) { ApplyChanges(changes); }),
      m_release(QStringLiteral(QUORVEL_UPDATE_KEY), QStringLiteral(QUORVEL_UPDATE_KEY_NEXT),
                QStringLiteral(QUORVEL_PRODUCT)) {
    MaxPackageSize = QUORVEL_MAX_PACKAGE_SIZE;
    if (!updateFolder.isEmpty())
        m_givenFolder =
            updateFolder.endsWith(QLatin1Char('/')) ? updateFolder : updateFolder + QLatin1Char('/');
    // The stored description is part of the program; what it leaves out is a
    // build fault worth a warning, and the window is completed regardless.
    m_descriptionReport = BuildForm1(*this, description);
    DescribeWindowControls(*this);
    for (const QString& skipped : m_descriptionReport.Skipped)
        qWarning("window description: %s", qUtf8Printable(skipped));
    m_instruction = Label2->Caption();
    BindReleaseHandlers();
    if (OnCreate)
        OnCreate();
}

TForm1::~TForm1() {
    // The engine goes first: its destructor ends a run still going on, whose
    // handlers use the flags and controls below.
    delete WebCopy1;
    WebCopy1 = nullptr;
}

void TForm1::SetUpdateKey(const QString& keyBase64, const QString& nextKeyBase64) {
    m_release = TReleaseCheck(keyBase64, nextKeyBase64, QStringLiteral(QUORVEL_PRODUCT));
    BindReleaseHandlers();
}

void TForm1::BindReleaseHandlers() {
    if (!m_release.Required()) {
        WebCopy1->OnFileStart = nullptr;
        WebCopy1->OnDataBlock = nullptr;
        return;
    }
    WebCopy1->OnFileStart = [this](TWebCopy*, int) { WebCopy1FileStart(); };
    WebCopy1->OnDataBlock = [this](TWebCopy*, int, const char* data, std::size_t length) {
        WebCopy1DataBlock(data, length);
    };
}

void TForm1::FormCreate() {
    m_updateFolder = m_givenFolder.isEmpty() ? DefaultUpdateFolder() : m_givenFolder;
    dateChecked = false;
    // An install that a crash or a kill interrupted is undone before the
    // window shows, so the product is whole again.
    RecoverInstall(m_updateFolder, QString::fromUtf8(kPackageName), QString::fromUtf8(kBackupName));
}

void TForm1::BitBtn1Click() {
    transferDone = false;
    fileReceived = false;
    updateFailed = false;
    upToDate = false;
    m_release.Forget();

    WebCopy1->Items().Clear();
    TWebCopyItem* job = WebCopy1->Items().Add();
    job->URL = m_downloadUrl;
    job->TargetDir = m_updateFolder;
    job->MaxSize = MaxPackageSize;
    job->Resume = true; // an interrupted download goes on at the next "Start"
    // Two runs must never share the engine's job list: "Start" stays disabled
    // until the run reports its end (file-done or copy-done enable it again).
    BitBtn1->setEnabled(false);
    WebCopy1->StartTransfers();

    WaitForTransfer();
    if (m_closing)
        return;
    if (updateFailed) {
        ShowMessageBox(QStringLiteral("Information"), QString::fromUtf8(kErrorText),
                       TMessageKind::Information);
        return;
    }
    if (transferDone && !cancelRequested)
        ShowMessageBox(QStringLiteral("Information"), QString::fromUtf8(kSuccessText),
                       TMessageKind::Information);
    HTMLButton1->show();
    BitBtn1->hide();
    BitBtn2->hide();
}

void TForm1::BitBtn2Click() {
    BitBtn1->setEnabled(true);
    WebCopy1->CancelTransfers();
    cancelRequested = true;
    if (!dateChecked)
        HTMLButton1->show();
    BitBtn1->hide();
    BitBtn2->hide();
}

void TForm1::HTMLButton1Click() {
    close();
}

void TForm1::FormClose() {
    if (updateFailed || upToDate || !transferDone || !fileReceived)
        return;
    // With a key, the copy about to be unpacked is checked against the
    // statement the download was checked with (a package changed on disk
    // since is refused like one that arrived unsigned), and the release it
    // names is recorded with the product's files, in the same install.
    TBackupCheck check;
    std::vector<TOwnFile> ownFiles;
    if (m_release.Required()) {
        check = [this](int backup) { return m_release.CopyMatches(backup); };
        ownFiles.push_back(
            {ReleaseRecord::Name(QString::fromUtf8(kPackageName)), ReleaseRecord::Text(m_release.Release())});
    }
    // The user was told the update succeeded: an install that did not
    // happen must say so.
    if (!InstallPackage(*CABFile1, m_updateFolder, QString::fromUtf8(kPackageName),
                        QString::fromUtf8(kBackupName), InstallOps ? *InstallOps : TFileOps::System(), check,
                        ownFiles))
        ShowMessageBox(QStringLiteral("Information"), QString::fromUtf8(kErrorText),
                       TMessageKind::Information);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!m_closeHandled) {
        m_closeHandled = true;
        if (OnClose)
            OnClose();
    }
    // A close while "Start" waits ends that wait, and the program with it.
    m_closing = true;
    WebCopy1->CancelTransfers();
    event->accept();
}

void TForm1::WaitForTransfer() {
    ++m_waitDepth;
    // Sleeps until an event arrives; every flag that ends the wait is set
    // either on this thread or together with a queued window update.
    while (!transferDone && !cancelRequested && !m_closing)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    --m_waitDepth;
    m_updates.Flush();
}

void TForm1::WebCopy1FileDateCheck(int, TDateTime newdate, bool&) {
    TDateTime localAge = 0;
    if (!FileAgeDate(PackagePath().toStdString(), localAge))
        return;
    // With keys, the signed release number has already decided what is new;
    // the server's date, which anyone on the way can set, is not believed.
    if (m_release.Required() || newdate >= localAge) {
        dateChecked = true;
        return;
    }
    WebCopy1->CancelTransfers();
    upToDate = true;
    m_updates.Post([](TWindowChanges& c) { c.instructionText = QString::fromUtf8(kUpToDateText); });
    dateChecked = true;
}

void TForm1::WebCopy1CopyProgress() {
    const std::shared_ptr<TProgressWindow> window = WebCopy1->ProgressWindow();
    if (!window)
        return;
    const TProgressBarState bar = window->ProgressBar();
    const QString progress = window->ProgressLabel().Caption;
    const QString rate = window->RateLabel().Caption;
    m_updates.Post([&](TWindowChanges& c) {
        c.startEnabled = false;
        c.barMax = bar.Max;
        c.barPosition = bar.Position;
        c.progressText = progress;
        c.rateText = rate;
    });
}

void TForm1::WebCopy1VerifyFile(int fd, const QString& tempPath, bool& accept) {
    // The download is whole but has not replaced the package yet: only a
    // whole cabinet (and, with a key, the one the statement names: its size
    // and digest, taken while it arrived) does. The cabinet is read from the
    // engine's open file, the one that is renamed into place.
    TCABFile cabinet;
    cabinet.SetCABFileDescriptor(fd);
    accept = (!m_release.Required() || m_release.PackageMatches()) && cabinet.IsWholeCabinet();
    // Until it is installed, the package must not count as the installed version.
    if (accept)
        accept = MarkNotInstalled(tempPath);
}

void TForm1::WebCopy1FileDone() {
    // A job that did not succeed is a failed update, whatever else was reported.
    if (!updateFailed && !WebCopy1->Items()[0]->CopySucceeded)
        WebCopy1Error();
    transferDone = true;
    fileReceived = true;
    m_updates.Post([](TWindowChanges& c) { c.startEnabled = true; });
}

void TForm1::WebCopy1CopyDone() {
    m_updates.Post([](TWindowChanges& c) { c.startEnabled = true; });
}

void TForm1::WebCopy1Error() {
    fileReceived = false;
    updateFailed = true;
    RemovePackage();
}

void TForm1::RemovePackage() {
    std::error_code ec;
    std::filesystem::remove(PackagePath().toStdString(), ec);
}

void TForm1::WebCopy1ConnectError() {
    updateFailed = true;
}
void TForm1::WebCopy1URLNotFound() {
    updateFailed = true;
}
void TForm1::WebCopy1NoNewFileFound() {
    updateFailed = true;
}

void TForm1::WebCopy1FileStart() {
    const std::uint64_t installed = ReleaseRecord::Read(m_updateFolder, QString::fromUtf8(kPackageName));
    switch (m_release.Fetch(m_downloadUrl + QStringLiteral(".release"), WebCopy1->Proxy, WebCopy1->Cancelled,
                            installed)) {
    case TReleaseCheck::TOutcome::Newer: {
        // The engine reads the bound when the download begins, on this
        // thread. An empty package has no bound of 0 (none): one byte is
        // already too many for it.
        TWebCopyItem& job = *WebCopy1->Items()[0];
        job.MaxSize = std::min(job.MaxSize ? job.MaxSize : UINT64_MAX,
                               std::max<std::uint64_t>(m_release.PackageSize(), 1));
        return;
    }
    case TReleaseCheck::TOutcome::UpToDate:
        // As when the server's copy is older: the run stops before the
        // package is asked for, and the window says so.
        WebCopy1->CancelTransfers();
        upToDate = true;
        m_updates.Post([](TWindowChanges& c) { c.instructionText = QString::fromUtf8(kUpToDateText); });
        dateChecked = true;
        return;
    case TReleaseCheck::TOutcome::Refused:
        // A failed update that ends the wait at once: the package is never
        // asked for, so no file-done comes.
        fileReceived = false;
        updateFailed = true;
        WebCopy1->CancelTransfers();
        transferDone = true;
        m_updates.Post([](TWindowChanges& c) { c.startEnabled = true; });
        return;
    case TReleaseCheck::TOutcome::Cancelled:
        return;
    }
}

void TForm1::WebCopy1DataBlock(const char* data, std::size_t length) {
    m_release.Add(data, length);
}

void TForm1::SetInstruction(const QString& text) {
    m_instruction = text;
    Label2->SetCaption(text);
}

void TForm1::ApplyChanges(const TWindowChanges& changes) {
    if (changes.startEnabled)
        BitBtn1->setEnabled(*changes.startEnabled);
    if (changes.barMax)
        XiProgressBar2->SetMax(*changes.barMax);
    if (changes.barPosition)
        XiProgressBar2->SetPosition(*changes.barPosition);
    if (changes.progressText)
        Label4->SetCaption(*changes.progressText);
    if (changes.rateText)
        Label5->SetCaption(*changes.rateText);
    if (changes.instructionText)
        SetInstruction(*changes.instructionText);
}
