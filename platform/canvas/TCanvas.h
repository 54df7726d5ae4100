#pragma once

#include "QuorvelExport.h"

#include "Graphics.h"

#include <string>

class QImage;

namespace quorvel {

// The current font of a canvas. Size is in points; text is UTF-8.
// Orientation is the rotation in tenths of a degree, counter-clockwise.
struct QUORVEL_EXPORT TFont {
    std::string Name = "MS Sans Serif";
    int Size = 8;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    TColor Color = SystemColor(COLOR_WINDOWTEXT);
    int Orientation = 0;

    friend bool operator==(const TFont&, const TFont&) = default;
};

enum TBrushStyle { bsSolid, bsClear };

// Fill used by rectangles and behind text. Setting the colour clNone makes
// the brush clear, any other colour makes it solid.
struct QUORVEL_EXPORT TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;

    void SetColor(TColor color) {
        Color = color;
        Style = color == clNone ? bsClear : bsSolid;
    }
    // The brush colour, or clNone when the brush is clear.
    TColor Effective() const { return Style == bsClear ? clNone : Color; }
};

struct QUORVEL_EXPORT TPen {
    TColor Color = clBlack;
    int Width = 1;
};

// Flags of DrawText. Text is always one line; a single "&" underlines the
// next character and "&&" stands for one ampersand unless dtNoPrefix is set.
enum TDrawTextFlags : unsigned {
    dtTop = 0x0,
    dtBottom = 0x8,
    dtSingleLine = 0x20,
    dtExpandTabs = 0x40,
    dtExternalLeading = 0x200,
    dtCalcRect = 0x400,
    dtNoPrefix = 0x800,
    dtEndEllipsis = 0x8000,
};

// An abstract drawing surface with a current font, brush and pen, in device
// pixels. Drawing code talks only to this interface so it can run headless.
class QUORVEL_EXPORT TCanvas {
public:
    virtual ~TCanvas() = default;

    TFont Font;
    TBrush Brush;
    TPen Pen;

    // Text measurement in the current font (mnemonic "&" is not counted).
    virtual int TextHeight(const std::string& text) = 0;
    virtual int TextWidth(const std::string& text) = 0;

    // Draws one line of text inside rect with the given flags. With dtCalcRect
    // nothing is drawn and rect.Right/rect.Bottom are set to the text's extent
    // (from rect.Left/rect.Top). Returns the text height. A solid brush fills
    // the text's cell behind it; a clear brush leaves the background.
    virtual int DrawText(const std::string& text, TRect& rect, unsigned flags) = 0;
    // Draws text with its top-left corner at (x, y).
    virtual void TextOut(int x, int y, const std::string& text) = 0;

    // Fills rect with the brush (nothing when the brush is clear).
    virtual void FillRect(const TRect& rect) = 0;
    // Outlines rect with the pen and fills its inside with the brush.
    virtual void Rectangle(const TRect& rect) = 0;
    // Lines from the current position; the end point itself is not painted.
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    // A dotted focus rectangle.
    virtual void DrawFocusRect(const TRect& rect) = 0;

    // Clipping: everything drawn afterwards is limited to rect until
    // ClearClipRect.
    virtual void SetClipRect(const TRect& rect) = 0;
    virtual void ClearClipRect() = 0;

    // Pictures: unscaled at (x, y), or scaled into dest; both clipped to the
    // current clip.
    virtual void DrawImage(int x, int y, const QImage& image) = 0;
    virtual void StretchDrawImage(const TRect& dest, const QImage& image) = 0;
    // Fills area with copies of image laid edge to edge from area's top-left
    // corner, in one operation; clipped to area and the current clip.
    virtual void TileImage(const TRect& area, const QImage& image) = 0;

    virtual int PixelsPerInchX() const = 0;
    virtual int PixelsPerInchY() const = 0;
};

} // namespace quorvel
