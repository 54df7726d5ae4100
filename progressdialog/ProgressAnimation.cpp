#include "ProgressAnimation.h"

#include "ProgressAnimationAccessibility.h"

#include <QPainter>
#include <QTimerEvent>

#include <chrono>

// The resource's initialiser is a global function: it is named from outside
// the namespace.
static void InitAnimationResources() {
    Q_INIT_RESOURCE(animations);
}

namespace quorvel {

namespace {

constexpr TAnimationClip kClips[] = {
    {TProgressAnimation::kTransferClip, ":/animations/transfer.png", 31, 15},
    {TProgressAnimation::kUploadClip, ":/animations/upload.png", 26, 10},
};

} // namespace

TProgressAnimation::TProgressAnimation(QWidget* parent) : QWidget(parent) {
    InitAnimationResources();
    ProgressAnimationAccessibility::Install();
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    SetClip(kTransferClip);
    SetRunning(true);
}

const TAnimationClip* TProgressAnimation::FindClip(int number) {
    for (const TAnimationClip& clip : kClips)
        if (clip.Number == number)
            return &clip;
    return nullptr;
}

bool TProgressAnimation::SetClip(int number) {
    const TAnimationClip* clip = FindClip(number);
    if (!clip)
        return false;
    QImage strip(QString::fromLatin1(clip->Resource));
    if (strip.isNull() || strip.height() != kFrameHeight || strip.width() % kFrameWidth != 0 ||
        strip.width() / kFrameWidth != clip->Frames)
        return false;
    m_strip = std::move(strip);
    m_clip = number;
    m_frames = clip->Frames;
    m_fps = clip->FramesPerSecond;
    Restart();
    return true;
}

QImage TProgressAnimation::FrameImage(int index) const {
    if (index < 0 || index >= m_frames)
        return QImage();
    return m_strip.copy(index * kFrameWidth, 0, kFrameWidth, kFrameHeight);
}

void TProgressAnimation::Restart() {
    m_start = Now();
    m_frame = 0;
    update();
    if (m_running)
        ScheduleNext();
}

void TProgressAnimation::SetRunning(bool running) {
    if (running == m_running)
        return;
    m_running = running;
    if (running) {
        // Goes on from the frame it stopped at.
        m_start = Now() - (m_fps > 0 ? std::int64_t(m_frame) * 1000 / m_fps : 0);
        ScheduleNext();
    } else if (m_timer) {
        killTimer(m_timer);
        m_timer = 0;
    }
}

std::int64_t TProgressAnimation::Now() const {
    if (Clock)
        return Clock();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TProgressAnimation::Advance() {
    if (!m_running || m_frames <= 0 || m_fps <= 0)
        return;
    const std::int64_t elapsed = std::max<std::int64_t>(Now() - m_start, 0);
    const int frame = static_cast<int>((elapsed * m_fps / 1000) % m_frames);
    if (frame != m_frame) {
        m_frame = frame;
        update();
    }
}

void TProgressAnimation::ScheduleNext() {
    if (m_timer)
        killTimer(m_timer);
    m_timer = 0;
    if (!m_running || m_fps <= 0)
        return;
    // Wakes at the next frame boundary.
    const std::int64_t elapsed = std::max<std::int64_t>(Now() - m_start, 0);
    const std::int64_t nextFrame = elapsed * m_fps / 1000 + 1;
    const std::int64_t next = (nextFrame * 1000 + m_fps - 1) / m_fps;
    m_timer = startTimer(static_cast<int>(std::max<std::int64_t>(next - elapsed, 1)), Qt::PreciseTimer);
}

void TProgressAnimation::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer)
        return QWidget::timerEvent(event);
    Advance();
    ScheduleNext();
}

void TProgressAnimation::paintEvent(QPaintEvent*) {
    if (m_strip.isNull())
        return;
    QPainter p(this);
    p.drawImage(QPoint(0, 0), m_strip, QRect(m_frame * kFrameWidth, 0, kFrameWidth, kFrameHeight));
}

} // namespace quorvel
