#include "TForm1.h"

#include "BuiltInSettings.h"
#include "FolderPolicy.h"
#include "MessageBox.h"
#include "TForm1Description.h"
#include "TLabel.h"
#include "UpdateTexts.h"
#include "WebCopy.h"
#include "WindowAccessibility.h"
#include "XiProgressBar.h"
#include "htmlbtns.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPushButton>

namespace quorvel {

namespace {

const QString kInformation = QStringLiteral("Information");

void ShowInformation(const char* text) {
    ShowMessageBox(kInformation, QString::fromUtf8(text), TMessageKind::Information);
}

QString DefaultUpdateFolder() {
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
}

QString DefaultDownloadUrl() {
    return BuiltInSettings().url;
}

} // namespace

TForm1::TForm1(const QString& updateFolder, const QString& downloadUrl, QWidget* parent,
               const QByteArray& description)
    : TForm(parent), m_downloadUrl(downloadUrl.isEmpty() ? DefaultDownloadUrl() : downloadUrl),
      m_updates(this, [this](const TWindowChanges& changes) { ApplyChanges(changes); }),
      m_key(BuiltInSettings().key), m_nextKey(BuiltInSettings().nextKey), m_update(TUpdateSettings{}) {
    MaxPackageSize = BuiltInSettings().maxPackageSize;
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
    m_update.SetSettings(UpdateSettings());
    BindReleaseHandlers();
    m_update.OnProgress = [this](const TUpdateProgress& progress) { ShowDeltaProgress(progress); };
    if (OnCreate)
        OnCreate();
}

TForm1::~TForm1() {
    // The engine goes first: its destructor ends a run still going on, whose
    // handlers use the flags and controls below.
    delete WebCopy1;
    WebCopy1 = nullptr;
}

TUpdateSettings TForm1::UpdateSettings() const {
    TUpdateSettings settings = BuiltInSettings();
    settings.folder = m_updateFolder;
    settings.url = m_downloadUrl;
    settings.key = m_key;
    settings.nextKey = m_nextKey;
    settings.maxPackageSize = MaxPackageSize;
    settings.proxy = WebCopy1->Proxy;
    settings.ops = InstallOps;
    return settings;
}

void TForm1::SetUpdateKey(const QString& keyBase64, const QString& nextKeyBase64) {
    m_key = keyBase64;
    m_nextKey = nextKeyBase64;
    m_update.SetSettings(UpdateSettings());
    BindReleaseHandlers();
}

void TForm1::BindReleaseHandlers() {
    // With a key the signed statement alone decides what is new: the
    // server's date, which anyone on the way can set, is not asked for.
    if (!m_update.Signed()) {
        WebCopy1->OnFileDateCheck = [this](TWebCopy*, int idx, TDateTime newdate, bool& allow) {
            WebCopy1FileDateCheck(idx, newdate, allow);
        };
        WebCopy1->OnFileStart = nullptr;
        WebCopy1->OnDataBlock = nullptr;
        return;
    }
    WebCopy1->OnFileDateCheck = nullptr;
    WebCopy1->OnFileStart = [this](TWebCopy*, int) { WebCopy1FileStart(); };
    WebCopy1->OnDataBlock = [this](TWebCopy*, int, const char* data, std::size_t length) {
        WebCopy1DataBlock(data, length);
    };
}

void TForm1::FormCreate() {
    m_updateFolder = m_givenFolder.isEmpty() ? DefaultUpdateFolder() : m_givenFolder;
    dateChecked = false;
    m_update.SetSettings(UpdateSettings());
    // An install that a crash or a kill interrupted is undone before the
    // window shows, so the product is whole again; when that fails the user
    // must not run a mixed product without a word.
    TUpdateOutcome failure;
    if (!m_update.Recover(&failure))
        ShowMessageBox(kInformation, failure.message, TMessageKind::Information);
}

void TForm1::BitBtn1Click() {
    transferDone = false;
    fileReceived = false;
    updateFailed = false;
    upToDate = false;

    // The settings as they are now (tests change the bound or the file
    // operations after the window is made); the run's one job.
    m_update.SetSettings(UpdateSettings());
    // A folder the system's packages own, or one this user cannot write, is
    // said as such before anything is written there.
    if (const QString refusal = FolderPolicy::Refusal(m_updateFolder); !refusal.isEmpty()) {
        ShowMessageBox(kInformation, refusal, TMessageKind::Information);
        return;
    }
    // One updater per folder: another one at work there leaves this window
    // as it was, with a word why.
    if (!m_hold.Held() && m_update.HoldFolder(m_hold) != TFolderLock::TState::Held) {
        ShowInformation(m_hold.State() == TFolderLock::TState::Busy ? UpdateTexts::kBusy
                                                                    : UpdateTexts::kError);
        return;
    }
    m_update.PrepareRun(*WebCopy1);
    // Two runs must never share the engine's job list: "Start" stays disabled
    // until the run reports its end (file-done or copy-done enable it again).
    BitBtn1->setEnabled(false);
    WebCopy1->StartTransfers();

    WaitForTransfer();
    if (m_closing)
        return;
    if (updateFailed) {
        ShowInformation(UpdateTexts::kError);
        return;
    }
    if (transferDone && !cancelRequested)
        ShowInformation(UpdateTexts::kSuccess);
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
    // The user was told the update succeeded: an install that did not
    // happen must say so.
    m_update.SetFileOps(InstallOps);
    if (!m_update.Install())
        ShowInformation(UpdateTexts::kError);
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

// The server's copy is older than the package here: the run stops and the
// window says the product is current.
void TForm1::ShowUpToDate() {
    WebCopy1->CancelTransfers();
    upToDate = true;
    m_updates.Post([](TWindowChanges& c) { c.instructionText = QString::fromUtf8(UpdateTexts::kUpToDate); });
    dateChecked = true;
}

void TForm1::WebCopy1FileDateCheck(int, TDateTime newdate, bool&) {
    switch (m_update.DateRule(newdate)) {
    case TUpdate::TDateRule::NoLocalPackage:
        return;
    case TUpdate::TDateRule::Newer:
        dateChecked = true;
        return;
    case TUpdate::TDateRule::Older:
        ShowUpToDate();
        return;
    }
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

void TForm1::ShowDeltaProgress(const TUpdateProgress& progress) {
    // The same texts as the package's download shows.
    const TProgressMeter::TTexts texts = m_deltaMeter.Next(*WebCopy1, progress.done, progress.total);
    m_updates.Post([&](TWindowChanges& c) {
        c.barMax = 100;
        c.barPosition = texts.percent;
        c.progressText = texts.progress;
        c.rateText = texts.rate;
    });
}

void TForm1::WebCopy1VerifyFile(int fd, const QString& tempPath, bool& accept) {
    accept = m_update.AcceptDownload(fd, tempPath);
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
    m_update.RemovePackage();
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
    // With a key this is where what is new gets decided, in place of the date rule.
    if (m_update.HasLocalPackage())
        dateChecked = true;
    m_deltaMeter.Restart();
    switch (m_update.CheckStatement(*WebCopy1)) {
    case TReleaseCheck::TOutcome::Newer:
        if (m_update.DeltaInstalled()) {
            // Installed from a delta: the package's download is skipped and
            // the run ends as one whose file arrived; the close has nothing
            // left to install.
            fileReceived = true;
            WebCopy1->CancelTransfers();
            transferDone = true;
            m_updates.Post([](TWindowChanges& c) { c.startEnabled = true; });
        }
        return;
    case TReleaseCheck::TOutcome::Cancelled:
        return;
    case TReleaseCheck::TOutcome::UpToDate:
        // As when the server's copy is older: the run stops before the
        // package is asked for, and the window says so.
        ShowUpToDate();
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
    }
}

void TForm1::WebCopy1DataBlock(const char* data, std::size_t length) {
    m_update.Arrived(data, length);
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

} // namespace quorvel
