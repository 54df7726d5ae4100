// Painting the button: its font, the face (flat, picture, classic or themed),
// the focus rectangle, then the caption.
#include "THTMLButton.h"

#include "ButtonPaint.h"
#include "TCanvas.h"
#include "ThemeAccess.h"

#include <QCursor>
#include <algorithm>
#include <cmath>

namespace quorvel {

using ButtonPaint::kGrey;
using ButtonPaint::Shrunk;

namespace {

TFont ToCanvasFont(const QFont& font, const QColor& color) {
    TFont f;
    f.Name = font.family().toStdString();
    if (font.pointSizeF() > 0)
        f.Size = static_cast<int>(std::lround(font.pointSizeF()));
    else
        f.Size = std::max(1, static_cast<int>(std::lround(font.pixelSize() * 72 / 96.0)));
    f.Bold = font.bold();
    f.Italic = font.italic();
    f.Underline = font.underline();
    f.StrikeOut = font.strikeOut();
    f.Color = RGBColor(color.red(), color.green(), color.blue());
    return f;
}

void Strip(TCanvas& canvas, TColor color, const TRect& r) {
    canvas.Brush.SetColor(color);
    canvas.FillRect(r);
}

// The classic raised push-button frame: light outer and inner edges at the
// top left, dark ones at the bottom right, the face colour inside.
void DrawClassicFrame(TCanvas& canvas, const TRect& k) {
    const int l = k.Left, t = k.Top, r = k.Right, b = k.Bottom;
    Strip(canvas, SystemColor(COLOR_BTNFACE), k);
    Strip(canvas, SystemColor(COLOR_BTNHIGHLIGHT), TRect{l, t, r - 1, t + 1});
    Strip(canvas, SystemColor(COLOR_BTNHIGHLIGHT), TRect{l, t, l + 1, b - 1});
    Strip(canvas, SystemColor(COLOR_3DDKSHADOW), TRect{l, b - 1, r, b});
    Strip(canvas, SystemColor(COLOR_3DDKSHADOW), TRect{r - 1, t, r, b});
    Strip(canvas, SystemColor(COLOR_3DLIGHT), TRect{l + 1, t + 1, r - 2, t + 2});
    Strip(canvas, SystemColor(COLOR_3DLIGHT), TRect{l + 1, t + 1, l + 2, b - 2});
    Strip(canvas, SystemColor(COLOR_BTNSHADOW), TRect{l + 1, b - 2, r - 1, b - 1});
    Strip(canvas, SystemColor(COLOR_BTNSHADOW), TRect{r - 2, t + 1, r - 1, b - 1});
}

void Line(TCanvas& canvas, TColor color, int width, std::initializer_list<TPoint> points) {
    canvas.Pen.Color = color;
    canvas.Pen.Width = width;
    auto it = points.begin();
    canvas.MoveTo(it->X, it->Y);
    for (++it; it != points.end(); ++it)
        canvas.LineTo(it->X, it->Y);
}

} // namespace

TColor THTMLButton::FaceColor(const TDrawState& state) const {
    if (!m_flat)
        return m_color;
    if (state.Pressed)
        return m_downColor;
    return m_hovering ? m_hoverColor : m_color;
}

void THTMLButton::DrawFace(TCanvas& canvas, const TDrawState& state, bool themed, TRect& k) {
    const bool picture = m_background != stNormal && m_background != stXPTheme;
    if (picture) {
        const int at = state.Pressed ? 0 : -2;
        canvas.DrawImage(at, at, m_backgroundImage);
        Line(canvas, clWhite, 1, {{0, k.Bottom}, {0, 0}, {k.Right, 0}});
        // The dark edge runs along the last column and row, inside the button.
        Line(canvas, kGrey, 1, {{k.Right - 1, 0}, {k.Right - 1, k.Bottom - 1}, {k.Left, k.Bottom - 1}});
        return;
    }
    if (m_flat) {
        if (state.Pressed) {
            canvas.Pen.Color = SystemColor(COLOR_BTNSHADOW);
            canvas.Pen.Width = 2;
            canvas.Brush.SetColor(m_downColor);
            canvas.Rectangle(k);
            Line(canvas, SystemColor(COLOR_BTNSHADOW), 1,
                 {{k.Left, k.Bottom}, {k.Left, k.Top}, {k.Right, k.Top}});
            return;
        }
        const TColor face = FaceColor(state);
        canvas.Pen.Color = m_borderColor;
        canvas.Pen.Width = 1;
        canvas.Brush.SetColor(face);
        canvas.Rectangle(k);
        if (m_defaultLook) {
            k = Shrunk(k, 1);
            canvas.Pen.Color = face;
            canvas.Rectangle(k);
        }
        if (m_hovering) {
            Line(canvas, clWhite, 1, {{k.Left, k.Bottom}, {k.Left, k.Top}, {k.Right, k.Top}});
            Line(canvas, SystemColor(COLOR_BTNSHADOW), 1,
                 {{k.Right - 1, k.Top}, {k.Right - 1, k.Bottom - 1}, {k.Left, k.Bottom - 1}});
        }
        return;
    }
    if (themed) {
        HTHEME theme = OpenThemeData(this, u"button");
        int part = PBS_NORMAL;
        if (state.Pressed)
            part = PBS_PRESSED;
        else {
            const QPoint p = mapFromGlobal(QCursor::pos());
            if (k.Contains(TPoint{p.x(), p.y()}))
                part = PBS_HOT;
        }
        const HRESULT drawn = DrawThemeBackground(theme, canvas, BP_PUSHBUTTON, part, k, nullptr);
        CloseThemeData(theme);
        // A theme that cannot draw leaves the classic face.
        if (drawn == S_OK)
            return;
    }
    if (m_defaultLook || state.Focused) {
        canvas.Pen.Color = SystemColor(COLOR_WINDOWFRAME);
        canvas.Pen.Width = 1;
        canvas.Brush.SetColor(clNone);
        canvas.Rectangle(k);
        k = Shrunk(k, 1);
    }
    if (!state.Pressed) {
        DrawClassicFrame(canvas, k);
    } else {
        canvas.Pen.Color = SystemColor(COLOR_BTNSHADOW);
        canvas.Pen.Width = 1;
        canvas.Brush.SetColor(SystemColor(COLOR_BTNFACE));
        canvas.Rectangle(k);
        k = Shrunk(k, 1);
    }
}

void THTMLButton::DrawButton(TCanvas& canvas, const TDrawState& state) {
    canvas.Font = ToCanvasFont(font(), palette().color(QPalette::ButtonText));
    // A widget resized while hidden gets its resize event only when shown.
    if (m_backgroundImage.size() != QSize(width() + 2, height() + 2))
        BuildBackground();
    const bool themed = m_themesPossible && m_background == stXPTheme && IsThemeActive();
    TRect k{0, 0, width(), height()};
    DrawFace(canvas, state, themed, k);
    const bool picture = m_background != stNormal && m_background != stXPTheme;
    if (m_defaultLook && (state.Focused || picture))
        canvas.DrawFocusRect(Shrunk(TRect{0, 0, width(), height()}, picture ? 2 : 4));
    canvas.Pen.Width = 1;
    DrawCaption(canvas, state);
}

} // namespace quorvel
