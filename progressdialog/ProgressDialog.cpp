#include "ProgressDialog.h"

#include "ProgressAnimation.h"
#include "WindowPlacement.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace quorvel {

namespace {

void Place(QWidget* widget, const TControlState& c) {
    widget->setGeometry(c.Left, c.Top, c.Width, c.Height);
    widget->setVisible(c.Exists && c.Visible);
    widget->setEnabled(c.Enabled);
}

void PlaceLabel(QLabel* label, const TControlState& c) {
    label->setText(c.Caption);
    Place(label, c);
}

void PlaceButton(QPushButton* button, const TControlState& c) {
    button->setText(c.Caption);
    Place(button, c);
}

} // namespace

TProgressDialog::TProgressDialog(std::shared_ptr<TProgressWindow> state)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_state(std::move(state)),
      m_animation(new TProgressAnimation(this)), m_bar(new QProgressBar(this)), m_fileLabel(new QLabel(this)),
      m_progressLabel(new QLabel(this)), m_rateLabel(new QLabel(this)), m_timeLabel(new QLabel(this)),
      m_cancel(new QPushButton(this)), m_openFolder(new QPushButton(this)),
      m_openFile(new QPushButton(this)) {
    setModal(false);
    m_bar->setTextVisible(false);
    // The bar shows no text, so a screen reader needs its name.
    m_bar->setAccessibleName(QStringLiteral("Transfer progress"));
    for (QPushButton* b : {m_cancel, m_openFolder, m_openFile})
        b->setAutoDefault(false);
    // Presses go to the state; the state posts the update that hides or
    // closes this dialog, but the user sees the effect at once.
    connect(m_cancel, &QPushButton::clicked, this, &TProgressDialog::PressCancel);
    connect(m_openFile, &QPushButton::clicked, this, [this] {
        m_state->PressOpenFile();
        Refresh(m_state->Snapshot());
    });
    connect(m_openFolder, &QPushButton::clicked, this, [this] {
        m_state->PressOpenFolder();
        Refresh(m_state->Snapshot());
    });
    const TProgressWindowSnapshot s = m_state->Snapshot();
    // The layout counts the title bar in the height; the client area is what remains.
    setFixedSize(s.Width, s.Height - s.CaptionHeight);
    WindowPlacement::CentreOnScreen(*this);
    setWindowFlag(Qt::WindowStaysOnTopHint, s.AlwaysOnTop);
    Refresh(s);
}

void TProgressDialog::PressCancel() {
    m_state->PressCancel();
    Refresh(m_state->Snapshot());
}

void TProgressDialog::reject() {
    // Hiding alone would leave the run going and the next update would show
    // the window again.
    PressCancel();
}

void TProgressDialog::Refresh(const TProgressWindowSnapshot& s) {
    if (s.Closed) {
        hide();
        deleteLater();
        return;
    }
    setWindowTitle(s.Caption);
    Place(m_animation, s.Animation);
    if (s.AnimationStarts != m_animationStarts) {
        m_animationStarts = s.AnimationStarts;
        if (s.AnimationClip == m_animation->Clip())
            m_animation->Restart();
        else
            m_animation->SetClip(s.AnimationClip);
    }
    m_animation->SetRunning(s.AnimationRunning);
    m_bar->setRange(s.ProgressBar.Min, s.ProgressBar.Max);
    m_bar->setValue(s.ProgressBar.Position);
    m_bar->setGeometry(s.ProgressBar.Left, s.ProgressBar.Top, s.ProgressBar.Width, s.ProgressBar.Height);
    PlaceLabel(m_fileLabel, s.FileLabel);
    PlaceLabel(m_progressLabel, s.ProgressLabel);
    PlaceLabel(m_rateLabel, s.RateLabel);
    PlaceLabel(m_timeLabel, s.TimeLabel);
    PlaceButton(m_cancel, s.CancelButton);
    PlaceButton(m_openFolder, s.OpenFolderButton);
    PlaceButton(m_openFile, s.OpenFileButton);
    setVisible(s.Visible);
}

} // namespace quorvel
