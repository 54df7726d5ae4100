// The tags that read attributes: FONT, IMG, BODY and P.
#include "TMarkupRenderer.h"

#include "MarkupColors.h"
#include "MarkupGraphics.h"
#include "MarkupText.h"
#include "PictureContainer.h"
#include "TImageList.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

using namespace MarkupText;

namespace {

constexpr int kMaxImageSide = 1 << 16;

int MulDiv(int value, int numerator, int denominator) {
    if (denominator == 0)
        return 0;
    const long long p = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    const long long r = (p >= 0 ? p + half : p - half) / denominator;
    return static_cast<int>(std::clamp<long long>(r, -(1LL << 28), 1LL << 28));
}

// The upper-cased attribute text of a tag: everything after its name.
std::string AttributeText(std::string_view tag) {
    const size_t nameEnd = tag.find_first_of(" >");
    return UpperCase(nameEnd == std::string_view::npos ? std::string_view() : tag.substr(nameEnd));
}

bool Has(const std::string& text, std::string_view what) {
    return text.find(what) != std::string::npos;
}

int FontSizeFor(int size) {
    switch (size) {
    case 1:
        return 8;
    case 2:
        return 10;
    case 3:
        return 12;
    case 4:
        return 14;
    case 5:
        return 16;
    default:
        return size;
    }
}

int RoundEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}

} // namespace

void TMarkupRenderer::FontTag(TPass& pass, std::string_view tag) {
    if (tag.back() != '>')
        return;
    const std::string text = AttributeText(tag);
    TFont& font = m_canvas.Font;
    const std::string face = AttributeValue(text, "FACE");
    if (!face.empty())
        font.Name = face;
    if (Has(text, " COLOR") && !m_opt.Selected)
        font.Color = ColorFromValue(AttributeValue(text, " COLOR"));
    if (Has(text, "BGCOLOR") && pass.Draws() && !m_opt.Selected) {
        m_fontBrushColor = m_canvas.Brush.Effective();
        SetBrush(ColorFromValue(AttributeValue(text, "BGCOLOR")));
    }
    const size_t size = text.find("SIZE");
    if (size != std::string::npos) {
        const size_t eq = text.find('=', size);
        if (eq != std::string::npos) {
            // SIZE=3 and SIZE="3" both work; a quote further on belongs to
            // another attribute.
            size_t start = text.find_first_not_of(' ', eq + 1);
            if (start != std::string::npos && text[start] == '"')
                ++start;
            if (start != std::string::npos)
                font.Size =
                    std::clamp(FontSizeFor(ReadInteger(std::string_view(text).substr(start))), -2000, 2000);
        }
    }
}

THTMLPicture* TMarkupRenderer::FindPicture(const std::string& source) {
    const QString name = QString::fromStdString(source);
    if (source.find(':') == std::string::npos)
        return m_opt.PictureContainer ? m_opt.PictureContainer->FindPicture(name) : nullptr;
    if (source.find("://") == std::string::npos || !m_opt.PictureCache)
        return nullptr;
    if (!m_opt.PictureCache->FindPicture(name)) {
        THTMLPicture* picture = m_opt.PictureCache->AddPicture();
        picture->SetAsynch(false);
        try {
            picture->LoadFromLocation(name);
        } catch (...) {
            // An unreadable picture stays empty and draws nothing.
        }
    }
    return m_opt.PictureCache->FindPicture(name);
}

void TMarkupRenderer::DrawPicture(THTMLPicture& picture, const TRect& rect) {
    try {
        picture.Draw(m_canvas, rect);
    } catch (...) {
    }
}

void TMarkupRenderer::ImageTag(TPass& pass, std::string_view tag) {
    TLineResult& line = *pass.Line;
    const int number = ++m_imageCount;
    const std::string upper = UpperCase(tag);
    const size_t srcAt = upper.find("SRC");
    std::string source = srcAt == std::string::npos ? std::string() : QuotedValueFrom(tag, srcAt + 3);
    if (Has(upper, "ALT") && number == m_hoveredImage)
        source = QuotedValueFrom(tag, upper.find("ALT") + 3);
    const int width = std::clamp(ReadInteger(AttributeValue(upper, "WIDTH")), -1, kMaxImageSide);
    const int height = std::clamp(ReadInteger(AttributeValue(upper, "HEIGHT")), -1, kMaxImageSide);
    const int ppiX = m_canvas.PixelsPerInchX(), ppiY = m_canvas.PixelsPerInchY();
    const bool draw = pass.Draws();
    TPoint box;

    const std::string usource = UpperCase(source);
    if (Has(usource, "IDX:")) {
        const int index = ReadInteger(std::string_view(source).substr(std::min<size_t>(4, source.size())));
        const TImageList* list = m_opt.ImageList;
        if (list && index >= 0 && index < list->Count()) {
            box = {MulDiv(list->Width(), ppiX, 96), MulDiv(list->Height(), ppiY, 96)};
            if (draw && !m_opt.Printing)
                list->Draw(m_canvas, pass.X, pass.T, index, true);
            else if (draw)
                StretchBitmap(m_canvas,
                              TRect{pass.X, pass.T, pass.X + RoundEven(list->Width() * m_opt.ScaleFactor),
                                    pass.T + RoundEven(list->Height() * m_opt.ScaleFactor)},
                              list->Image(index));
        }
    }
    for (const bool large : {false, true}) {
        if (!Has(usource, large ? "LSYS:" : "SSYS:"))
            continue;
        TPoint size;
        DrawSystemIcon(m_canvas, pass.X, pass.T, size, m_opt.ScaleFactor, m_opt.Printing, draw, large,
                       source.substr(std::min<size_t>(5, source.size())));
        box = {MulDiv(size.X, ppiX, 96), MulDiv(size.Y, ppiY, 96)};
    }
    THTMLPicture* picture = FindPicture(source);
    if (picture && !picture->Empty()) {
        const bool natural = width < 1 || height < 1;
        if (draw) {
            // The picture may be shared with other captions: its stretch
            // setting is chosen for this draw only.
            const bool stretch = picture->Stretch();
            picture->SetStretch(!natural);
            if (natural)
                DrawPicture(*picture, TRect{pass.X + picture->FrameXPos(), pass.T + picture->FrameYPos(),
                                            pass.X + picture->FrameXPos() + picture->DisplayWidth(),
                                            pass.T + picture->FrameYPos() + picture->DisplayHeight()});
            else
                DrawPicture(*picture, TRect{pass.X, pass.T, pass.X + width, pass.T + height});
            picture->SetStretch(stretch);
        }
        box = natural ? TPoint{MulDiv(picture->DisplayWidth(), ppiX, 96),
                               MulDiv(picture->DisplayHeight(), ppiY, 96)}
                      : TPoint{MulDiv(width, ppiX, 96), MulDiv(height, ppiY, 96)};
    }

    const long long px = static_cast<long long>(m_opt.PointerX) - pass.L;
    if (m_inAnchor && px > pass.W && px < static_cast<long long>(pass.W) + box.X && m_opt.PointerY > pass.T &&
        m_opt.PointerY < static_cast<long long>(pass.T) + box.Y) {
        line.HitImage = true;
        m_result.HitAnchor = m_target;
        m_hoveredImage = number;
    }
    const int room = pass.R - pass.L;
    if (room < static_cast<long long>(pass.W) + box.X && box.X < room) {
        // The image begins the next line, where it is counted again.
        --m_imageCount;
        pass.Ended = true;
        m_tagStays = true;
        return;
    }
    pass.W = std::min(pass.W + box.X, 1 << 28);
    pass.X = std::min(pass.X + box.X, 1 << 28);
    line.Height = std::max(line.Height, box.Y);
    if (Has(upper, "ALIGN")) {
        const int g = GHeight();
        if (Has(upper, "\"TOP"))
            line.ImageOffset = line.Height - g;
        else if (Has(upper, "\"MIDDLE"))
            line.ImageOffset = (line.Height - g) / 2;
    }
}

void TMarkupRenderer::BodyTag(TPass& pass, std::string_view tag) {
    if (!pass.Draws() || m_opt.Selected)
        return;
    const std::string text = AttributeText(tag);
    // The location keeps the letter case it was written in.
    const size_t backgroundAt = text.find("BACKGROUND");
    const std::string background = backgroundAt == std::string::npos
                                       ? std::string()
                                       : QuotedValueFrom(tag, tag.size() - text.size() + backgroundAt +
                                                                  std::string_view("BACKGROUND").size());
    if (!background.empty()) {
        THTMLPicture* picture = FindPicture(background);
        if (picture && !picture->Empty() && picture->Width() > 0 && picture->Height() > 0) {
            // One fill with the picture repeated from the top-left corner.
            const int w = picture->Width(), h = picture->Height();
            const QImage& image = picture->Image();
            if (image.width() == w && image.height() == h)
                m_canvas.TileImage(m_bounds, image);
            else
                m_canvas.TileImage(m_bounds, image.scaled(w, h));
        }
    }
    if (!Has(text, "BGCOLOR"))
        return;
    const std::string value = AttributeValue(text, "BGCOLOR");
    const TColor color = value.empty() ? clNone : ColorFromValue(value);
    if (!Has(text, "BGCOLORTO")) {
        m_fontBrushColor = m_canvas.Brush.Effective();
        SetBrush(color);
        const TColor pen = m_canvas.Pen.Color;
        m_canvas.Pen.Color = color;
        m_canvas.FillRect(TRect{m_bounds.Left - 2, m_bounds.Top, m_bounds.Right, m_bounds.Bottom});
        m_canvas.Pen.Color = pen;
        return;
    }
    std::string direction = AttributeValue(text, "DIR");
    if (direction.empty())
        direction = "H";
    m_canvas.Pen.Color = color;
    FillGradient(m_canvas, color, ColorFromValue(AttributeValue(text, "BGCOLORTO")), direction == "H",
                 m_bounds, 64, clNone);
    SetBrush(clNone);
}

void TMarkupRenderer::ParagraphTag(TPass& pass, std::string_view tag) {
    if (tag.back() != '>')
        return;
    const std::string text = AttributeText(tag);
    if (Has(text, "ALIGN")) {
        const std::string align = AttributeValue(text, "ALIGN");
        if (Has(align, "RIGHT"))
            m_alignment = 1;
        if (Has(align, "LEFT"))
            m_alignment = 0;
        if (Has(align, "CENTER"))
            m_alignment = 2;
    }
    if (Has(text, "INDENT"))
        m_indent = std::clamp(ReadInteger(AttributeValue(text, "INDENT")), -(1 << 20), 1 << 20);
    if (!Has(text, "BGCOLOR") || !pass.Draws())
        return;
    const TColor color = ColorFromValue(AttributeValue(text, "BGCOLOR"));
    m_paragraphFill = true;
    if (!Has(text, "BGCOLORTO")) {
        m_paragraphBrushColor = m_canvas.Brush.Effective();
        SetBrush(color);
        const TColor pen = m_canvas.Pen.Color;
        m_canvas.Pen.Color = color;
        m_canvas.FillRect(TRect{m_bounds.Left, pass.T, m_bounds.Right, pass.B});
        m_canvas.Pen.Color = pen;
        return;
    }
    m_canvas.Pen.Color = color;
    FillGradient(m_canvas, color, ColorFromValue(AttributeValue(text, "BGCOLORTO")), true,
                 TRect{m_bounds.Left, pass.T, m_bounds.Right, pass.B + 2}, 64, clNone);
    SetBrush(clNone);
}

} // namespace quorvel
