#include "TMarkupRenderer.h"

#include "MarkupText.h"

#include <algorithm>
#include <climits>

using namespace MarkupText;

namespace {

// Coordinates and sizes are kept far inside the int range so that no sum of
// them can overflow, whatever the markup asks for.
constexpr long long kCoordLimit = 1 << 28;

int Sat(long long v) {
    return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit));
}

char UpperAt(std::string_view s, size_t i) {
    if (i >= s.size())
        return '\0';
    const char c = s[i];
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

} // namespace

bool RenderMarkup(TCanvas& canvas, const std::string& markup, const TRect& bounds,
                  const TMarkupOptions& options, TMarkupResult& result) {
    TMarkupRenderer renderer(canvas, bounds, options, result);
    return renderer.Render(markup);
}

TMarkupRenderer::TMarkupRenderer(TCanvas& canvas, const TRect& bounds, const TMarkupOptions& options,
                                 TMarkupResult& result)
    : m_canvas(canvas), m_bounds(bounds), m_opt(options), m_result(result) {}

TMarkupRenderer::TLineStart TMarkupRenderer::SaveLineStart() const {
    return {m_inAnchor, m_target,    m_anchorCount, m_listLevel, m_imageCount,
            m_shadow,   m_subscript, m_superscript, m_hidden};
}

void TMarkupRenderer::RestoreLineStart(const TLineStart& s) {
    m_inAnchor = s.InAnchor;
    m_target = s.Target;
    m_anchorCount = s.AnchorCount;
    m_listLevel = s.ListLevel;
    m_imageCount = s.ImageCount;
    m_shadow = s.Shadow;
    m_subscript = s.Subscript;
    m_superscript = s.Superscript;
    m_hidden = s.Hidden;
}

bool TMarkupRenderer::Render(const std::string& markup) {
    m_entryFont = m_canvas.Font;
    m_entryBrush = m_canvas.Brush;
    m_entryPen = m_canvas.Pen;
    m_hiFontColor = m_hoverFontSaved = m_entryFont.Color;
    SetBrush(clNone);
    m_result = TMarkupResult{};
    m_textFlags = dtBottom | dtSingleLine | dtExpandTabs | dtExternalLeading;
    if (!m_opt.WordWrap)
        m_textFlags |= dtEndEllipsis;

    const std::string text = PrepareMarkup(markup);
    TFont measureFont = m_entryFont;
    TFont drawFont = m_entryFont;
    long long top = m_bounds.Top;
    long long total = 0;
    bool hit = false;
    size_t pos = 0;
    while (pos < text.size()) {
        m_canvas.Font = measureFont;
        const TLineStart start = SaveLineStart();
        const int g = GHeight();
        TLineResult line;
        line.Height = g;
        std::string lineMarkup;

        TPass measure;
        measure.Measure = true;
        measure.First = true;
        measure.L = m_bounds.Left + 1;
        measure.T = Sat(top);
        measure.R = m_bounds.Right;
        measure.B = m_bounds.Bottom;
        measure.Input = text;
        measure.Pos = pos;
        measure.LineOut = &lineMarkup;
        measure.Line = &line;
        RenderMarkupLine(measure);
        // Every line consumes something; this only guards against a stall.
        pos = measure.Pos > pos ? measure.Pos : pos + 1;
        measureFont = m_canvas.Font;
        line.Height = Sat(static_cast<long long>(line.Height) + m_opt.LineSpacing);

        TRect draw{m_bounds.Left + 1, Sat(top), m_bounds.Right, m_bounds.Bottom};
        if (m_alignment == 1) {
            if (m_bounds.Right - line.Width > draw.Left)
                draw.Left = m_bounds.Right - line.Width;
        } else if (m_alignment == 2) {
            const int d = m_bounds.Right - draw.Left - line.Width;
            if (d > 0)
                draw.Left += d / 2;
        }
        draw.Left = Sat(static_cast<long long>(draw.Left) + m_indent);
        draw.Bottom = Sat(top + line.Height + line.SubExtra + line.SupExtra);

        if (!m_opt.MeasureOnly) {
            m_canvas.Font = drawFont;
            RestoreLineStart(start);
            TPass second;
            second.Measure = m_opt.HitTestOnly;
            second.First = false;
            second.L = draw.Left;
            second.T = draw.Top;
            second.R = draw.Right;
            second.B = draw.Bottom;
            second.Input = lineMarkup;
            second.Line = &line;
            RenderMarkupLine(second);
            drawFont = m_canvas.Font;
            const int bottom = draw.Bottom - line.ImageOffset;
            if ((line.HitText && m_opt.PointerY > bottom - g && m_opt.PointerY < bottom) || line.HitImage)
                hit = true;
        }
        const long long advance = static_cast<long long>(line.Height) + line.SubExtra + line.SupExtra;
        top = std::min(top + advance, kCoordLimit);
        total = std::min(total + advance, kCoordLimit);
        if (!m_opt.MeasureOnly && g + top > m_bounds.Bottom)
            break;
    }
    m_canvas.Font = m_entryFont;
    m_result.TotalHeight = total == 0 ? GHeight() : static_cast<int>(total);
    m_result.LinkCount = m_anchorCount;
    m_canvas.Brush = m_entryBrush;
    m_canvas.Pen = m_entryPen;
    return hit;
}

void TMarkupRenderer::MoveToLine(TPass& pass, size_t length) {
    if (pass.LineOut)
        pass.LineOut->append(pass.Input.substr(pass.Pos, length));
    pass.Pos += length;
}

void TMarkupRenderer::RenderMarkupLine(TPass& pass) {
    TLineResult& line = *pass.Line;
    pass.B -= line.SubExtra;
    pass.X = pass.L;
    pass.W = 0;
    if (m_paragraphFill && pass.Draws()) {
        const TColor pen = m_canvas.Pen.Color;
        m_canvas.Pen.Color = m_canvas.Brush.Color;
        m_canvas.FillRect(
            TRect{m_bounds.Left, pass.T, m_bounds.Right, Sat(static_cast<long long>(pass.T) + line.Height)});
        m_canvas.Pen.Color = pen;
    }
    while (!pass.Ended && pass.Pos < pass.Input.size()) {
        const std::string_view rest = pass.Rest();
        const size_t stop = m_opt.WordWrap ? rest.find_first_of(" <") : rest.find('<');
        size_t runLength = rest.size();
        if (stop != std::string_view::npos)
            runLength = rest[stop] == ' ' ? stop + 1 : stop;
        if (runLength > 0)
            ProcessRun(pass, runLength);
        if (pass.Ended)
            break;
        const std::string_view after = pass.Rest();
        if (after.empty() || after[0] != '<')
            continue;
        if (after.size() <= 2)
            pass.Pos = pass.Input.size();
        else
            ProcessTag(pass);
    }
    pass.W -= pass.TrailingSpace;
    line.Width = pass.W;
    m_result.MaxLineWidth = std::max(m_result.MaxLineWidth, pass.W);
    if (pass.Draws() && m_inAnchor && m_anchorCount == m_opt.FocusLink + 1)
        DrawFocusPart(pass);
}

void TMarkupRenderer::ProcessRun(TPass& pass, size_t length) {
    TLineResult& line = *pass.Line;
    const std::string run = ReplaceRunEntities(pass.Rest().substr(0, length));
    const int h = m_canvas.TextHeight(run);
    if (m_subscript && line.SubExtra < h / 4)
        line.SubExtra = h / 4;
    if (m_superscript && line.SupExtra < h / 4)
        line.SupExtra = h / 4;
    line.Height = std::max(line.Height, h);
    if (pass.First)
        m_result.PlainText += run;
    if (m_hidden) {
        pass.Pos += length;
        return;
    }
    int w = 0;
    bool cut = false;
    if (pass.Measure) {
        // The run's whole width decides whether it overflows; without word
        // wrap an overflowing run counts with the width it is cut to.
        TRect r{pass.L, pass.T, pass.R, pass.B};
        m_canvas.DrawText(run, r, (m_textFlags & ~static_cast<unsigned>(dtEndEllipsis)) | dtCalcRect);
        w = r.Right - pass.L;
        const long long left = static_cast<long long>(pass.R) - pass.L - pass.W;
        if (!m_opt.WordWrap && w > left) {
            TRect e{pass.L, pass.T, Sat(pass.L + std::max(0LL, left)), pass.B};
            m_canvas.DrawText(run, e, m_textFlags | dtCalcRect);
            w = std::min<long long>(e.Right - pass.L, std::max(0LL, left));
            cut = true;
        }
        pass.W = Sat(static_cast<long long>(pass.W) + w);
        const long long px = static_cast<long long>(m_opt.PointerX) - pass.L;
        if (m_inAnchor && px >= pass.W - w && px <= pass.W) {
            line.HitText = true;
            if (m_opt.PointerY > pass.T) {
                m_result.HitAnchor = m_target;
                m_pointerInAnchor = true;
            }
        }
    } else {
        DrawRun(pass, run);
    }
    bool fits = true;
    if (pass.Measure) {
        const int room = pass.R - pass.L;
        // A word wider than the whole line gets a line of its own: it fits
        // only as the first thing on the line.
        fits = pass.W < room || (w >= room && pass.LinePlain.empty()) ||
               (!pass.LinePlain.empty() && pass.LinePlain.back() != ' ');
    }
    pass.LinePlain += run;
    if (fits || !m_opt.WordWrap) {
        MoveToLine(pass, length);
        // Without word wrap the overflowing run is the last thing drawn and
        // is cut by the ellipsis; nothing after it shows.
        if (!fits || cut)
            pass.Pos = pass.Input.size();
        pass.TrailingSpace =
            (!cut && run.size() == length && run.back() == ' ') ? m_canvas.TextWidth(" ") : 0;
    } else {
        pass.W -= w;
        pass.Ended = true;
    }
}

void TMarkupRenderer::DrawRun(TPass& pass, const std::string& run) {
    const TLineResult& line = *pass.Line;
    TRect r{pass.X, pass.T, pass.R, pass.B};
    if (m_superscript)
        r.Bottom -= line.SupExtra;
    if (m_subscript)
        r.Bottom += line.SubExtra;
    r.Bottom -= line.ImageOffset;
    const unsigned flags = m_textFlags & ~static_cast<unsigned>(dtExternalLeading);
    if (!m_opt.HitTestOnly) {
        if (m_shadow) {
            const TColor color = m_canvas.Font.Color;
            m_canvas.Font.Color = m_opt.ShadowColor;
            const int d = m_opt.ShadowOffset;
            TRect s{r.Left + d, r.Top + d, r.Right + d, r.Bottom + d};
            m_canvas.DrawText(run, s, flags);
            m_canvas.Font.Color = color;
        }
        TRect drawn = r;
        m_canvas.DrawText(run, drawn, flags);
    }
    TRect extent = r;
    m_canvas.DrawText(run, extent, flags | dtCalcRect);
    if (m_inAnchor && m_anchorCount == m_opt.FocusLink + 1)
        m_result.FocusAnchor = m_target;
    if (m_errorUnderline)
        DrawErrorUnderline(pass.X, extent.Right, pass.B);
    pass.X = extent.Right;
}

// A red zigzag between one pixel above and one below the text bottom, in
// steps of two pixels; only the part near the bounds is drawn.
void TMarkupRenderer::DrawErrorUnderline(int left, int right, int bottom) {
    const TPen pen = m_canvas.Pen;
    m_canvas.Pen.Color = 0x0000FF;
    m_canvas.Pen.Width = 1;
    int x = (left / 2) * 2;
    int phase = (x % 4 == 0) ? 2 : 0;
    const int firstUseful = m_bounds.Left - 4;
    if (x < firstUseful)
        x += ((firstUseful - x) / 4) * 4; // whole periods keep the phase
    const int end = std::min(right, m_bounds.Right + 4);
    m_canvas.MoveTo(x, bottom + phase - 1);
    while (x < end) {
        phase = 2 - phase;
        m_canvas.LineTo(x + 2, bottom + phase - 1);
        x += 2;
    }
    m_canvas.Pen = pen;
}

void TMarkupRenderer::DrawFocusPart(const TPass& pass) {
    m_canvas.DrawFocusRect(TRect{m_focus.Left - 1, m_focus.Top, pass.X + 1, pass.B});
    m_focus.Left = pass.L + 1;
    m_focus.Top = pass.B;
}

void TMarkupRenderer::ProcessTag(TPass& pass) {
    const std::string_view rest = pass.Rest();
    const size_t close = rest.find('>');
    const std::string_view tag = close == std::string_view::npos ? rest : rest.substr(0, close + 1);
    m_tagStays = false;
    if (rest.size() >= 4 && rest[1] == '/')
        HandleClosingTag(pass, tag);
    else
        HandleOpeningTag(pass, tag);
    if (m_tagStays)
        return; // the line ends before the tag; the next line begins with it
    if (close == std::string_view::npos)
        pass.Pos = pass.Input.size();
    else
        MoveToLine(pass, close + 1);
}

void TMarkupRenderer::HandleOpeningTag(TPass& pass, std::string_view tag) {
    TFont& font = m_canvas.Font;
    const char second = UpperAt(tag, 2);
    switch (UpperAt(tag, 1)) {
    case 'A':
        AnchorStart(pass, tag);
        break;
    case 'B':
        if (second == '>')
            font.Bold = true;
        else if (second == 'L') {
            if (!m_opt.BlinkVisible)
                font.Color = m_entryBrush.Color;
        } else if (second == 'O')
            BodyTag(pass, tag);
        else if (second == 'R') {
            pass.Ended = true;
            if (pass.First)
                m_result.PlainText += '\r';
        }
        break;
    case 'E':
        if (pass.Draws())
            m_errorUnderline = true;
        break;
    case 'F':
        FontTag(pass, tag);
        break;
    case 'H':
        if (second == 'I') {
            if (pass.Draws())
                HighlightStart();
        } else if (second == 'R') {
            pass.Ended = true;
            if (pass.Draws()) {
                const TColor pen = m_canvas.Pen.Color;
                m_canvas.Pen.Color = clBlack;
                m_canvas.MoveTo(pass.L, pass.B + 1);
                m_canvas.LineTo(pass.R, pass.B + 1);
                m_canvas.Pen.Color = pen;
            }
        }
        break;
    case 'I':
        if (second == '>')
            font.Italic = true;
        else if (second == 'N')
            TabPosition(pass, tag);
        else if (second == 'M')
            ImageTag(pass, tag);
        break;
    case 'L':
        ListItem(pass);
        break;
    case 'P':
        ParagraphTag(pass, tag);
        break;
    case 'R':
        Rotation(tag);
        break;
    case 'S':
        if (PosNoCase("<SUB>", tag) == 1)
            m_subscript = true;
        else if (PosNoCase("<SUP>", tag) == 1)
            m_superscript = true;
        else if (second == '>')
            font.StrikeOut = true;
        else if (second == 'H')
            m_shadow = true;
        break;
    case 'U':
        if (second == '>')
            font.Underline = true;
        else {
            m_listLevel = std::min(m_listLevel + 1, 1 << 16);
            pass.Ended = true;
        }
        break;
    case 'Z':
        m_hidden = true;
        break;
    default:
        break;
    }
}

void TMarkupRenderer::HandleClosingTag(TPass& pass, std::string_view tag) {
    TFont& font = m_canvas.Font;
    const char second = UpperAt(tag, 3);
    switch (UpperAt(tag, 2)) {
    case 'A':
        AnchorEnd(pass);
        break;
    case 'B':
        if (second == '>')
            font.Bold = false;
        else
            font.Color = m_entryFont.Color;
        break;
    case 'E':
        if (pass.Draws())
            m_errorUnderline = false;
        break;
    case 'F':
        font.Name = m_entryFont.Name;
        font.Size = m_entryFont.Size;
        if (!m_opt.Selected && pass.Draws()) {
            font.Color = m_entryFont.Color;
            SetBrush(m_fontBrushColor);
        }
        break;
    case 'H':
        if (pass.Draws()) {
            font.Color = m_hiFontColor;
            SetBrush(m_hiBrushColor);
        }
        break;
    case 'I':
        font.Italic = false;
        break;
    case 'L':
        pass.Ended = true;
        break;
    case 'P':
        pass.Ended = true;
        if (pass.Draws()) {
            SetBrush(m_paragraphBrushColor);
            m_paragraphFill = false;
        }
        break;
    case 'R':
        font.Orientation = m_orientationBeforeRotation;
        break;
    case 'S':
        if (second == 'U')
            m_subscript = m_superscript = false;
        else if (second == 'H')
            m_shadow = false;
        else
            font.StrikeOut = false;
        break;
    case 'U':
        if (second == '>')
            font.Underline = false;
        else if (m_listLevel > 0)
            --m_listLevel;
        else
            font.Underline = false;
        break;
    case 'Z':
        m_hidden = false;
        break;
    default:
        break;
    }
}

void TMarkupRenderer::AnchorStart(TPass& pass, std::string_view tag) {
    if (m_anchorCount == m_opt.FocusLink && pass.Draws()) {
        m_focus.Left = pass.X;
        m_focus.Top = pass.T;
    }
    ++m_anchorCount;
    const int number = m_anchorCount;
    const bool styled = !m_opt.StyleHoveredLinkOnly || m_opt.HoverLink == number;
    bool hoverFont = false;
    if (pass.Draws() && styled) {
        m_canvas.Font.Underline = true;
        if (m_opt.HoverBrushColor != clNone) {
            m_hoverBrushSaved = m_canvas.Brush.Effective();
            SetBrush(m_opt.HoverBrushColor);
        }
        if (m_opt.HoverFontColor != clNone) {
            m_hoverFontSaved = m_canvas.Font.Color;
            m_canvas.Font.Color = m_opt.HoverFontColor;
            hoverFont = true;
        }
    }
    // A hover font colour just applied wins over the link colour.
    if (!m_opt.Selected && !hoverFont && !(m_opt.HoverFontColor != clNone && styled))
        m_canvas.Font.Color = m_opt.LinkColor;
    m_target = QuotedValueFrom(tag, 0);
    m_inAnchor = true;
    m_anchorStart = {Sat(static_cast<long long>(pass.L) + pass.W), pass.T};
    pass.AnchorStartedHere = true;
}

void TMarkupRenderer::AnchorEnd(TPass& pass) {
    const int number = m_anchorCount;
    if (pass.Draws() && !(m_opt.StyleHoveredLinkOnly && m_opt.HoverLink != number)) {
        m_canvas.Font.Underline = false;
        if (m_opt.HoverBrushColor != clNone)
            SetBrush(m_hoverBrushSaved);
        if (m_opt.HoverFontColor != clNone)
            m_canvas.Font.Color = m_hoverFontSaved;
    }
    if (!m_opt.Selected)
        m_canvas.Font.Color = m_entryFont.Color;
    m_inAnchor = false;
    const int right = Sat(static_cast<long long>(pass.L) + pass.W);
    if (m_pointerInAnchor) {
        // While measuring, the line's bottom is not known yet; the line so far
        // gives the anchor's bottom rather than the bottom of the whole area.
        const int bottom = pass.Measure ? Sat(static_cast<long long>(pass.T) + pass.Line->Height) : pass.B;
        m_result.HitLinkRect = pass.AnchorStartedHere ? TRect{m_anchorStart.X, m_anchorStart.Y, right, bottom}
                                                      : TRect{pass.L, pass.T, right, bottom};
        m_result.HitLink = number;
        m_pointerInAnchor = false;
    }
    if (number == m_opt.FocusLink + 1) {
        m_focus.Right = pass.X;
        m_focus.Bottom = pass.B - pass.Line->ImageOffset;
        m_focus.Top = m_focus.Bottom - GHeight();
        if (pass.Draws())
            m_canvas.DrawFocusRect(TRect{m_focus.Left - 1, m_focus.Top, m_focus.Right + 1, m_focus.Bottom});
    }
}

void TMarkupRenderer::ListItem(TPass& pass) {
    if (pass.ListItemSeen) {
        pass.Ended = true;
        m_tagStays = true;
        return;
    }
    pass.ListItemSeen = true;
    const int indent = m_listLevel * 12;
    pass.W = Sat(static_cast<long long>(pass.W) + indent);
    pass.X = Sat(static_cast<long long>(pass.X) + indent - 12);
    if (pass.Draws() && !m_hidden && !m_opt.HitTestOnly) {
        const std::string face = m_canvas.Font.Name;
        m_canvas.Font.Name = "Symbol";
        m_canvas.TextOut(pass.X, pass.T, (m_listLevel % 2 != 0) ? "\xC2\xB7" : "o");
        m_canvas.Font.Name = face;
    }
    pass.X += 12;
}

void TMarkupRenderer::TabPosition(TPass& pass, std::string_view tag) {
    size_t at = 2;
    while (at < tag.size() && UpperAt(tag, at) != 'X')
        ++at;
    if (at >= tag.size())
        return;
    int n = 0;
    if (!ReadStrictInteger(QuotedValueFrom(tag, at + 1), n))
        return;
    n = Sat(n);
    if (pass.W < n) {
        pass.W = n;
        pass.X = Sat(static_cast<long long>(m_bounds.Left) + n);
    }
}

void TMarkupRenderer::Rotation(std::string_view tag) {
    size_t at = 2;
    while (at < tag.size() && UpperAt(tag, at) != 'A')
        ++at;
    const int degrees = at < tag.size() ? ReadInteger(QuotedValueFrom(tag, at + 1)) : 0;
    m_orientationBeforeRotation = m_canvas.Font.Orientation;
    m_canvas.Font.Orientation = (degrees % 360) * 10;
}

void TMarkupRenderer::HighlightStart() {
    m_hiFontColor = m_canvas.Font.Color;
    m_hiBrushColor = m_canvas.Brush.Effective();
    SetBrush(SystemColor(COLOR_HIGHLIGHT));
    m_canvas.Font.Color = SystemColor(COLOR_HIGHLIGHTTEXT);
}
