#include "TStandInButton.h"

#include <QPainter>

namespace {

QColor ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

} // namespace

TStandInButton::TStandInButton(QWidget* parent) : QPushButton(parent) {
    setAttribute(Qt::WA_Hover);
}

void TStandInButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    TColor face = m_color;
    if (isDown())
        face = m_downColor;
    else if (underMouse())
        face = m_hoverColor;
    p.fillRect(rect(), ToQColor(face));
    p.setPen(ToQColor(m_borderColor));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : QColor(0x80, 0x80, 0x80));
    const int h = m_alignment == haLeft    ? Qt::AlignLeft
                  : m_alignment == haRight ? Qt::AlignRight
                                           : Qt::AlignHCenter;
    const int v = m_vAlignment == vaTop      ? Qt::AlignTop
                  : m_vAlignment == vaBottom ? Qt::AlignBottom
                                             : Qt::AlignVCenter;
    const QRect inside = rect().adjusted(3, 2, -3, -2);
    const QString shown =
        m_ellipsis ? fontMetrics().elidedText(text(), Qt::ElideRight, inside.width()) : text();
    p.drawText(inside, h | v, shown);
}
