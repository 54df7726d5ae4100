// Anchors: their colours and underline, the hit rectangle under the pointer
// and the focus rectangle of the focused anchor.
#include "TMarkupRenderer.h"

#include "MarkupCoords.h"
#include "MarkupText.h"

#include <algorithm>

namespace quorvel {

using namespace MarkupText;
using MarkupCoords::Sat;

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

void TMarkupRenderer::DrawFocusPart(const TPass& pass) {
    m_canvas.DrawFocusRect(TRect{m_focus.Left - 1, m_focus.Top, pass.X + 1, pass.B});
    m_focus.Left = pass.L + 1;
    m_focus.Top = pass.B;
}

} // namespace quorvel
