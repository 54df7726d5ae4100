#include "WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace quorvel {

namespace {

const char* const kWatcherName = "_quorvelFrameWatch";

// The frame the window system gives window; empty while it gives none.
QMargins FrameOf(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle && handle->isVisible() ? handle->frameMargins() : QMargins();
}

// The window's own frame once known, else that of a visible window of the
// program (windows of one program get the same decoration).
QMargins ExpectedFrame(const QWidget& window) {
    const QMargins own = FrameOf(window);
    if (!own.isNull())
        return own;
    for (const QWindow* other : QGuiApplication::topLevelWindows())
        if (other->isVisible() && !other->frameMargins().isNull())
            return other->frameMargins();
    return QMargins();
}

void Place(QWidget& window, const QMargins& frame) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize frameSize = window.size().grownBy(frame);
    // move() places the frame's top-left corner.
    window.move(WindowPlacement::CentredFrameTopLeft(screen->availableGeometry(), frameSize));
}

// Watches a window until the window system reports its frame, then centres
// it again if the frame differs from the one it was placed with.
class TFrameWatch : public QObject {
public:
    TFrameWatch(QWidget& window, const QMargins& used) : QObject(&window), m_window(window), m_used(used) {
        setObjectName(QLatin1String(kWatcherName));
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &m_window || m_done)
            return false;
        switch (event->type()) {
        case QEvent::Hide:
            Finish();
            break;
        case QEvent::Show:
            // The window system shows the window after this event.
            QMetaObject::invokeMethod(this, &TFrameWatch::Check, Qt::QueuedConnection);
            break;
        case QEvent::Move:
        case QEvent::Resize:
            Check();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void Check() {
        const QMargins frame = FrameOf(m_window);
        if (m_done || frame.isNull())
            return;
        Finish();
        if (frame != m_used)
            Place(m_window, frame);
    }

    void Finish() {
        m_done = true;
        m_window.removeEventFilter(this);
        deleteLater();
    }

    QWidget& m_window;
    const QMargins m_used;
    bool m_done = false;
};

} // namespace

namespace WindowPlacement {

QPoint CentredFrameTopLeft(const QRect& available, const QSize& frameSize) {
    return available.topLeft() +
           QPoint((available.width() - frameSize.width()) / 2, (available.height() - frameSize.height()) / 2);
}

void CentreOnScreen(QWidget& window) {
    delete window.findChild<QObject*>(QLatin1String(kWatcherName), Qt::FindDirectChildrenOnly);
    const QMargins frame = ExpectedFrame(window);
    Place(window, frame);
    if (FrameOf(window).isNull())
        new TFrameWatch(window, frame);
}

} // namespace WindowPlacement

} // namespace quorvel
