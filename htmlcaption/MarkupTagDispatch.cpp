// The tag dispatch: opening and closing tags by their letters, lists, tab
// positions, rotation and highlight.
#include "TMarkupRenderer.h"

#include "MarkupCoords.h"
#include "MarkupText.h"

#include <algorithm>

namespace quorvel {

using namespace MarkupText;
using MarkupCoords::Sat;

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

} // namespace quorvel
