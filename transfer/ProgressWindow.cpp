#include "ProgressWindow.h"

#include "ProgressView.h"
#include "WebCopy.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace quorvel {

namespace {

constexpr int kLabelHeight = 16;

TControlState Control(const QString& caption, int left, int top, int width, int height) {
    TControlState c;
    c.Caption = caption;
    c.Left = left;
    c.Top = top;
    c.Width = width;
    c.Height = height;
    return c;
}

} // namespace

TProgressWindow::TProgressWindow(const TWebCopy& engine, int captionHeight)
    : m_engine(const_cast<TWebCopy*>(&engine)), m_mirrored(engine.ShowDialog && ProgressView::Available()) {
    constexpr int W = kWidth;
    const bool time = engine.ShowTime;
    const bool fileName = engine.ShowFileName;
    TProgressWindowSnapshot& s = m_state;
    s.Caption = engine.DlgCaption + QStringLiteral(" ...");
    s.Width = W;
    s.Height = captionHeight + (time ? 208 : 188);
    s.CaptionHeight = captionHeight;
    s.AlwaysOnTop = engine.AlwaysOnTop;

    const int base = fileName ? 80 : 60;
    s.Animation = Control(QString(), 10, 0, 272, 60);
    s.FileLabel = Control(engine.DlgFileLabel, 10, 80, W - 20, kLabelHeight);
    s.FileLabel.Visible = fileName;
    s.ProgressLabel = Control(engine.DlgProgressLabel, 10, base + 20, W - 20, kLabelHeight);
    s.RateLabel = Control(engine.DlgRateLabel, 10, base + 40, W - 20, kLabelHeight);
    s.TimeLabel = Control(engine.DlgTimeLabel, 10, base + 60, W - 20, kLabelHeight);
    s.TimeLabel.Visible = time;

    const int row = time ? (fileName ? 160 : 140) : (fileName ? 140 : 120);
    s.CancelButton = Control(engine.DlgCancel, W - kButtonWidth - 10, row, kButtonWidth, kButtonHeight);
    s.OpenFolderButton =
        Control(engine.DlgOpenFolder, W - 2 * kButtonWidth - 20, row, kButtonWidth, kButtonHeight);
    s.OpenFolderButton.Exists = s.OpenFolderButton.Visible = engine.ShowOpenFolder;
    s.OpenFolderButton.Enabled = false;
    int openFileLeft = W - 2 * kButtonWidth - 20;
    if (engine.ShowOpenFolder)
        openFileLeft -= kButtonWidth + 10;
    s.OpenFileButton = Control(engine.DlgOpenFile, openFileLeft, row, kButtonWidth, kButtonHeight);
    s.OpenFileButton.Exists = s.OpenFileButton.Visible = engine.ShowOpenFile;
    s.OpenFileButton.Enabled = false;

    s.ProgressBar.Left = 10;
    s.ProgressBar.Top = 60;
    s.ProgressBar.Width = W - 20;
    s.ProgressBar.Height = 12;
}

TProgressWindowSnapshot TProgressWindow::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

#define STATE_GETTER(Type, Name)                                                                             \
    Type TProgressWindow::Name() const {                                                                     \
        std::lock_guard lock(m_mutex);                                                                       \
        return m_state.Name;                                                                                 \
    }
STATE_GETTER(TProgressBarState, ProgressBar)
STATE_GETTER(TControlState, FileLabel)
STATE_GETTER(TControlState, ProgressLabel)
STATE_GETTER(TControlState, RateLabel)
STATE_GETTER(TControlState, TimeLabel)
STATE_GETTER(TControlState, CancelButton)
STATE_GETTER(TControlState, OpenFileButton)
STATE_GETTER(TControlState, OpenFolderButton)
STATE_GETTER(QString, Caption)
STATE_GETTER(bool, Visible)
#undef STATE_GETTER

template <typename F> void TProgressWindow::Change(F&& write) {
    {
        std::lock_guard lock(m_mutex);
        write(m_state);
    }
    PostUpdate();
}

void TProgressWindow::SetCaption(const QString& caption) {
    Change([&](TProgressWindowSnapshot& s) { s.Caption = caption; });
}

void TProgressWindow::SetBarPosition(int position) {
    Change([&](TProgressWindowSnapshot& s) { s.ProgressBar.Position = position; });
}

void TProgressWindow::SetFileLabel(const QString& text) {
    Change([&](TProgressWindowSnapshot& s) { s.FileLabel.Caption = text; });
}

void TProgressWindow::SetProgressLabel(const QString& text) {
    Change([&](TProgressWindowSnapshot& s) { s.ProgressLabel.Caption = text; });
}

void TProgressWindow::SetRateLabel(const QString& text) {
    Change([&](TProgressWindowSnapshot& s) { s.RateLabel.Caption = text; });
}

void TProgressWindow::SetTimeLabel(const QString& text) {
    Change([&](TProgressWindowSnapshot& s) { s.TimeLabel.Caption = text; });
}

void TProgressWindow::SetAnimationClip(int clip) {
    Change([&](TProgressWindowSnapshot& s) {
        s.AnimationClip = clip;
        s.AnimationRunning = true;
        ++s.AnimationStarts;
    });
}

void TProgressWindow::SetProgress(std::optional<int> barPosition, const QString& progressLabel) {
    Change([&](TProgressWindowSnapshot& s) {
        if (barPosition)
            s.ProgressBar.Position = *barPosition;
        s.ProgressLabel.Caption = progressLabel;
    });
}

void TProgressWindow::SetRateAndTime(const QString& rateLabel, const QString& timeLabel) {
    Change([&](TProgressWindowSnapshot& s) {
        s.RateLabel.Caption = rateLabel;
        s.TimeLabel.Caption = timeLabel;
    });
}

void TProgressWindow::Show() {
    Change([](TProgressWindowSnapshot& s) { s.Visible = true; });
}

bool TProgressWindow::TakeCancelPress() {
    // Polled twice per block: a lone atomic, no lock.
    return m_cancelPressed.exchange(false);
}

void TProgressWindow::EndRun(bool keep, bool cancelled, const QString& lastFile, const QString& lastDir) {
    Change([&](TProgressWindowSnapshot& s) {
        m_runActive = false;
        s.LastTargetFile = lastFile;
        s.LastTargetDir = lastDir;
        if (!keep) {
            s.Visible = false;
            s.Closed = true;
            return;
        }
        s.CancelButton.Caption = QStringLiteral("Close");
        s.AnimationRunning = false;
        if (!cancelled) {
            s.OpenFileButton.Enabled = s.OpenFileButton.Exists;
            s.OpenFolderButton.Enabled = s.OpenFolderButton.Exists;
        }
    });
}

void TProgressWindow::PressCancel() {
    TWebCopy* engine = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_state.Visible = false;
        // A window kept after its run only closes: the engine may be in
        // another run by now, which is not this window's to cancel.
        if (!m_runActive)
            m_state.Closed = true;
        else {
            // The worker raises OnCopyCancel at its next pending-input step.
            m_cancelPressed = true;
            engine = m_engine;
        }
    }
    if (engine)
        engine->CancelTransfers();
    PostUpdate();
}

void TProgressWindow::CloseFromButton() {
    Change([](TProgressWindowSnapshot& s) {
        s.Visible = false;
        s.Closed = true;
    });
}

void TProgressWindow::Open(const QString& path) {
    if (ProgressView::Installed().open)
        ProgressView::Installed().open(path);
}

void TProgressWindow::PressOpenFile() {
    Open(Snapshot().LastTargetFile);
    CloseFromButton();
}

void TProgressWindow::PressOpenFolder() {
    Open(Snapshot().LastTargetDir);
    CloseFromButton();
}

void TProgressWindow::Detach() {
    Change([&](TProgressWindowSnapshot& s) {
        m_engine = nullptr;
        s.Visible = false;
        s.Closed = true;
    });
}

void TProgressWindow::PostUpdate() {
    if (!m_mirrored || m_updatePending.exchange(true))
        return;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        m_updatePending = false;
        return;
    }
    QMetaObject::invokeMethod(
        app, [self = shared_from_this()] { self->SyncDialog(); }, Qt::QueuedConnection);
}

void TProgressWindow::SyncDialog() {
    // Cleared before reading, so a change made while we read posts again.
    m_updatePending = false;
    const TProgressWindowSnapshot s = Snapshot();
    if (!m_dialog && s.Visible && !s.Closed)
        m_dialog = ProgressView::Installed().create(shared_from_this());
    if (m_dialog)
        ProgressView::Installed().refresh(m_dialog, s);
}

} // namespace quorvel
