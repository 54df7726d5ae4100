// The caption of the button: measured, placed by the alignments and drawn
// through the markup renderer, engraved when the button is disabled.
#include "THTMLButton.h"

#include "ButtonPaint.h"
#include "HTMLRenderer.h"

namespace quorvel {

using ButtonPaint::kGrey;
using ButtonPaint::Shrunk;

namespace {

constexpr TColor kLinkBlue = 0xFF0000;

} // namespace

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
    o.ImageList = m_images.data();
    o.MeasureOnly = true;

    const std::string markup = m_caption.toStdString();
    // A clear brush in the face colour: blinking text in its hidden phase
    // takes the face colour.
    canvas.Brush.Color = FaceColor(state);
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

} // namespace quorvel
