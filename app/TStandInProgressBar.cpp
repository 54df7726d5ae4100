#include "TStandInProgressBar.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

QColor ToQColor(TColor color) {
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

// Border, back face, back gradient, fore face, fore gradient (#RRGGBB).
constexpr std::uint32_t kSchemes[][5] = {
    {0x805600, 0xFFECC6, 0xFFFFFF, 0xFFDE9B, 0xB77B00}, {0x376F15, 0xDCF5CB, 0xFFFFFF, 0xDBF5C9, 0x62C128},
    {0x6B6B6B, 0xE0E0E0, 0xFFFFFF, 0xF0F0F0, 0xADADAD}, {0x0059B3, 0xD5EAFF, 0xFFFFFF, 0xDDEEFF, 0x5EAEFF},
    {0x9D0000, 0xFFD7D7, 0xFFFFFF, 0xFFE8E8, 0xFF8080}, {0x646400, 0xFFFFCE, 0xFFFFFF, 0xFFFFDF, 0xDCBC05},
    {0x000000, 0x005500, 0x008000, 0xAEEC91, 0x00AA00}, {0x000000, 0x004080, 0x0054A8, 0x97CBFF, 0x0076EC},
    {0x000000, 0x590000, 0x8C4646, 0xF29F9F, 0xBB4848}, {0x000000, 0x464646, 0x6F6F6F, 0xCECECE, 0x737373},
    {0x000000, 0x400080, 0x6500CA, 0xDBB7FF, 0x9933FF}, {0x000000, 0x56562C, 0x7B7B3E, 0xDEDEBC, 0x8E8E46},
};

TColor FromHex(std::uint32_t rgb) {
    return RGBColor(int(rgb >> 16), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

} // namespace

TStandInProgressBar::TStandInProgressBar(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setRange(0, 100);
    setValue(0);
    SetColorScheme(csDesert);
}

void TStandInProgressBar::SetColor(int index, TColor color) {
    m_colors[index] = color;
    m_scheme = csCustom;
    update();
}

void TStandInProgressBar::SetColorScheme(TColorScheme scheme) {
    m_scheme = scheme;
    if (scheme != csCustom)
        for (int i = 0; i < 5; ++i)
            m_colors[i] = FromHex(kSchemes[scheme - 1][i]);
    update();
}

void TStandInProgressBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int w = width(), h = height();
    QLinearGradient back(0, 1, 0, h - 1);
    back.setColorAt(0, ToQColor(m_colors[1]));
    back.setColorAt(1, ToQColor(m_colors[2]));
    p.fillRect(1, 1, w - 2, h - 2, back);
    const int range = maximum() - minimum();
    const int fill = range > 0 ? int(qint64(w - 2) * (value() - minimum()) / range) : 0;
    QLinearGradient fore(0, 0, 0, h);
    fore.setColorAt(0, ToQColor(m_colors[3]));
    fore.setColorAt(1, ToQColor(m_colors[4]));
    p.fillRect(1, 1, std::clamp(fill, 0, w - 2), h - 2, fore);
    p.setPen(ToQColor(m_colors[0]));
    p.drawRect(0, 0, w - 1, h - 1);
}
