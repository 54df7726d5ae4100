#include "TQtCanvas.h"

#include <QBrush>
#include <QFontDatabase>
#include <QHash>
#include <QImage>
#include <QPaintDevice>
#include <QPolygon>
#include <QStaticText>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace quorvel {

namespace {

// Faces of the original design mapped to metric-alike faces found on Linux.
struct TFaceSubstitute {
    const char* Name;
    const char* Faces[3];
};
constexpr TFaceSubstitute kFaceSubstitutes[] = {
    {"MS Sans Serif", {"Liberation Sans", "DejaVu Sans", nullptr}},
    {"Microsoft Sans Serif", {"Liberation Sans", "DejaVu Sans", nullptr}},
    {"Tahoma", {"DejaVu Sans", "Liberation Sans", nullptr}},
    {"Verdana", {"DejaVu Sans", "Liberation Sans", nullptr}},
    {"Arial", {"Liberation Sans", "DejaVu Sans", nullptr}},
    {"Helvetica", {"Liberation Sans", "DejaVu Sans", nullptr}},
    {"Times New Roman", {"Liberation Serif", "DejaVu Serif", nullptr}},
    {"Courier New", {"Liberation Mono", "DejaVu Sans Mono", nullptr}},
    {"Symbol", {"DejaVu Sans", "Liberation Sans", nullptr}},
};

bool IsSymbolFace(const std::string& name) {
    return strcasecmp(name.c_str(), "Symbol") == 0;
}

int PointsToPixels(int points) {
    return (std::abs(points) * 96 + 36) / 72;
}

QRect ToQRect(const TRect& r) {
    return QRect(r.Left, r.Top, r.Width(), r.Height());
}

} // namespace

TQtCanvas::TQtCanvas(QPaintDevice* device)
    : m_ownPainter(std::make_unique<QPainter>(device)), m_painter(m_ownPainter.get()) {}

TQtCanvas::TQtCanvas(QPainter* painter) : m_painter(painter) {
    m_painter->save();
    if (m_painter->hasClipping())
        m_baseClip = m_painter->clipRegion();
}

TQtCanvas::~TQtCanvas() {
    if (!m_ownPainter)
        m_painter->restore();
}

QString TQtCanvas::SubstituteFace(const std::string& name) {
    static const QStringList families = QFontDatabase::families();
    const QString requested = QString::fromStdString(name);
    for (const auto& sub : kFaceSubstitutes) {
        if (strcasecmp(sub.Name, name.c_str()) != 0)
            continue;
        for (const char* face : sub.Faces)
            if (face && families.contains(QString::fromLatin1(face), Qt::CaseInsensitive))
                return QString::fromLatin1(face);
    }
    if (requested.isEmpty())
        return QStringLiteral("DejaVu Sans");
    return requested;
}

QFont TQtCanvas::ToQFont(const TFont& font) {
    QFont f(SubstituteFace(font.Name));
    f.setPixelSize(std::max(1, PointsToPixels(std::min(font.Size, 2000))));
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    f.setUnderline(font.Underline);
    f.setStrikeOut(font.StrikeOut);
    f.setStyleStrategy(QFont::NoAntialias);
    // Whole-pixel advances, so the width of a text is the sum of its parts.
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

QColor TQtCanvas::ToQColor(TColor color) {
    const TColor rgb = ColorToRGB(color);
    return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}

struct TQtCanvas::TFontEntry {
    TFont Key;
    QFont Font;
    QFontMetrics Metrics;
    // Widths of texts measured in this font: a caption measures each of its
    // words several times per paint.
    mutable QHash<QString, int> Widths;
    // Laid-out texts, so that repainting a caption does not shape its words again.
    mutable QHash<QString, QStaticText> Shaped;
};

namespace {

bool SameFace(const TFont& a, const TFont& b) {
    return a.Size == b.Size && a.Bold == b.Bold && a.Italic == b.Italic && a.Underline == b.Underline &&
           a.StrikeOut == b.StrikeOut && a.Name == b.Name;
}

} // namespace

// Fonts are resolved through a small cache shared by all canvases of the
// painting thread: captions switch between a handful of fonts all the time.
const TQtCanvas::TFontEntry& TQtCanvas::Entry() {
    if (m_entry && SameFace(m_entry->Key, Font))
        return *m_entry;
    thread_local std::vector<std::shared_ptr<const TFontEntry>> cache;
    for (const auto& e : cache) {
        if (SameFace(e->Key, Font)) {
            m_entry = e;
            return *m_entry;
        }
    }
    if (cache.size() >= 32)
        cache.erase(cache.begin());
    const QFont font = ToQFont(Font);
    cache.push_back(std::make_shared<const TFontEntry>(TFontEntry{Font, font, QFontMetrics(font), {}, {}}));
    m_entry = cache.back();
    return *m_entry;
}

// The "Symbol" face's bullet (0xB7) is the middle dot in Unicode; show the
// real bullet instead.
QString TQtCanvas::PrepareText(const std::string& text) const {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (IsSymbolFace(Font.Name))
        s.replace(QChar(0x00B7), QChar(0x2022));
    return s;
}

namespace {
int QtTextFlags(unsigned flags) {
    int q = Qt::TextSingleLine | Qt::AlignLeft | Qt::AlignTop;
    if (flags & dtExpandTabs)
        q |= Qt::TextExpandTabs;
    if (!(flags & dtNoPrefix))
        q |= Qt::TextShowMnemonic;
    return q;
}
} // namespace

int TQtCanvas::TextHeight(const std::string&) {
    return Entry().Metrics.height();
}

// Plain text is measured by its advance; mnemonics and tabs need the full
// text layout.
int TQtCanvas::Advance(const QString& text, int qflags) {
    if (text.isEmpty())
        return 0;
    const QFontMetrics& fm = Entry().Metrics;
    const bool layout = ((qflags & Qt::TextShowMnemonic) && text.contains(QLatin1Char('&'))) ||
                        ((qflags & Qt::TextExpandTabs) && text.contains(QLatin1Char('\t')));
    if (layout)
        return fm.size(qflags, text).width();
    const TFontEntry& entry = Entry();
    const auto known = entry.Widths.constFind(text);
    if (known != entry.Widths.constEnd())
        return *known;
    if (entry.Widths.size() >= 1024)
        entry.Widths.clear();
    const int width = fm.horizontalAdvance(text);
    entry.Widths.insert(text, width);
    return width;
}

int TQtCanvas::TextWidth(const std::string& text) {
    return Advance(PrepareText(text), QtTextFlags(dtExpandTabs));
}

const QStaticText& TQtCanvas::Shaped(const QString& text) {
    const TFontEntry& entry = Entry();
    auto known = entry.Shaped.find(text);
    if (known != entry.Shaped.end())
        return *known;
    if (entry.Shaped.size() >= 256)
        entry.Shaped.clear();
    QStaticText shaped(text);
    shaped.setTextFormat(Qt::PlainText);
    shaped.setPerformanceHint(QStaticText::AggressiveCaching);
    shaped.prepare(QTransform(), entry.Font);
    return *entry.Shaped.insert(text, shaped);
}

void TQtCanvas::ApplyTextStyle() {
    const TFontEntry& entry = Entry();
    if (m_appliedFont != &entry) {
        m_painter->setFont(entry.Font);
        m_appliedFont = &entry;
    }
    if (m_appliedColor != Font.Color) {
        m_painter->setPen(ToQColor(Font.Color));
        m_appliedColor = Font.Color;
    }
}

int TQtCanvas::DrawText(const std::string& text, TRect& rect, unsigned flags) {
    const QFontMetrics& fm = Entry().Metrics;
    const int qflags = QtTextFlags(flags);
    QString s = PrepareText(text);
    const int cell = fm.height();
    const int height = cell + ((flags & dtExternalLeading) ? std::max(0, fm.leading()) : 0);
    int width = Advance(s, qflags);
    if ((flags & dtEndEllipsis) && width > rect.Width()) {
        s = fm.elidedText(s, Qt::ElideRight, std::max(0, rect.Width()), qflags);
        width = Advance(s, qflags);
    }
    if (flags & dtCalcRect) {
        rect.Right = rect.Left + width;
        rect.Bottom = rect.Top + height;
        return height;
    }
    if (s.isEmpty())
        return height;
    const int x = rect.Left;
    const int y = (flags & dtBottom) ? rect.Bottom - cell : rect.Top;
    const bool rotated = Font.Orientation != 0;
    const bool inside = x >= rect.Left && x + width <= rect.Right && y >= rect.Top && y + cell <= rect.Bottom;
    const bool layout = ((qflags & Qt::TextShowMnemonic) && s.contains(QLatin1Char('&'))) ||
                        ((qflags & Qt::TextExpandTabs) && s.contains(QLatin1Char('\t')));
    // Only text that overflows its rectangle (or is rotated) needs a saved
    // painter state for its clip or transformation.
    const bool saved = rotated || !inside;
    if (saved) {
        m_painter->save();
        if (rotated) {
            m_painter->translate(x, y);
            m_painter->rotate(-Font.Orientation / 10.0);
        } else {
            m_painter->setClipRect(ToQRect(rect),
                                   m_painter->hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
        }
    }
    const int ox = rotated ? 0 : x, oy = rotated ? 0 : y;
    if (Brush.Style == bsSolid)
        m_painter->fillRect(QRect(ox, oy, width, cell), ToQColor(Brush.Color));
    ApplyTextStyle();
    if (layout)
        m_painter->drawText(QRect(ox, oy, width + cell, cell), qflags, s);
    else if (Font.Underline || Font.StrikeOut)
        m_painter->drawText(QPoint(ox, oy + fm.ascent()), s);
    else
        m_painter->drawStaticText(QPoint(ox, oy), Shaped(s));
    if (saved) {
        m_painter->restore();
        m_appliedFont = nullptr;
        m_appliedColor = kNoColorApplied;
    }
    return height;
}

void TQtCanvas::TextOut(int x, int y, const std::string& text) {
    TRect r{x, y, x + TextWidth(text) + 1, y + TextHeight(text)};
    DrawText(text, r, dtTop | dtSingleLine | dtNoPrefix);
}

void TQtCanvas::FillRect(const TRect& rect) {
    if (Brush.Style == bsSolid && rect.Width() > 0 && rect.Height() > 0)
        m_painter->fillRect(ToQRect(rect), ToQColor(Brush.Color));
}

void TQtCanvas::Rectangle(const TRect& rect) {
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    FillRect(rect);
    m_painter->save();
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setBrush(Qt::NoBrush);
    QPen pen(ToQColor(Pen.Color));
    pen.setWidth(std::max(1, Pen.Width));
    m_painter->setPen(pen);
    m_painter->drawRect(QRect(rect.Left, rect.Top, rect.Width() - 1, rect.Height() - 1));
    m_painter->restore();
}

void TQtCanvas::MoveTo(int x, int y) {
    m_penPos = {x, y};
}

// Paints the pixels of the line from (x0, y0) towards (x1, y1), leaving the
// end point unpainted.
void TQtCanvas::PaintLinePixels(int x0, int y0, int x1, int y1) {
    QPolygon points;
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (!(x0 == x1 && y0 == y1)) {
        points << QPoint(x0, y0);
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    m_painter->drawPoints(points);
}

void TQtCanvas::LineTo(int x, int y) {
    m_painter->save();
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    QPen pen(ToQColor(Pen.Color));
    pen.setWidth(std::max(1, Pen.Width));
    m_painter->setPen(pen);
    const TPoint from = m_penPos;
    if (Pen.Width > 1) {
        m_painter->drawLine(from.X, from.Y, x, y);
    } else if (from.Y == y && from.X != x) {
        m_painter->drawLine(from.X, y, x + (x > from.X ? -1 : 1), y);
    } else if (from.X == x && from.Y != y) {
        m_painter->drawLine(x, from.Y, x, y + (y > from.Y ? -1 : 1));
    } else if (std::abs(x - from.X) < 100000 && std::abs(y - from.Y) < 100000) {
        PaintLinePixels(from.X, from.Y, x, y);
    }
    m_painter->restore();
    m_penPos = {x, y};
}

// Every other pixel of the outline, inverted, like the platform's focus
// rectangle, so drawing it twice removes it.
void TQtCanvas::DrawFocusRect(const TRect& rect) {
    if (rect.Width() <= 0 || rect.Height() <= 0)
        return;
    QPolygon points;
    const int w = std::min(rect.Width(), 1 << 14), h = std::min(rect.Height(), 1 << 14);
    for (int i = 0; i < w; i += 2) {
        points << QPoint(rect.Left + i, rect.Top);
        if (h > 1)
            points << QPoint(rect.Left + i, rect.Top + h - 1);
    }
    for (int j = 2; j < h - 1; j += 2) {
        points << QPoint(rect.Left, rect.Top + j);
        if (w > 1)
            points << QPoint(rect.Left + w - 1, rect.Top + j);
    }
    m_painter->save();
    m_painter->setRenderHint(QPainter::Antialiasing, false);
    m_painter->setCompositionMode(QPainter::RasterOp_NotDestination);
    m_painter->setPen(QPen(Qt::black, 1));
    m_painter->drawPoints(points);
    m_painter->restore();
}

// A clip set through the canvas narrows the clip the painter came with;
// clearing it goes back to that clip, never past it.
void TQtCanvas::SetClipRect(const TRect& rect) {
    ClearClipRect();
    m_painter->setClipRect(ToQRect(rect), m_baseClip ? Qt::IntersectClip : Qt::ReplaceClip);
}

void TQtCanvas::ClearClipRect() {
    if (m_baseClip)
        m_painter->setClipRegion(*m_baseClip);
    else
        m_painter->setClipping(false);
}

void TQtCanvas::DrawImage(int x, int y, const QImage& image) {
    if (!image.isNull())
        m_painter->drawImage(QPoint(x, y), image);
}

void TQtCanvas::StretchDrawImage(const TRect& dest, const QImage& image) {
    if (!image.isNull() && dest.Width() > 0 && dest.Height() > 0)
        m_painter->drawImage(ToQRect(dest), image);
}

void TQtCanvas::TileImage(const TRect& area, const QImage& image) {
    if (image.isNull() || area.Width() <= 0 || area.Height() <= 0)
        return;
    QBrush brush(image);
    brush.setTransform(QTransform::fromTranslate(area.Left, area.Top));
    m_painter->fillRect(ToQRect(area), brush);
}

int TQtCanvas::PixelsPerInchX() const {
    return m_painter->device() ? m_painter->device()->logicalDpiX() : 96;
}

int TQtCanvas::PixelsPerInchY() const {
    return m_painter->device() ? m_painter->device()->logicalDpiY() : 96;
}

} // namespace quorvel
