#include "GifBuilder.h"
#include "PictureContainer.h"
#include "TQtCanvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace quorvel;

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kRed = 0xFFFF0000;

QImage Surface(int width, int height, int dpi = 96) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(kWhite);
    const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

void LoadBytes(THTMLPicture& picture, const std::string& bytes) {
    std::istringstream stream(bytes);
    picture.LoadFromStream(&stream);
}

// The bounding box of the non-white pixels.
QRect Painted(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kWhite)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

void DrawOn(QImage& surface, const THTMLPicture& picture, const TRect& rect) {
    TQtCanvas canvas(&surface);
    picture.Draw(canvas, rect);
}

} // namespace

TEST(PictureDraw, UnstretchedIgnoresTheRectangleSize) {
    THTMLPicture picture;
    LoadBytes(picture, EncodeImage(10, 6, kRed, "PNG"));
    QImage surface = Surface(40, 40);
    DrawOn(surface, picture, TRect{5, 7, 8, 9});
    EXPECT_EQ(Painted(surface), QRect(5, 7, 10, 6));
    EXPECT_EQ(surface.pixel(5, 7), kRed);
    EXPECT_EQ(surface.pixel(14, 12), kRed);
}

TEST(PictureDraw, StretchedFillsTheRectangle) {
    THTMLPicture picture;
    LoadBytes(picture, EncodeImage(10, 6, kRed, "PNG"));
    picture.SetStretch(true);
    QImage surface = Surface(40, 40);
    DrawOn(surface, picture, TRect{2, 3, 32, 23});
    EXPECT_EQ(Painted(surface), QRect(2, 3, 30, 20));
    EXPECT_EQ(surface.pixel(31, 22), kRed);
}

TEST(PictureDraw, UnstretchedScalesWithTheDeviceResolution) {
    THTMLPicture picture;
    LoadBytes(picture, EncodeImage(100, 40, kRed, "BMP"));
    EXPECT_EQ(picture.Width(), 100);
    QImage surface = Surface(200, 100, 120);
    DrawOn(surface, picture, TRect{0, 0, 10, 10});
    EXPECT_EQ(Painted(surface), QRect(0, 0, 125, 50));
}

TEST(PictureDraw, EmptyOrUndecodedPicturesDrawNothing) {
    THTMLPicture picture;
    QImage surface = Surface(20, 20);
    DrawOn(surface, picture, TRect{0, 0, 20, 20});
    std::istringstream junk("junk");
    EXPECT_THROW(picture.LoadFromStream(&junk), EPictureError);
    DrawOn(surface, picture, TRect{0, 0, 20, 20});
    EXPECT_TRUE(Painted(surface).isNull());
}

TEST(PictureDraw, GifFrameDrawsOnlyItsOwnRectangle) {
    THTMLPicture picture;
    LoadBytes(picture, ThreeFrameGif());
    picture.SetFrame(2);
    QImage surface = Surface(40, 40);
    // Drawn where the renderer puts it: the origin plus the frame offset.
    DrawOn(surface, picture, TRect{10 + picture.FrameXPos(), 10 + picture.FrameYPos(), 0, 0});
    EXPECT_EQ(Painted(surface), QRect(16, 13, 5, 4));
    EXPECT_EQ(surface.pixel(16, 13), 0xFF00FF00);
}
