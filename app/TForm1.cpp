#include "TForm1.h"

#include "FileAge.h"
#include "MessageBox.h"
#include "PackageInstall.h"
#include "TCABFile.h"
#include "WebCopy.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <filesystem>

namespace {

const char* const kPackageName = "DirevidUreziv.cab";
const char* const kBackupName = "DirevidUreziv_bu.cab";
const char* const kStartText = "Please make sure you are connected to the Internet and press the \"Start\" "
                               "button to check and download the latest software update.";
const char* const kUpToDateText = "There is not available update.\rYour version is current!";
const char* const kErrorText = "Error Updating the Quorvel! Please try again.";
const char* const kSuccessText = "Quorvel has been successfully updated!";

QString DefaultUpdateFolder() { return QCoreApplication::applicationDirPath() + QLatin1Char('/'); }

QString DefaultDownloadUrl() {
    return QStringLiteral("http://") + QStringLiteral(QUORVEL_UPDATE_HOST) +
           QStringLiteral("/downloads/DirevidUreziv.cab");
}

// The window's face; where the machine lacks it, a metric-alike face stands in.
QFont WindowFont(int pixelSize) {
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixelSize);
    return font;
}

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, const char* colour) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(QLatin1String(colour)));
    label->setFont(WindowFont(13));
    label->adjustSize();
    return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, int x) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(x, 277, 81, 22);
    button->setStyleSheet(QStringLiteral("QPushButton { background: #EAEAFF; border: 1px solid #808080; }"
                                         "QPushButton:hover { background: #B7B7FF; }"
                                         "QPushButton:pressed { background: #8000FF; }"));
    return button;
}

} // namespace

TForm1::TForm1(const QString& updateFolder, const QString& downloadUrl, QWidget* parent)
    : QWidget(parent), m_downloadUrl(downloadUrl.isEmpty() ? DefaultDownloadUrl() : downloadUrl),
      m_updates(this, [this](const TWindowChanges& changes) { ApplyChanges(changes); }) {
    CreateControls();
    ConfigureEngine();
    FormCreate();
    if (!updateFolder.isEmpty())
        m_updateFolder = updateFolder.endsWith(QLatin1Char('/')) ? updateFolder : updateFolder + QLatin1Char('/');
}

TForm1::~TForm1() {
    // The engine goes first: its destructor ends a run still going on, whose
    // handlers use the flags and controls below.
    delete WebCopy1;
    WebCopy1 = nullptr;
}

void TForm1::CreateControls() {
    setWindowTitle(QStringLiteral("Quorvel Software Update"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(471, 319);
    setAutoFillBackground(true);
    setFont(WindowFont(11));

    auto* content = new QFrame(this); // stands where the content picture goes
    content->setGeometry(121, 60, 350, 259);
    content->setStyleSheet(QStringLiteral("background: #F4F8FF;"));
    XiProgressBar2 = new QProgressBar(this);
    XiProgressBar2->setGeometry(136, 198, 313, 16);
    XiProgressBar2->setRange(0, 100);
    XiProgressBar2->setValue(0);
    XiProgressBar2->setTextVisible(false);
    Label2 = new QLabel(this);
    Label2->setGeometry(156, 88, 261, 48);
    Label2->setWordWrap(true);
    Label2->setStyleSheet(QStringLiteral("background: transparent;"));
    Label2->setFont(WindowFont(13));
    SetInstruction(QString::fromUtf8(kStartText));
    auto* strip = new QFrame(this); // stands where the left strip picture goes
    strip->setGeometry(0, 60, 121, 259);
    strip->setStyleSheet(QStringLiteral("background: #2E5C9A;"));
    Label4 = MakeLabel(this, QStringLiteral("Progress:"), 136, 224, "#004080");
    Label5 = MakeLabel(this, QStringLiteral("Transfer Rate:"), 136, 244, "#000080");
    auto* panel = new QFrame(this);
    panel->setGeometry(0, 0, 471, 60);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(1);
    auto* banner = new QLabel(QStringLiteral("Quorvel Software Update"), panel);
    banner->setGeometry(1, 1, 469, 57);
    banner->setStyleSheet(QStringLiteral("background: #0059B3; color: white; font-size: 18px; padding-left: 12px;"));

    BitBtn1 = MakeButton(this, QStringLiteral("Start"), 189);
    BitBtn2 = MakeButton(this, QStringLiteral("Cancel"), 309);
    HTMLButton1 = MakeButton(this, QStringLiteral("Close"), 248);
    HTMLButton1->hide();
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, HTMLButton1);

    connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { BitBtn2Click(); });
    connect(HTMLButton1, &QPushButton::clicked, this, [this] { HTMLButton1Click(); });

    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm1::ConfigureEngine() {
    WebCopy1 = new TWebCopy(this);
    WebCopy1->SetName(QStringLiteral("WebCopy1"));
    WebCopy1->ShowDialog = false;
    WebCopy1->ShowFileName = false;
    WebCopy1->FTPPassive = false;
    WebCopy1->DlgProgressLabel = QStringLiteral("Progress :");
    WebCopy1->DlgRateLabel = QStringLiteral("Transfer rate :");
    WebCopy1->DlgFileOfLabel = QStringLiteral("of");
    WebCopy1->DlgFromServerLabel = QStringLiteral("from");
    WebCopy1->DlgToServerLabel = QStringLiteral("to");
    WebCopy1->DlgTimeLabel = QStringLiteral("Estimated time left :");
    WebCopy1->DlgCaption = QStringLiteral("Downloading ...");
    WebCopy1->DlgCompleted = QStringLiteral("completed");
    WebCopy1->DlgFileLabel = QStringLiteral("File :");
    WebCopy1->DlgCopying = QStringLiteral("Copying");
    WebCopy1->DlgDwnload = QStringLiteral("Downloading");
    WebCopy1->DlgUpload = QStringLiteral("Uploading");
    WebCopy1->DlgCancel = QStringLiteral("Cancel");
    WebCopy1->DlgOpenFile = QStringLiteral("Open file");
    WebCopy1->DlgOpenFolder = QStringLiteral("Open folder");

    WebCopy1->OnFileDateCheck = [this](TWebCopy*, int idx, TDateTime newdate, bool& allow) {
        WebCopy1FileDateCheck(idx, newdate, allow);
    };
    WebCopy1->OnCopyProgress = [this](TWebCopy*, int, std::uint64_t, std::uint64_t) { WebCopy1CopyProgress(); };
    WebCopy1->OnFileDone = [this](TWebCopy*, int) { WebCopy1FileDone(); };
    WebCopy1->OnCopyDone = [this](TWebCopy*) { WebCopy1CopyDone(); };
    WebCopy1->OnError = [this](TWebCopy*, int) { WebCopy1Error(); };
    WebCopy1->OnConnectError = [this](TWebCopy*) { WebCopy1ConnectError(); };
    WebCopy1->OnURLNotFound = [this](TWebCopy*, const QString&) { WebCopy1URLNotFound(); };
    WebCopy1->OnNoNewFileFound = [this](TWebCopy*, const QString&, TDateTime, TDateTime) {
        WebCopy1NoNewFileFound();
    };

    CABFile1 = new TCABFile(this);
    CABFile1->SetName(QStringLiteral("CABFile1"));
}

void TForm1::FormCreate() {
    m_updateFolder = DefaultUpdateFolder();
    dateChecked = false;
}

void TForm1::BitBtn1Click() {
    transferDone = false;
    fileReceived = false;
    updateFailed = false;
    upToDate = false;

    WebCopy1->Items().Clear();
    TWebCopyItem* job = WebCopy1->Items().Add();
    job->URL = m_downloadUrl;
    job->TargetDir = m_updateFolder;
    // Two runs must never share the engine's job list: "Start" stays disabled
    // until the run reports its end (file-done or copy-done enable it again).
    BitBtn1->setEnabled(false);
    WebCopy1->StartTransfers();

    WaitForTransfer();
    if (m_closing)
        return;
    if (updateFailed) {
        ShowMessageBox(QStringLiteral("Information"), QString::fromUtf8(kErrorText), TMessageKind::Information);
        return;
    }
    if (transferDone && !cancelRequested)
        ShowMessageBox(QStringLiteral("Information"), QString::fromUtf8(kSuccessText), TMessageKind::Information);
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

void TForm1::HTMLButton1Click() { close(); }

void TForm1::FormClose() {
    if (updateFailed || upToDate || !transferDone || !fileReceived)
        return;
    InstallPackage(*CABFile1, m_updateFolder, QString::fromUtf8(kPackageName), QString::fromUtf8(kBackupName));
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!m_closeHandled) {
        m_closeHandled = true;
        FormClose();
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
    if (newdate >= localAge) {
        dateChecked = true;
        return;
    }
    WebCopy1->CancelTransfers();
    upToDate = true;
    m_updates.Post([](TWindowChanges& c) { c.instructionText = QString::fromUtf8(kUpToDateText); });
    dateChecked = true;
}

void TForm1::WebCopy1CopyProgress() {
    m_partialPackage = true;
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

void TForm1::WebCopy1FileDone() {
    m_partialPackage = false;
    transferDone = true;
    fileReceived = true;
    m_updates.Post([](TWindowChanges& c) { c.startEnabled = true; });
}

void TForm1::WebCopy1CopyDone() {
    // A partial package must not stand in for a real one: its fresh time
    // would beat the server's date at the next "Start". It goes, as after an
    // error, so that the next attempt downloads without a date comparison.
    if (m_partialPackage.exchange(false))
        RemovePackage();
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

void TForm1::WebCopy1ConnectError() { updateFailed = true; }
void TForm1::WebCopy1URLNotFound() { updateFailed = true; }
void TForm1::WebCopy1NoNewFileFound() { updateFailed = true; }

void TForm1::SetInstruction(const QString& text) {
    m_instruction = text;
    // A carriage return separates lines in the stored text; a label breaks on
    // line feeds.
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Label2->setText(shown);
}

void TForm1::ApplyChanges(const TWindowChanges& changes) {
    if (changes.startEnabled)
        BitBtn1->setEnabled(*changes.startEnabled);
    if (changes.barMax)
        XiProgressBar2->setMaximum(*changes.barMax);
    if (changes.barPosition)
        XiProgressBar2->setValue(*changes.barPosition);
    if (changes.progressText) {
        Label4->setText(*changes.progressText);
        Label4->adjustSize();
    }
    if (changes.rateText) {
        Label5->setText(*changes.rateText);
        Label5->adjustSize();
    }
    if (changes.instructionText)
        SetInstruction(*changes.instructionText);
}
