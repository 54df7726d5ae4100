#include "TMarkupRenderer.h"

#include "MarkupCoords.h"
#include "MarkupText.h"

#include <algorithm>
#include <climits>

namespace quorvel {

using namespace MarkupText;
using MarkupCoords::kCoordLimit;
using MarkupCoords::Sat;

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

} // namespace quorvel
