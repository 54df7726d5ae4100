#pragma once

#include "HTMLRenderer.h"

#include <string>
#include <string_view>

namespace quorvel {

class THTMLPicture;

// One call of RenderMarkup: the state that lives from the start of the call
// to its end, the line loop and the two passes over every line.
class TMarkupRenderer {
public:
    TMarkupRenderer(TCanvas& canvas, const TRect& bounds, const TMarkupOptions& options,
                    TMarkupResult& result);
    bool Render(const std::string& markup);

private:
    // Results of one pass over a line, handed from the measuring to the
    // drawing pass.
    struct TLineResult {
        int Height = 0;
        int Width = 0;
        int SubExtra = 0;
        int SupExtra = 0;
        int ImageOffset = 0;
        bool HitText = false;
        bool HitImage = false;
    };
    // The running state of one pass over one line.
    struct TPass {
        bool Measure = true; // measures (and hit-tests) instead of drawing
        bool First = true;   // the first pass of the line
        int L = 0, T = 0, R = 0, B = 0;
        int X = 0; // drawing position
        int W = 0; // line width so far
        std::string LinePlain;
        int TrailingSpace = 0;
        bool Ended = false;
        bool ListItemSeen = false;
        bool AnchorStartedHere = false;
        std::string_view Input;
        size_t Pos = 0;
        std::string* LineOut = nullptr; // the line's markup, collected by the measuring pass
        TLineResult* Line = nullptr;
        bool Draws() const { return !Measure; }
        std::string_view Rest() const { return Input.substr(Pos); }
    };
    // State that the drawing pass of a line restores to its line-start value.
    struct TLineStart {
        bool InAnchor;
        std::string Target;
        int AnchorCount;
        int ListLevel;
        int ImageCount;
        bool Shadow, Subscript, Superscript, Hidden;
    };

    TLineStart SaveLineStart() const;
    void RestoreLineStart(const TLineStart& s);
    void RenderMarkupLine(TPass& pass);
    void ProcessRun(TPass& pass, size_t length);
    void DrawRun(TPass& pass, const std::string& run);
    void ProcessTag(TPass& pass);
    void HandleOpeningTag(TPass& pass, std::string_view tag);
    void HandleClosingTag(TPass& pass, std::string_view tag);
    void AnchorStart(TPass& pass, std::string_view tag);
    void AnchorEnd(TPass& pass);
    void ListItem(TPass& pass);
    void TabPosition(TPass& pass, std::string_view tag);
    void Rotation(std::string_view tag);
    void HighlightStart();
    void DrawErrorUnderline(int left, int right, int bottom);
    void DrawFocusPart(const TPass& pass);
    void MoveToLine(TPass& pass, size_t length);

    // Tags that read attributes.
    void FontTag(TPass& pass, std::string_view tag);
    void ImageTag(TPass& pass, std::string_view tag);
    void BodyTag(TPass& pass, std::string_view tag);
    void ParagraphTag(TPass& pass, std::string_view tag);
    THTMLPicture* FindPicture(const std::string& source);
    void DrawPicture(THTMLPicture& picture, const TRect& rect);

    void SetBrush(TColor c) { m_canvas.Brush.SetColor(c); }
    int GHeight() { return m_canvas.TextHeight("gh"); }

    TCanvas& m_canvas;
    const TRect m_bounds;
    const TMarkupOptions& m_opt;
    TMarkupResult& m_result;
    unsigned m_textFlags = 0;

    TFont m_entryFont;
    TBrush m_entryBrush;
    TPen m_entryPen;

    int m_alignment = 0; // 0 left, 1 right, 2 centre
    int m_indent = 0;
    int m_listLevel = 0;
    int m_anchorCount = 0;
    int m_imageCount = 0;
    int m_hoveredImage = -1;

    bool m_inAnchor = false;
    std::string m_target;
    bool m_pointerInAnchor = false;
    TPoint m_anchorStart;

    bool m_hidden = false;
    bool m_shadow = false;
    bool m_subscript = false;
    bool m_superscript = false;
    bool m_errorUnderline = false;
    bool m_paragraphFill = false;

    TColor m_hiFontColor = clBlack;
    TColor m_hiBrushColor = clNone;
    TColor m_fontBrushColor = clNone;
    TColor m_paragraphBrushColor = clNone;
    TColor m_hoverBrushSaved = clNone;
    TColor m_hoverFontSaved = clBlack;
    int m_orientationBeforeRotation = 0;

    TRect m_focus;
    bool m_tagStays = false; // the tag just handled begins the next line
};

} // namespace quorvel
