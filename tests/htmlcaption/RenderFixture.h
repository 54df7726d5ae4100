#pragma once

#include "HTMLRenderer.h"
#include "TQtCanvas.h"

#include <QImage>
#include <gtest/gtest.h>
#include <memory>

// Renders markup onto a white image through the Qt canvas with a known
// starting style: 8-point sans, black text, clear brush.
class RenderTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 120;

    void SetUp() override { Reset(kWidth, kHeight); }

    void Reset(int width, int height) {
        canvas.reset();
        scratch = QImage();
        image = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        canvas = std::make_unique<quorvel::TQtCanvas>(&image);
        canvas->Font.Name = "Tahoma";
        canvas->Font.Size = 8;
        canvas->Font.Color = quorvel::clBlack;
        canvas->Brush.SetColor(quorvel::clNone);
    }

    bool Render(const std::string& markup, quorvel::TRect bounds = {0, 0, kWidth, kHeight}) {
        return quorvel::RenderMarkup(*canvas, markup, bounds, options, result);
    }
    quorvel::TMarkupResult Measure(const std::string& markup,
                                   quorvel::TRect bounds = {0, 0, kWidth, kHeight}) {
        quorvel::TMarkupOptions o = options;
        o.MeasureOnly = true;
        quorvel::TMarkupResult r;
        quorvel::RenderMarkup(*canvas, markup, bounds, o, r);
        return r;
    }
    // Ends painting so the image can be read; measuring goes on through a
    // canvas on a scratch image with the same style.
    const QImage& Finish() {
        const quorvel::TFont font = canvas->Font;
        canvas.reset();
        scratch = QImage(8, 8, QImage::Format_ARGB32_Premultiplied);
        canvas = std::make_unique<quorvel::TQtCanvas>(&scratch);
        canvas->Font = font;
        return image;
    }
    int GH() { return canvas->TextHeight("gh"); }
    int Width(const std::string& text) { return canvas->TextWidth(text); }

    static quorvel::TColor PixelColor(const QImage& img, int x, int y) {
        const QRgb p = img.pixel(x, y);
        return quorvel::RGBColor(qRed(p), qGreen(p), qBlue(p));
    }
    static int CountColor(const QImage& img, quorvel::TColor color, QRect area = QRect()) {
        if (area.isNull())
            area = img.rect();
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += PixelColor(img, x, y) == color;
        return n;
    }
    // Columns that hold at least one non-white pixel within rows [top, bottom).
    static int InkLeft(const QImage& img, int top = 0, int bottom = -1) {
        if (bottom < 0)
            bottom = img.height();
        for (int x = 0; x < img.width(); ++x)
            for (int y = top; y < bottom; ++y)
                if (PixelColor(img, x, y) != quorvel::clWhite)
                    return x;
        return -1;
    }
    static int InkBottom(const QImage& img) {
        for (int y = img.height() - 1; y >= 0; --y)
            for (int x = 0; x < img.width(); ++x)
                if (PixelColor(img, x, y) != quorvel::clWhite)
                    return y;
        return -1;
    }

    QImage image;
    QImage scratch;
    std::unique_ptr<quorvel::TQtCanvas> canvas;
    quorvel::TMarkupOptions options;
    quorvel::TMarkupResult result;
};
