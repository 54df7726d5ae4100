#pragma once

#include "QuorvelExport.h"

#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class QObject;

namespace quorvel {

class TWebCopy;

// Animation clips of the progress window.
constexpr int kTransferAnimationClip = 257; // downloads and copies
constexpr int kUploadAnimationClip = 258;   // uploads

// State of one control of the progress window.
struct QUORVEL_EXPORT TControlState {
    bool Exists = true;
    bool Visible = true;
    bool Enabled = true;
    QString Caption;
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

struct QUORVEL_EXPORT TProgressBarState {
    int Min = 0, Max = 100, Position = 0;
    int Left = 0, Top = 0, Width = 0, Height = 0;
};

// Everything the progress window shows, as one copyable value.
struct QUORVEL_EXPORT TProgressWindowSnapshot {
    QString Caption;
    int Width = 0, Height = 0; // outer size, title bar included
    int CaptionHeight = 0;
    bool Visible = false; // shown to the user
    bool Closed = false;  // the run ended without keeping the window
    bool AlwaysOnTop = false;
    bool AnimationRunning = true;
    int AnimationClip = kTransferAnimationClip;
    int AnimationStarts = 1; // counts (re)starts of the clip
    TControlState Animation, FileLabel, ProgressLabel, RateLabel, TimeLabel;
    TControlState CancelButton, OpenFolderButton, OpenFileButton;
    TProgressBarState ProgressBar;
    QString LastTargetFile, LastTargetDir;
};

// The progress window of one run as a state object. The worker thread writes
// it; anyone may read it through the getters. When a GUI exists, the program
// links the progress dialog (ProgressView) and the window is to be shown, a
// dialog on the GUI thread mirrors it: each change
// posts at most one pending update there, and the dialog reads the latest
// state when that update runs. Button presses come back through the state and
// are picked up by the worker at its next pending-input step.
class QUORVEL_EXPORT TProgressWindow : public std::enable_shared_from_this<TProgressWindow> {
public:
    static constexpr int kWidth = 300;
    static constexpr int kButtonWidth = 75;
    static constexpr int kButtonHeight = 25;

    // Lays the window out from the engine's settings and captions.
    TProgressWindow(const TWebCopy& engine, int captionHeight);

    // Thread-safe reads.
    TProgressWindowSnapshot Snapshot() const;
    TProgressBarState ProgressBar() const;
    TControlState FileLabel() const;
    TControlState ProgressLabel() const;
    TControlState RateLabel() const;
    TControlState TimeLabel() const;
    TControlState CancelButton() const;
    TControlState OpenFileButton() const;
    TControlState OpenFolderButton() const;
    QString Caption() const;
    bool Visible() const;

    // Writes by the worker thread.
    void SetCaption(const QString& caption);
    void SetBarPosition(int position);
    void SetFileLabel(const QString& text);
    void SetProgressLabel(const QString& text);
    void SetRateLabel(const QString& text);
    void SetTimeLabel(const QString& text);
    // Switches the animation to another clip and plays it from its start.
    void SetAnimationClip(int clip);
    // The per-block writes of a transfer, each under one lock: the bar (when
    // given) with the progress line, and the rate line with the time line.
    void SetProgress(std::optional<int> barPosition, const QString& progressLabel);
    void SetRateAndTime(const QString& rateLabel, const QString& timeLabel);
    // Shows the window when asked to (and a GUI exists).
    void Show();
    // End of the run: keep the window with "Close" and enabled Open buttons,
    // or close it.
    void EndRun(bool keep, bool cancelled, const QString& lastFile, const QString& lastDir);
    // Worker side of button presses: true once per Cancel press made while the
    // run was going on.
    bool TakeCancelPress();

    // Button presses, from the GUI thread (or a test). Cancel during the run
    // sets the engine's Cancelled flag at once and hides the window; after
    // the run (the Close button, Escape, the title bar's close) it only
    // closes the window.
    void PressCancel();
    void PressOpenFile();
    void PressOpenFolder();

    // The engine is going away: no more calls into it.
    void Detach();

    // GUI-thread side: the dialog mirroring this state (created on demand).
    void SyncDialog();

private:
    template <typename F> void Change(F&& write);
    void PostUpdate();
    void CloseFromButton();
    // Opens a file or folder through the window on screen's library.
    static void Open(const QString& path);

    mutable std::mutex m_mutex;
    TProgressWindowSnapshot m_state;
    TWebCopy* m_engine;                       // guarded by m_mutex; null once detached
    bool m_runActive = true;                  // guarded by m_mutex
    std::atomic<bool> m_cancelPressed{false}; // set under m_mutex while the run is active
    const bool m_mirrored;                    // a dialog may mirror this state
    std::atomic<bool> m_updatePending{false};
    QPointer<QObject> m_dialog; // GUI thread only
};

} // namespace quorvel
