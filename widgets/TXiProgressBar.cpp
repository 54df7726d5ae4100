#include "TXiProgressBar.h"

#include "WidgetAccessibility.h"

#include <QPaintEvent>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

struct TSchemeColors {
    TColor Border, BackFace, BackGrad, ForeFace, ForeGrad;
};

// Written as 0xRRGGBB for reading; stored as 0x00BBGGRR.
constexpr TColor FromRGB(std::uint32_t rgb) {
    return RGBColor(static_cast<int>(rgb >> 16), static_cast<int>((rgb >> 8) & 0xFF),
                    static_cast<int>(rgb & 0xFF));
}

// Indexed by TColorScheme; csCustom has no colours of its own.
constexpr TSchemeColors kSchemes[] = {
    {0, 0, 0, 0, 0},
    {FromRGB(0x805600), FromRGB(0xFFECC6), FromRGB(0xFFFFFF), FromRGB(0xFFDE9B), FromRGB(0xB77B00)},
    {FromRGB(0x376F15), FromRGB(0xDCF5CB), FromRGB(0xFFFFFF), FromRGB(0xDBF5C9), FromRGB(0x62C128)},
    {FromRGB(0x6B6B6B), FromRGB(0xE0E0E0), FromRGB(0xFFFFFF), FromRGB(0xF0F0F0), FromRGB(0xADADAD)},
    {FromRGB(0x0059B3), FromRGB(0xD5EAFF), FromRGB(0xFFFFFF), FromRGB(0xDDEEFF), FromRGB(0x5EAEFF)},
    {FromRGB(0x9D0000), FromRGB(0xFFD7D7), FromRGB(0xFFFFFF), FromRGB(0xFFE8E8), FromRGB(0xFF8080)},
    {FromRGB(0x646400), FromRGB(0xFFFFCE), FromRGB(0xFFFFFF), FromRGB(0xFFFFDF), FromRGB(0xDCBC05)},
    {FromRGB(0x000000), FromRGB(0x005500), FromRGB(0x008000), FromRGB(0xAEEC91), FromRGB(0x00AA00)},
    {FromRGB(0x000000), FromRGB(0x004080), FromRGB(0x0054A8), FromRGB(0x97CBFF), FromRGB(0x0076EC)},
    {FromRGB(0x000000), FromRGB(0x590000), FromRGB(0x8C4646), FromRGB(0xF29F9F), FromRGB(0xBB4848)},
    {FromRGB(0x000000), FromRGB(0x464646), FromRGB(0x6F6F6F), FromRGB(0xCECECE), FromRGB(0x737373)},
    {FromRGB(0x000000), FromRGB(0x400080), FromRGB(0x6500CA), FromRGB(0xDBB7FF), FromRGB(0x9933FF)},
    {FromRGB(0x000000), FromRGB(0x56562C), FromRGB(0x7B7B3E), FromRGB(0xDEDEBC), FromRGB(0x8E8E46)},
};

QRgb ToRgb(TColor c) {
    return qRgb(RedOf(c), GreenOf(c), BlueOf(c));
}

TColor PixelAt(const QImage& image, int x, int y) {
    if (!image.valid(x, y))
        return clBlack;
    const QRgb p = image.pixel(x, y);
    return RGBColor(qRed(p), qGreen(p), qBlue(p));
}

// A pen line on row y from x0 towards x1; x1 itself is not painted. Parts
// outside the image are clipped.
void HLine(QImage& image, long long y, long long x0, long long x1, QRgb colour) {
    if (y < 0 || y >= image.height() || x0 == x1)
        return;
    long long from = x0 < x1 ? x0 : x1 + 1;
    long long to = x0 < x1 ? x1 : x0 + 1; // exclusive
    from = std::max(from, 0LL);
    to = std::min(to, static_cast<long long>(image.width()));
    if (from >= to)
        return;
    QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)));
    std::fill(line + from, line + to, colour);
}

void VLine(QImage& image, long long x, long long y0, long long y1, QRgb colour) {
    if (x < 0 || x >= image.width() || y0 == y1)
        return;
    long long from = y0 < y1 ? y0 : y1 + 1;
    long long to = y0 < y1 ? y1 : y0 + 1;
    from = std::max(from, 0LL);
    to = std::min(to, static_cast<long long>(image.height()));
    for (long long y = from; y < to; ++y)
        reinterpret_cast<QRgb*>(image.scanLine(static_cast<int>(y)))[x] = colour;
}

int RoundChannel(double v) {
    return static_cast<int>(std::clamp(std::nearbyint(v), 0.0, 255.0));
}

// Share of span that done covers, rounded to the nearest pixel with ties to
// even. The product is 64-bit so wide ranges do not wrap; an empty range
// shows an empty bar at its minimum and a full one above it.
double Extent(long long span, long long done, long long range) {
    if (range == 0)
        return done > 0 ? static_cast<double>(span) : 0.0;
    return static_cast<double>(span * done) / static_cast<double>(std::llabs(range));
}

} // namespace

TXiProgressBar::TXiProgressBar(QWidget* parent) : QWidget(parent) {
    WidgetAccessibility::Install();
    resize(200, 16);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    SetColorScheme(csDesert);
}

namespace {

// A horizontal size turned to the bar's orientation.
QSize Oriented(TProgressBarOrientation orientation, QSize horizontal) {
    return orientation == pbVertical ? horizontal.transposed() : horizontal;
}

} // namespace

QSize TXiProgressBar::sizeHint() const {
    return Oriented(m_orientation, QSize(200, 16));
}

QSize TXiProgressBar::minimumSizeHint() const {
    return Oriented(m_orientation, QSize(24, 8));
}

void TXiProgressBar::SetIndexedColor(int index, TColor color) {
    switch (index) {
    case ciBorder:
        m_colorBorder = color;
        break;
    case ciBackFace:
        m_backFace = color;
        break;
    case ciBackGrad:
        m_backGrad = color;
        break;
    case ciForeFace:
        m_foreFace = color;
        break;
    case ciForeGrad:
        m_foreGrad = color;
        break;
    default:
        break;
    }
    m_scheme = csCustom;
    Changed();
}

void TXiProgressBar::SetColorScheme(TColorScheme scheme) {
    m_scheme = scheme;
    const auto index = static_cast<size_t>(scheme);
    if (scheme != csCustom && index < std::size(kSchemes)) {
        const TSchemeColors& c = kSchemes[index];
        m_colorBorder = c.Border;
        m_backFace = c.BackFace;
        m_backGrad = c.BackGrad;
        m_foreFace = c.ForeFace;
        m_foreGrad = c.ForeGrad;
    }
    Changed();
}

void TXiProgressBar::SetOrientation(TProgressBarOrientation orientation) {
    m_orientation = orientation;
    if (orientation == pbVertical)
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    else
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    updateGeometry();
    Changed();
}

void TXiProgressBar::SetPosition(int value) {
    if (value < m_min)
        return;
    m_position = value;
    PaintNow();
}

void TXiProgressBar::SetMin(int value) {
    if (value > m_max)
        return;
    m_min = value;
    PaintNow();
}

void TXiProgressBar::SetMax(int value) {
    if (value < m_min)
        return;
    m_max = value;
    PaintNow();
}

void TXiProgressBar::SetStep(int value) {
    m_step = value;
    PaintNow();
}

void TXiProgressBar::SetVisible(bool visible) {
    m_visible = visible;
    setVisible(visible);
}

void TXiProgressBar::PaintNow() {
    // A widget may only paint on the GUI thread; a call from elsewhere gets
    // its repaint there instead of painting where it stands.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
        return;
    }
    WidgetAccessibility::ValueChanged(this);
    if (isVisible())
        repaint();
}

void TXiProgressBar::Changed() {
    update();
}

void TXiProgressBar::PaintGradient(QImage& image, const TRect& rect, TColor from, TColor to, int direction) {
    const long long n = direction == 0 ? static_cast<long long>(rect.Right) - rect.Left
                                       : static_cast<long long>(rect.Bottom) - rect.Top;
    if (n < 0)
        return;
    double r = RedOf(from), g = GreenOf(from), b = BlueOf(from);
    // A single line has no steps to divide into.
    const double div = n == 0 ? 1.0 : static_cast<double>(n);
    const double dr = (RedOf(to) - r) / div, dg = (GreenOf(to) - g) / div, db = (BlueOf(to) - b) / div;
    // Lines past the image's far edge are not visible; stop there.
    const long long last =
        std::min(n, static_cast<long long>(direction == 0 ? image.width() : image.height()));
    for (long long i = 0; i <= last; ++i) {
        const QRgb colour = qRgb(RoundChannel(r), RoundChannel(g), RoundChannel(b));
        if (direction == 0)
            VLine(image, i, rect.Top, static_cast<long long>(rect.Top) + rect.Bottom, colour);
        else
            HLine(image, i, rect.Left, static_cast<long long>(rect.Left) + rect.Right, colour);
        r += dr;
        g += dg;
        b += db;
    }
}

QImage TXiProgressBar::PaintImage() const {
    const int w = width(), h = height();
    QImage image(std::max(w, 1), std::max(h, 1), QImage::Format_RGB32);
    image.fill(Qt::white);
    if (w <= 0 || h <= 0)
        return image;
    const long long done = static_cast<long long>(m_position) - m_min;
    const long long range = static_cast<long long>(m_max) - m_min;
    // Coordinates far outside the image draw the same as just past its edge
    // would: a fill top of -1 still reaches the bottom inner row, since the
    // fore gradient's lines run from the top down by the bar's height.
    const auto clampCoord = [](double v, int size) {
        return static_cast<int>(std::clamp(v, -1.0, static_cast<double>(size) + 2.0));
    };
    if (m_orientation == pbHorizontal) {
        const int fill = clampCoord(std::nearbyint(Extent(w - 2, done, range)), w);
        PaintGradient(image, TRect{1, 1, w - 1, h - 1}, m_backFace, m_backGrad, 1);
        PaintGradient(image, TRect{0, 0, fill, h}, m_foreFace, m_foreGrad, 1);
        VLine(image, 1, 1, h, ToRgb(PixelAt(image, 1, 1)));
        VLine(image, fill, 1, h, ToRgb(PixelAt(image, 2, h - 2)));
    } else {
        const int top = clampCoord(h - std::nearbyint(Extent(h - 2, done, range) + 1), h);
        PaintGradient(image, TRect{1, 1, w - 1, h}, m_backFace, m_backGrad, 0);
        PaintGradient(image, TRect{0, top, w, h}, m_foreFace, m_foreGrad, 0);
        HLine(image, h - 2, 1, w, ToRgb(PixelAt(image, 2, h - 2)));
        HLine(image, top, 1, w, ToRgb(PixelAt(image, w - 3, h - 3)));
    }
    // The border is drawn with a pen, which takes system colours; only the
    // gradients use the colour codes' bytes as they are.
    const QRgb border = ToRgb(ColorToRGB(m_colorBorder));
    HLine(image, 0, 0, w, border);
    HLine(image, h - 1, 0, w, border);
    VLine(image, 0, 0, h, border);
    VLine(image, w - 1, 0, h, border);
    return image;
}

void TXiProgressBar::paintEvent(QPaintEvent*) {
    if (!m_visible)
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, PaintImage());
}

} // namespace quorvel
