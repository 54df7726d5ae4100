#include "THTMLButton.h"

#include "HTMLRenderer.h"
#include "PictureContainer.h"
#include "TQtCanvas.h"
#include "ThemeAccess.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

TFont ToCanvasFont(const QFont& font, const QColor& color) {
    TFont f;
    f.Name = font.family().toStdString();
    if (font.pointSizeF() > 0)
        f.Size = static_cast<int>(std::lround(font.pointSizeF()));
    else
        f.Size = std::max(1, font.pixelSize() * 72 / 96);
    f.Bold = font.bold();
    f.Italic = font.italic();
    f.Underline = font.underline();
    f.StrikeOut = font.strikeOut();
    f.Color = RGBColor(color.red(), color.green(), color.blue());
    return f;
}

TRect Shrunk(const TRect& r, int d) {
    return TRect{r.Left + d, r.Top + d, r.Right - d, r.Bottom - d};
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

constexpr TColor kGrey = 0x808080;
constexpr TColor kLinkBlue = 0xFF0000;

} // namespace

int THTMLButton::TRandom::Next(int range) {
    Seed = Seed * 134775813u + 1u;
    if (range <= 0)
        return 0;
    return static_cast<int>((static_cast<std::uint64_t>(Seed) * static_cast<std::uint64_t>(range)) >> 32);
}

std::function<unsigned()>& THTMLButton::SeedSource() {
    static std::function<unsigned()> source = [] {
        return static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    };
    return source;
}

THTMLButton::THTMLButton(QWidget* parent)
    : QPushButton(parent), m_pictureCache(std::make_unique<THTMLPictureCache>()) {
    setText(m_caption);
    setAttribute(Qt::WA_Hover);
    BuildBackground();
    // The default look depends on which button of the window has the focus.
    connect(qApp, &QApplication::focusChanged, this, [this] { UpdateDefaultLook(); });
}

void THTMLButton::UpdateDefaultLook() {
    const QWidget* focus = QApplication::focusWidget();
    const bool otherButton =
        focus && focus != this && qobject_cast<const QPushButton*>(focus) && focus->window() == window();
    SetDefaultLook(hasFocus() || (isDefault() && !otherButton));
}

THTMLButton::~THTMLButton() = default;

void THTMLButton::SetAlignment(TBtnHAlignment value) {
    m_alignment = value;
    Repaint();
}

void THTMLButton::SetVAlignment(TBtnVAlignment value) {
    m_valignment = value;
    Repaint();
}

void THTMLButton::SetBackground(TBtnBackground value) {
    m_background = value;
    BuildBackground();
    Repaint();
}

void THTMLButton::SetColor(TColor value) {
    if (value == m_color)
        return;
    m_color = value;
    BuildBackground();
    Repaint();
}

void THTMLButton::SetCaption(const QString& value) {
    setText(value);
    m_caption = value;
    Repaint();
}

void THTMLButton::SetImages(const TImageList* images) {
    m_images = images;
    repaint();
}

void THTMLButton::SetPictureContainer(TPictureContainer* container) {
    m_pictureContainer = container;
    Repaint();
}

namespace {
template <typename T> bool Store(T& field, T value) {
    if (field == value)
        return false;
    field = value;
    return true;
}
} // namespace

void THTMLButton::SetBorderColor(TColor value) {
    if (Store(m_borderColor, value))
        Repaint();
}
void THTMLButton::SetEllipsis(bool value) {
    if (Store(m_ellipsis, value))
        Repaint();
}
void THTMLButton::SetFlat(bool value) {
    if (Store(m_flat, value))
        Repaint();
}
void THTMLButton::SetLayout(TButtonLayout value) {
    if (Store(m_layout, value))
        Repaint();
}
void THTMLButton::SetMargin(int value) {
    if (value >= -1 && Store(m_margin, value))
        Repaint();
}
void THTMLButton::SetShadowColor(TColor value) {
    if (Store(m_shadowColor, value))
        Repaint();
}
void THTMLButton::SetShadowOffset(int value) {
    if (Store(m_shadowOffset, value))
        Repaint();
}
void THTMLButton::SetStyle(TButtonStyle value) {
    if (Store(m_style, value))
        Repaint();
}
void THTMLButton::SetSpacing(int value) {
    if (Store(m_spacing, value))
        Repaint();
}

void THTMLButton::SetDefault(bool value) {
    setDefault(value);
    UpdateDefaultLook();
}

void THTMLButton::SetDefaultLook(bool value) {
    if (Store(m_defaultLook, value))
        Repaint();
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
        const TColor face = m_hovering ? m_hoverColor : m_color;
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

void THTMLButton::DrawCaption(TCanvas& canvas, const TDrawState& state) {
    TRect t = Shrunk(TRect{0, 0, width(), height()}, 4);
    TMarkupOptions o;
    o.LineSpacing = 0;
    o.PictureContainer = m_pictureContainer.data();
    o.PictureCache = m_pictureCache.get();
    o.ShadowColor = m_shadowColor;
    o.HoverBrushColor = clNone;
    o.HoverFontColor = clNone;
    o.LinkColor = kLinkBlue;
    o.ScaleFactor = 1.0;
    o.WordWrap = !m_ellipsis;
    o.StyleHoveredLinkOnly = false;
    o.BlinkVisible = false;
    o.Selected = false;
    o.Printing = false;
    o.HitTestOnly = false;
    o.ShadowOffset = m_shadowOffset;
    o.HoverLink = -1;
    o.FocusLink = -1;
    o.PointerX = 0;
    o.PointerY = 0;
    o.ImageList = m_images;
    o.MeasureOnly = true;

    const std::string markup = m_caption.toStdString();
    // A clear brush in the face colour: blinking text in its hidden phase
    // takes the face colour.
    canvas.Brush.Color = m_flat ? (m_hovering ? m_hoverColor : m_color) : m_color;
    canvas.Brush.Style = bsClear;
    TMarkupResult measured;
    RenderMarkup(canvas, markup, t, o, measured);

    switch (m_alignment) {
    case haCenter:
        if (t.Width() > measured.MaxLineWidth)
            t.Left += (t.Width() - measured.MaxLineWidth) / 2;
        break;
    case haRight:
        if (t.Width() > measured.MaxLineWidth)
            t.Left = t.Right - measured.MaxLineWidth;
        break;
    default:
        break;
    }
    switch (m_valignment) {
    case vaCenter:
        if (t.Height() > measured.TotalHeight)
            t.Top += (t.Height() - measured.TotalHeight) / 2;
        break;
    case vaBottom:
        t.Top = t.Bottom - measured.TotalHeight;
        break;
    default:
        break;
    }
    const auto move = [&t](int d) { t = TRect{t.Left + d, t.Top + d, t.Right + d, t.Bottom + d}; };
    if (state.Pressed)
        move(1);

    o.MeasureOnly = false;
    TMarkupResult drawn;
    if (!state.Disabled) {
        RenderMarkup(canvas, markup, t, o, drawn);
        return;
    }
    // Engraved: white one pixel down and right, grey on top.
    move(1);
    canvas.Font.Color = clWhite;
    o.LinkColor = clWhite;
    RenderMarkup(canvas, markup, t, o, drawn);
    canvas.Font.Color = kGrey;
    move(-1);
    o.LinkColor = kGrey;
    RenderMarkup(canvas, markup, t, o, drawn);
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

void THTMLButton::paintEvent(QPaintEvent*) {
    TQtCanvas canvas(this);
    DrawButton(canvas, TDrawState{isDown(), hasFocus(), !isEnabled()});
}

void THTMLButton::resizeEvent(QResizeEvent* event) {
    QPushButton::resizeEvent(event);
    BuildBackground();
}

void THTMLButton::enterEvent(QEnterEvent* event) {
    m_hovering = true;
    QPushButton::enterEvent(event);
    repaint();
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void THTMLButton::leaveEvent(QEvent* event) {
    m_hovering = false;
    QPushButton::leaveEvent(event);
    repaint();
    if (OnMouseLeave)
        OnMouseLeave(this);
}

// Fast repeated clicks all press the button: the second press of a double
// click is handled as a plain press.
void THTMLButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        QMouseEvent press(QEvent::MouseButtonPress, event->position(), event->scenePosition(),
                          event->globalPosition(), event->button(), event->buttons(), event->modifiers());
        mousePressEvent(&press);
        event->setAccepted(press.isAccepted());
        return;
    }
    QPushButton::mouseDoubleClickEvent(event);
}

void THTMLButton::focusInEvent(QFocusEvent* event) {
    QPushButton::focusInEvent(event);
    UpdateDefaultLook();
}

void THTMLButton::focusOutEvent(QFocusEvent* event) {
    QPushButton::focusOutEvent(event);
    UpdateDefaultLook();
}

void THTMLButton::changeEvent(QEvent* event) {
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::EnabledChange)
        Repaint();
}

namespace {

// The background picture being built: shades of one colour.
struct TShadeImage {
    QImage& Image;
    int R, G, B;
    void Shade(long long x, long long y, int f) {
        if (x < 0 || y < 0 || x >= Image.width() || y >= Image.height())
            return;
        f = std::clamp(f, 0, 255);
        reinterpret_cast<QRgb*>(Image.scanLine(static_cast<int>(y)))[x] =
            qRgb((R * f / 255) & 0xFF, (G * f / 255) & 0xFF, (B * f / 255) & 0xFF);
    }
    int BlueAt(int x, int y) const { return qBlue(Image.pixel(x, y)); }
};

int Cube(int v) {
    return v * v * v;
}

} // namespace

void THTMLButton::BuildBackground() {
    const TColor rgb = ColorToRGB(m_color);
    const int w = width() + 2, h = height() + 2;
    m_backgroundImage = QImage(w, h, QImage::Format_RGB32);
    TRandom random{SeedSource() ? SeedSource()() : 0u};
    m_backgroundImage.fill(Qt::white);
    TShadeImage img{m_backgroundImage, RedOf(rgb), GreenOf(rgb), BlueOf(rgb)};
    const auto columns = [&](auto shade) {
        for (int x = 0; x <= w; ++x) {
            const int f = shade(x);
            for (int y = 0; y <= h; ++y)
                img.Shade(x, y, f);
        }
    };
    const auto rows = [&](auto shade) {
        for (int y = 0; y <= h; ++y) {
            const int f = shade(y);
            for (int x = 0; x <= w; ++x)
                img.Shade(x, y, f);
        }
    };
    const auto pixels = [&](auto shade) {
        for (int x = 0; x <= w; ++x)
            for (int y = 0; y <= h; ++y)
                img.Shade(x, y, shade(x, y));
    };
    const auto bump = [](int a, int scale) {
        return 255 - ((Cube(a - 127) / 16384) * scale / 128 + 128) / 2;
    };
    const auto hshade = [&](int x) { return 255 - (239 * (w - x) / w + 8) / 2; };
    const auto vshade = [&](int y) { return 255 - (y * 239 / h + 8) / 2; };

    switch (m_background) {
    case stNormal:
    case stXPTheme:
        m_backgroundImage.fill(QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb)));
        break;
    case stNoise:
        pixels([&](int, int) { return 255 - (random.Next(32) + 128) / 2; });
        break;
    case stDiagShade:
        pixels([&](int x, int y) { return 255 - (x * 129 / w + y * 129 / h) / 2; });
        break;
    case stHShade:
        columns(hshade);
        break;
    case stHShadeInv:
        columns([&](int x) { return hshade(w - x); });
        break;
    case stVShade:
        rows(vshade);
        break;
    // The inverted style runs the other way, as its horizontal twin does.
    case stVShadeInv:
        rows([&](int y) { return vshade(h - y); });
        break;
    case stHBump:
        columns([&](int x) { return bump((w - x) * 255 / w, 120); });
        break;
    case stVBump:
        rows([&](int y) { return bump(y * 255 / h, 120); });
        break;
    case stSoftBump:
        pixels([&](int x, int y) {
            const int cy = Cube(y * 255 / h - 127) / 16384;
            const int cx = Cube((w - x) * 255 / w - 127) / 16384;
            return 255 - std::clamp((cx + cy) * 120 / 128 + 128, 8, 247) / 2;
        });
        break;
    case stHardBump: {
        rows([&](int y) { return bump(y * 255 / h, 112); });
        const int e0 = std::min(16, w / 6);
        const int q = std::max(1, h * h / 4);
        if (e0 == 0)
            break; // too narrow for rounded ends
        for (int x = 0; x <= w; ++x) {
            for (int y = 0; y <= h; ++y) {
                const int dy = y - h / 2, dx = x - w / 2;
                const int e = static_cast<int>(static_cast<long long>(dy) * dy * e0 / q) + w / 2 - e0;
                if (dx > e)
                    img.Shade(x, y, 255 - ((w - x) * 128 / e0 + 8) / 2);
                if (dx + e < 0)
                    img.Shade(x, y, 255 - (247 - x * 128 / e0) / 2);
            }
        }
        break;
    }
    case stLMetal:
    case stRMetal: {
        const bool left = m_background == stLMetal;
        for (int streak = 0; streak < 251; ++streak) {
            const int x0 = random.Next(w);
            const int y0 = random.Next(h);
            const int n = random.Next(std::min(w, h) / 2);
            const int f = 255 - random.Next(40);
            for (int i = 0; i < n; ++i) {
                if (left) {
                    if (x0 + i < w && y0 + i < h)
                        img.Shade(x0 + i, y0 + i, f);
                    if (x0 - i > 0 && y0 - i > 0)
                        img.Shade(x0 - i, y0 - i, f);
                } else {
                    if (x0 - i > 0 && y0 + i < h)
                        img.Shade(x0 - i, y0 + i, f);
                    if (x0 + i < w && y0 - i > 0)
                        img.Shade(x0 + i, y0 - i, f);
                }
            }
        }
        pixels([&](int x, int y) {
            const int b = (x < w && y < h) ? img.BlueAt(x, y) : 255;
            return 255 - (x * 120 / w + (255 - b) + y * 120 / h) / 2;
        });
        break;
    }
    case stIRadial:
    case stORadial: {
        // D is the distance from the centre to the corner (0, 0), the
        // farthest pixel painted, so the shade runs the whole way from 255
        // to 0; a square needs nothing special.
        const int cx = w / 2, cy = h / 2;
        const double d = std::max(1.0, std::nearbyint(std::sqrt(double(cx) * cx + double(cy) * cy)));
        for (int x = 0; x <= cx; ++x) {
            for (int y = 0; y <= cy; ++y) {
                const double r =
                    std::nearbyint(std::sqrt(double(x - cx) * (x - cx) + double(y - cy) * (y - cy)));
                const double share = m_background == stIRadial ? (d - r) / d : r / d;
                const int f = static_cast<int>(std::nearbyint(share * 255));
                img.Shade(x, y, f);
                img.Shade(w - x, h - y, f);
                img.Shade(w - x, y, f);
                img.Shade(x, h - y, f);
            }
        }
        break;
    }
    }
}
