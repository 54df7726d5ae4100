#include "MarkupGraphics.h"

#include "MarkupText.h"
#include "TShellIcons.h"

#include <cmath>
#include <map>
#include <utility>

namespace quorvel {

namespace {
// Rounds to nearest with ties to even.
int RoundEven(double v) {
    return static_cast<int>(std::nearbyint(v));
}
} // namespace

// Looking an icon up asks the file system and the type database, so each name
// is resolved once per icon size on the painting thread.
int SystemIconIndex(const std::string& name, bool large) {
    int index = 0;
    if (name.empty() || MarkupText::ReadStrictInteger(name, index))
        return index;
    thread_local std::map<std::pair<std::string, bool>, int> known;
    const auto key = std::make_pair(name, large);
    const auto found = known.find(key);
    if (found != known.end())
        return found->second;
    if (known.size() >= 256)
        known.clear();
    index = TShellIcons::IconIndex(name);
    known.emplace(key, index);
    return index;
}

void FillGradient(TCanvas& canvas, TColor from, TColor to, bool horizontal, const TRect& rect, int steps,
                  TColor border) {
    if (steps < 1)
        steps = 1;
    const TColor a = ColorToRGB(from), b = ColorToRGB(to);
    const int start = horizontal ? rect.Left : rect.Top;
    const int end = horizontal ? rect.Right : rect.Bottom;
    const double band = static_cast<double>(end - start) / steps;
    for (int i = 0; i < steps; ++i) {
        const auto channel = [&](int f, int t) {
            return f + RoundEven(static_cast<double>(i) * (t - f) / steps);
        };
        const TColor c = RGBColor(channel(RedOf(a), RedOf(b)), channel(GreenOf(a), GreenOf(b)),
                                  channel(BlueOf(a), BlueOf(b)));
        canvas.Pen.Color = c;
        canvas.Brush.SetColor(c);
        const int from = start + RoundEven(i * band);
        const int to = std::min(end, from + static_cast<int>(std::trunc(band)) + 1);
        if (to <= from)
            continue;
        canvas.FillRect(horizontal ? TRect{from, rect.Top, to, rect.Bottom}
                                   : TRect{rect.Left, from, rect.Right, to});
    }
    if (border != clNone) {
        canvas.Brush.SetColor(clNone);
        canvas.Pen.Color = border;
        canvas.Rectangle(rect);
    }
}

void StretchBitmap(TCanvas& canvas, const TRect& rect, const QImage& image) {
    canvas.StretchDrawImage(rect, image);
}

void DrawSystemIcon(TCanvas& canvas, int x, int y, TPoint& size, double scale, bool printing, bool draw,
                    bool large, const std::string& name) {
    size = TShellIcons::IconSize(large);
    if (!draw)
        return;
    const int index = SystemIconIndex(name, large);
    if (!printing)
        TShellIcons::Draw(canvas, index, x, y, large);
    else
        TShellIcons::StretchDraw(
            canvas, index, TRect{x, y, x + RoundEven(size.X * scale), y + RoundEven(size.Y * scale)}, large);
}

} // namespace quorvel
