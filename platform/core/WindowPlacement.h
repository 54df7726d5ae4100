#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace quorvel {

// Opens top-level windows centred on the screen: the whole frame, title bar
// and borders included, not just the client area.
namespace WindowPlacement {

// The top-left corner of a frame of frameSize centred in available.
QPoint CentredFrameTopLeft(const QRect& available, const QSize& frameSize);

// Centres window's frame in the primary screen's available area. The frame
// is the window system's once the window has been shown; before, it is
// guessed from a visible window's frame. When the real frame turns out
// different once the window is shown, the window is centred again, once.
void CentreOnScreen(QWidget& window);

} // namespace WindowPlacement

} // namespace quorvel
