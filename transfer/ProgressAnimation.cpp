#include "ProgressAnimation.h"

#include <QPainter>

#include <QTimerEvent>
#include <cmath>

namespace {
constexpr int kFrames = 31;
constexpr int kFrameMs = 1000 / 15;
} // namespace

TProgressAnimation::TProgressAnimation(QWidget* parent) : QWidget(parent) {
    SetRunning(true);
}

void TProgressAnimation::SetRunning(bool running) {
    if (running == Running())
        return;
    if (running) {
        m_timer = startTimer(kFrameMs);
    } else {
        killTimer(m_timer);
        m_timer = 0;
    }
}

void TProgressAnimation::timerEvent(QTimerEvent* event) {
    if (event->timerId() != m_timer)
        return QWidget::timerEvent(event);
    m_frame = (m_frame + 1) % kFrames;
    update();
}

void TProgressAnimation::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    // A folder on each side and pages flying between them.
    const int h = height();
    const QRectF left(4, h / 2.0 - 14, 40, 28), right(width() - 44, h / 2.0 - 14, 40, 28);
    p.setPen(palette().color(QPalette::WindowText));
    p.setBrush(QColor(0xE8, 0xC4, 0x5A));
    p.drawRoundedRect(left, 3, 3);
    p.drawRoundedRect(right, 3, 3);
    const double span = right.left() - left.right() - 16;
    p.setBrush(accent);
    for (int i = 0; i < 3; ++i) {
        const double t = std::fmod(m_frame / double(kFrames) + i / 3.0, 1.0);
        const double x = left.right() + t * span;
        const double y = h / 2.0 - 6 - std::sin(t * 3.14159265) * 14;
        p.drawRect(QRectF(x, y, 12, 14));
    }
}
