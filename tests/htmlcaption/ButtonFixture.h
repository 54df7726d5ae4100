#pragma once

#include "TQtCanvas.h"
#include "htmlbtns.h"

#include <QImage>
#include <gtest/gtest.h>

// Paints a THTMLButton onto an image through the canvas, in a chosen state.
class ButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.resize(80, 24);
        button.setFont(QFont(QStringLiteral("Tahoma"), 8));
        previousSeed = quorvel::THTMLButton::SeedSource();
        quorvel::THTMLButton::SeedSource() = [] { return 12345u; };
    }
    void TearDown() override { quorvel::THTMLButton::SeedSource() = previousSeed; }

    QImage Paint(quorvel::THTMLButton::TDrawState state = {}) {
        QImage image(button.width(), button.height(), QImage::Format_RGB32);
        image.fill(Qt::magenta);
        {
            quorvel::TQtCanvas canvas(&image);
            button.DrawButton(canvas, state);
        }
        return image;
    }
    static quorvel::TColor At(const QImage& img, int x, int y) {
        const QRgb p = img.pixel(x, y);
        return quorvel::RGBColor(qRed(p), qGreen(p), qBlue(p));
    }
    static int Count(const QImage& img, quorvel::TColor c) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += At(img, x, y) == c;
        return n;
    }
    // Bounding box of the pixels of colour c.
    static QRect Box(const QImage& img, quorvel::TColor c) {
        QRect box;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                if (At(img, x, y) == c)
                    box |= QRect(x, y, 1, 1);
        return box;
    }
    void Enter();
    void Leave();

    std::function<unsigned()> previousSeed;
    quorvel::THTMLButton button;
};
