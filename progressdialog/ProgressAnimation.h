#pragma once

#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>

namespace quorvel {

// One looping clip of the progress window: frames of 272 x 60 pixels stored
// side by side in one picture among the program's resources.
struct TAnimationClip {
    int Number = 0;
    const char* Resource = nullptr;
    int Frames = 0;
    int FramesPerSecond = 0;
};

// The animation at the top of the progress window. It plays its clip in a
// loop while running, showing frame floor(elapsed × rate / 1000) mod frames,
// so the rate holds whatever the timer's jitter; stopped, it keeps the frame
// it shows.
class TProgressAnimation : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTransferClip = 257; // downloads and copies
    static constexpr int kUploadClip = 258;   // uploads (the progress window's numbers)
    static constexpr int kFrameWidth = 272;
    static constexpr int kFrameHeight = 60;

    explicit TProgressAnimation(QWidget* parent = nullptr);

    // The clip of a number, or nullptr for a number without one.
    static const TAnimationClip* FindClip(int number);

    // Loads the clip and plays it from its first frame; false (nothing
    // changes) when the number has no clip or its picture is unusable.
    bool SetClip(int number);
    int Clip() const { return m_clip; }
    int FrameCount() const { return m_frames; }
    int FramesPerSecond() const { return m_fps; }
    int CurrentFrame() const { return m_frame; }
    // Frame i of the clip as stored.
    QImage FrameImage(int index) const;

    // Plays from the first frame again.
    void Restart();
    void SetRunning(bool running);
    bool Running() const { return m_running; }

    // Milliseconds source; empty means a monotonic clock. Tests install a
    // fake one and call Advance().
    std::function<std::int64_t()> Clock;
    // Brings the shown frame up to the clock (the timer calls this).
    void Advance();

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    std::int64_t Now() const;
    void ScheduleNext();

    QImage m_strip;
    int m_clip = 0;
    int m_frames = 0;
    int m_fps = 0;
    int m_frame = 0;
    bool m_running = false;
    std::int64_t m_start = 0;
    int m_timer = 0;
};

} // namespace quorvel
