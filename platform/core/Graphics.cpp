#include "Graphics.h"

#include <QGuiApplication>
#include <QPalette>

namespace quorvel {

namespace {

QColor PaletteColor(std::uint32_t index) {
    const QPalette palette = QGuiApplication::palette();
    switch (index) {
    case COLOR_WINDOW: return palette.color(QPalette::Base);
    case COLOR_WINDOWTEXT: case COLOR_MENUTEXT: case COLOR_CAPTIONTEXT: return palette.color(QPalette::WindowText);
    case COLOR_HIGHLIGHT: case COLOR_ACTIVECAPTION: return palette.color(QPalette::Highlight);
    case COLOR_HIGHLIGHTTEXT: return palette.color(QPalette::HighlightedText);
    case COLOR_BTNFACE: case COLOR_MENU: case COLOR_ACTIVEBORDER: case COLOR_INACTIVEBORDER:
        return palette.color(QPalette::Button);
    case COLOR_BTNSHADOW: return palette.color(QPalette::Mid);
    case COLOR_GRAYTEXT: case COLOR_INACTIVECAPTIONTEXT:
        return palette.color(QPalette::Disabled, QPalette::WindowText);
    case COLOR_BTNTEXT: return palette.color(QPalette::ButtonText);
    case COLOR_BTNHIGHLIGHT: return palette.color(QPalette::Light);
    case COLOR_3DDKSHADOW: case COLOR_WINDOWFRAME: return palette.color(QPalette::Shadow);
    case COLOR_3DLIGHT: return palette.color(QPalette::Midlight);
    case COLOR_INFOTEXT: return palette.color(QPalette::ToolTipText);
    case COLOR_INFOBK: return palette.color(QPalette::ToolTipBase);
    case COLOR_APPWORKSPACE: case COLOR_BACKGROUND: case COLOR_SCROLLBAR: case COLOR_INACTIVECAPTION:
        return palette.color(QPalette::Dark);
    default: return palette.color(QPalette::Window);
    }
}

} // namespace

TColor ColorToRGB(TColor color) {
    if (!IsSystemColor(color))
        return color;
    const QColor c = PaletteColor(color & 0xFF);
    return RGBColor(c.red(), c.green(), c.blue());
}

} // namespace quorvel
