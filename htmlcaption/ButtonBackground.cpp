#include "ButtonBackground.h"

#include <algorithm>
#include <cmath>

namespace quorvel {

namespace {

// The background picture being built: shades of one colour.
struct TShadeImage {
    QImage& Image;
    int R, G, B;
    void Shade(long long x, long long y, int f) {
        if (x < 0 || y < 0 || x >= Image.width() || y >= Image.height())
            return;
        f = std::clamp(f, 0, 255);
        reinterpret_cast<QRgb*>(Image.scanLine(static_cast<int>(y)))[x] =
            qRgb((R * f / 255) & 0xFF, (G * f / 255) & 0xFF, (B * f / 255) & 0xFF);
    }
    int BlueAt(int x, int y) const { return qBlue(Image.pixel(x, y)); }
};

int Cube(int v) {
    return v * v * v;
}

} // namespace

namespace ButtonBackground {

int TRandom::Next(int range) {
    Seed = Seed * 134775813u + 1u;
    if (range <= 0)
        return 0;
    return static_cast<int>((static_cast<std::uint64_t>(Seed) * static_cast<std::uint64_t>(range)) >> 32);
}

QImage Build(TBtnBackground style, TColor color, int w, int h, TRandom& random) {
    const TColor rgb = ColorToRGB(color);
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    TShadeImage img{image, RedOf(rgb), GreenOf(rgb), BlueOf(rgb)};
    const auto columns = [&](auto shade) {
        for (int x = 0; x <= w; ++x) {
            const int f = shade(x);
            for (int y = 0; y <= h; ++y)
                img.Shade(x, y, f);
        }
    };
    const auto rows = [&](auto shade) {
        for (int y = 0; y <= h; ++y) {
            const int f = shade(y);
            for (int x = 0; x <= w; ++x)
                img.Shade(x, y, f);
        }
    };
    const auto pixels = [&](auto shade) {
        for (int x = 0; x <= w; ++x)
            for (int y = 0; y <= h; ++y)
                img.Shade(x, y, shade(x, y));
    };
    const auto bump = [](int a, int scale) {
        return 255 - ((Cube(a - 127) / 16384) * scale / 128 + 128) / 2;
    };
    const auto hshade = [&](int x) { return 255 - (239 * (w - x) / w + 8) / 2; };
    const auto vshade = [&](int y) { return 255 - (y * 239 / h + 8) / 2; };

    switch (style) {
    case stNormal:
    case stXPTheme:
        image.fill(QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb)));
        break;
    case stNoise:
        pixels([&](int, int) { return 255 - (random.Next(32) + 128) / 2; });
        break;
    case stDiagShade:
        pixels([&](int x, int y) { return 255 - (x * 129 / w + y * 129 / h) / 2; });
        break;
    case stHShade:
        columns(hshade);
        break;
    case stHShadeInv:
        columns([&](int x) { return hshade(w - x); });
        break;
    case stVShade:
        rows(vshade);
        break;
    // The inverted style runs the other way, as its horizontal twin does.
    case stVShadeInv:
        rows([&](int y) { return vshade(h - y); });
        break;
    case stHBump:
        columns([&](int x) { return bump((w - x) * 255 / w, 120); });
        break;
    case stVBump:
        rows([&](int y) { return bump(y * 255 / h, 120); });
        break;
    case stSoftBump:
        pixels([&](int x, int y) {
            const int cy = Cube(y * 255 / h - 127) / 16384;
            const int cx = Cube((w - x) * 255 / w - 127) / 16384;
            return 255 - std::clamp((cx + cy) * 120 / 128 + 128, 8, 247) / 2;
        });
        break;
    case stHardBump: {
        rows([&](int y) { return bump(y * 255 / h, 112); });
        const int e0 = std::min(16, w / 6);
        const int q = std::max(1, h * h / 4);
        if (e0 == 0)
            break; // too narrow for rounded ends
        for (int x = 0; x <= w; ++x) {
            for (int y = 0; y <= h; ++y) {
                const int dy = y - h / 2, dx = x - w / 2;
                const int e = static_cast<int>(static_cast<long long>(dy) * dy * e0 / q) + w / 2 - e0;
                if (dx > e)
                    img.Shade(x, y, 255 - ((w - x) * 128 / e0 + 8) / 2);
                if (dx + e < 0)
                    img.Shade(x, y, 255 - (247 - x * 128 / e0) / 2);
            }
        }
        break;
    }
    case stLMetal:
    case stRMetal: {
        const bool left = style == stLMetal;
        for (int streak = 0; streak < 251; ++streak) {
            const int x0 = random.Next(w);
            const int y0 = random.Next(h);
            const int n = random.Next(std::min(w, h) / 2);
            const int f = 255 - random.Next(40);
            for (int i = 0; i < n; ++i) {
                if (left) {
                    if (x0 + i < w && y0 + i < h)
                        img.Shade(x0 + i, y0 + i, f);
                    if (x0 - i > 0 && y0 - i > 0)
                        img.Shade(x0 - i, y0 - i, f);
                } else {
                    if (x0 - i > 0 && y0 + i < h)
                        img.Shade(x0 - i, y0 + i, f);
                    if (x0 + i < w && y0 - i > 0)
                        img.Shade(x0 + i, y0 - i, f);
                }
            }
        }
        pixels([&](int x, int y) {
            const int b = (x < w && y < h) ? img.BlueAt(x, y) : 255;
            return 255 - (x * 120 / w + (255 - b) + y * 120 / h) / 2;
        });
        break;
    }
    case stIRadial:
    case stORadial: {
        // D is the distance from the centre to the corner (0, 0), the
        // farthest pixel painted, so the shade runs the whole way from 255
        // to 0; a square needs nothing special.
        const int cx = w / 2, cy = h / 2;
        const double d = std::max(1.0, std::nearbyint(std::sqrt(double(cx) * cx + double(cy) * cy)));
        for (int x = 0; x <= cx; ++x) {
            for (int y = 0; y <= cy; ++y) {
                const double r =
                    std::nearbyint(std::sqrt(double(x - cx) * (x - cx) + double(y - cy) * (y - cy)));
                const double share = style == stIRadial ? (d - r) / d : r / d;
                const int f = static_cast<int>(std::nearbyint(share * 255));
                img.Shade(x, y, f);
                img.Shade(w - x, h - y, f);
                img.Shade(w - x, y, f);
                img.Shade(x, h - y, f);
            }
        }
        break;
    }
    }
    return image;
}

} // namespace ButtonBackground

} // namespace quorvel
