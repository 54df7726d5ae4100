#pragma once

#include "QuorvelExport.h"

#include "ProgressWindow.h"

#include <QDialog>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace quorvel {

class TProgressAnimation;

// The progress window on screen: a dialog on the GUI thread that shows the
// latest TProgressWindow state and hands its button presses back to it.
// It frees itself when the state says the window is closed.
class QUORVEL_EXPORT TProgressDialog : public QDialog {
    Q_OBJECT
public:
    explicit TProgressDialog(std::shared_ptr<TProgressWindow> state);

    // Shows the given state (called on the GUI thread).
    void Refresh(const TProgressWindowSnapshot& s);

protected:
    // Escape and a close from the window manager act as the Cancel button.
    void reject() override;

private:
    void PressCancel();

    std::shared_ptr<TProgressWindow> m_state;
    TProgressAnimation* m_animation;
    QProgressBar* m_bar;
    QLabel* m_fileLabel;
    QLabel* m_progressLabel;
    QLabel* m_rateLabel;
    QLabel* m_timeLabel;
    QPushButton* m_cancel;
    QPushButton* m_openFolder;
    QPushButton* m_openFile;
    int m_animationStarts = 1;
};

} // namespace quorvel
