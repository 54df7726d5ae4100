#pragma once

#include "TCanvas.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QRegion>
#include <memory>
#include <optional>

class QPaintDevice;
class QStaticText;

namespace quorvel {

// The canvas over QPainter. Font sizes are points at 96 pixels per inch, so
// text has the same pixel size on every device; faces the machine lacks are
// replaced through a fixed substitution table.
class TQtCanvas : public TCanvas {
public:
    // Paints on device (a QImage, a widget during its paint event, ...).
    explicit TQtCanvas(QPaintDevice* device);
    // Paints through a painter someone else has begun; its state is saved and
    // restored around this canvas's lifetime.
    explicit TQtCanvas(QPainter* painter);
    ~TQtCanvas() override;

    TQtCanvas(const TQtCanvas&) = delete;
    TQtCanvas& operator=(const TQtCanvas&) = delete;

    int TextHeight(const std::string& text) override;
    int TextWidth(const std::string& text) override;
    int DrawText(const std::string& text, TRect& rect, unsigned flags) override;
    void TextOut(int x, int y, const std::string& text) override;

    void FillRect(const TRect& rect) override;
    void Rectangle(const TRect& rect) override;
    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void DrawFocusRect(const TRect& rect) override;

    void SetClipRect(const TRect& rect) override;
    void ClearClipRect() override;

    void DrawImage(int x, int y, const QImage& image) override;
    void StretchDrawImage(const TRect& dest, const QImage& image) override;
    void TileImage(const TRect& area, const QImage& image) override;

    int PixelsPerInchX() const override;
    int PixelsPerInchY() const override;

    QPainter& Painter() { return *m_painter; }

    // The face actually used for a requested face name.
    static QString SubstituteFace(const std::string& name);
    // The Qt font for a canvas font (sizes in points at 96 dpi).
    static QFont ToQFont(const TFont& font);
    static QColor ToQColor(TColor color);

private:
    struct TFontEntry;
    const TFontEntry& Entry();
    QString PrepareText(const std::string& text) const;
    int Advance(const QString& text, int qflags);
    void ApplyTextStyle();
    const QStaticText& Shaped(const QString& text);
    void PaintLinePixels(int x0, int y0, int x1, int y1);

    std::unique_ptr<QPainter> m_ownPainter;
    QPainter* m_painter = nullptr;
    TPoint m_penPos;
    std::optional<QRegion> m_baseClip; // the clip of a painter handed in
    // The Qt font of the current Font, looked up again only when a property
    // other than colour or rotation changes.
    std::shared_ptr<const TFontEntry> m_entry;
    // What the painter was last given for text, so unchanged state is not set again.
    const TFontEntry* m_appliedFont = nullptr;
    static constexpr TColor kNoColorApplied = 0xFFFFFFFFu;
    TColor m_appliedColor = kNoColorApplied;
};

} // namespace quorvel
