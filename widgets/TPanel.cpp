#include "TPanel.h"

#include "WidgetAccessibility.h"

#include <QPainter>

namespace quorvel {

namespace {

QColor ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

} // namespace

TPanel::TPanel(QWidget* parent) : QWidget(parent) {
    WidgetAccessibility::Install();
}

void TPanel::SetCaption(const QString& caption) {
    m_caption = caption;
    update();
}

void TPanel::SetBevelOuter(TPanelBevel bevel) {
    m_bevel = bevel;
    update();
}

void TPanel::SetBevelWidth(int width) {
    m_bevelWidth = std::clamp(width, 0, 100);
    update();
}

void TPanel::SetColor(TColor color) {
    m_color = color;
    update();
}

void TPanel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), ToQColor(m_color));
    if (m_bevel != bvNone) {
        const QColor light = ToQColor(SystemColor(COLOR_BTNHIGHLIGHT));
        const QColor dark = ToQColor(SystemColor(COLOR_BTNSHADOW));
        const QColor topLeft = m_bevel == bvRaised ? light : dark;
        const QColor bottomRight = m_bevel == bvRaised ? dark : light;
        const int w = width(), h = height();
        for (int i = 0; i < m_bevelWidth; ++i) {
            p.fillRect(i, i, w - 2 * i, 1, topLeft);
            p.fillRect(i, i, 1, h - 2 * i, topLeft);
            p.fillRect(i, h - 1 - i, w - 2 * i, 1, bottomRight);
            p.fillRect(w - 1 - i, i, 1, h - 2 * i, bottomRight);
        }
    }
    if (!m_caption.isEmpty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(rect(), Qt::AlignCenter, m_caption);
    }
}

} // namespace quorvel
