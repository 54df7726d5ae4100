// The Qt canvas: text flags, lines, focus rectangles, clipping, image lists.
#include "TImageList.h"
#include "TQtCanvas.h"
#include "TShellIcons.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

struct Surface {
    Surface(int w = 100, int h = 40) : image(w, h, QImage::Format_ARGB32_Premultiplied) {
        image.fill(Qt::white);
        canvas = std::make_unique<TQtCanvas>(&image);
        canvas->Font.Name = "MS Sans Serif";
        canvas->Font.Color = clBlack;
        canvas->Brush.SetColor(clNone);
    }
    const QImage& Done() {
        canvas.reset();
        return image;
    }
    QImage image;
    std::unique_ptr<TQtCanvas> canvas;
};

bool Ink(const QImage& img, int x, int y) {
    return img.pixel(x, y) != qRgb(255, 255, 255);
}

int InkCount(const QImage& img) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += Ink(img, x, y);
    return n;
}

} // namespace

TEST(QtCanvas, MissingFacesAreSubstituted) {
    EXPECT_NE(TQtCanvas::SubstituteFace("MS Sans Serif"), "MS Sans Serif");
    EXPECT_NE(TQtCanvas::SubstituteFace("tahoma"), "tahoma");
    EXPECT_EQ(TQtCanvas::SubstituteFace("Some Face"), "Some Face");
    // Sizes are points at 96 pixels per inch whatever the device says.
    TFont f;
    f.Size = 12;
    EXPECT_EQ(TQtCanvas::ToQFont(f).pixelSize(), 16);
}

TEST(QtCanvas, MnemonicsEllipsisAndMeasuring) {
    Surface s;
    TCanvas& c = *s.canvas;
    EXPECT_EQ(c.TextWidth("&File"), c.TextWidth("File"));
    EXPECT_EQ(c.TextWidth("a&b"), c.TextWidth("ab"));
    EXPECT_GT(c.TextWidth("a&&b"), c.TextWidth("ab"));
    TRect r{0, 0, 1000, 100};
    c.DrawText("a&b", r, dtCalcRect | dtNoPrefix);
    EXPECT_EQ(r.Width(), c.TextWidth("a&&b"));
    EXPECT_EQ(r.Height(), c.TextHeight("x"));

    TRect cut{0, 0, 30, 20};
    c.DrawText("a long line of text", cut, dtCalcRect | dtEndEllipsis);
    EXPECT_LE(cut.Width(), 30);
    EXPECT_GT(cut.Width(), 0);
}

TEST(QtCanvas, TextIsClippedToItsRectangleAndBottomAligned) {
    Surface s;
    TRect r{10, 0, 20, 30};
    s.canvas->DrawText("WWWWWWWW", r, dtBottom | dtSingleLine);
    const QImage& img = s.Done();
    for (int y = 0; y < img.height(); ++y) {
        EXPECT_FALSE(Ink(img, 9, y));
        EXPECT_FALSE(Ink(img, 20, y));
    }
    EXPECT_TRUE(Ink(img, 12, 27) || Ink(img, 13, 27) || Ink(img, 14, 27));
    EXPECT_FALSE(Ink(img, 12, 2));
}

TEST(QtCanvas, SolidBrushFillsBehindText) {
    Surface s;
    s.canvas->Brush.SetColor(0x00FF00);
    TRect r{0, 0, 100, 40};
    s.canvas->DrawText("i", r, dtTop);
    const QImage& img = s.Done();
    EXPECT_EQ(img.pixel(0, 1), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(50, 1), qRgb(255, 255, 255));
}

TEST(QtCanvas, LinesLeaveTheirEndPointUnpainted) {
    Surface s;
    s.canvas->MoveTo(2, 5);
    s.canvas->LineTo(10, 5);
    s.canvas->MoveTo(20, 2);
    s.canvas->LineTo(24, 6);
    const QImage& img = s.Done();
    EXPECT_TRUE(Ink(img, 2, 5));
    EXPECT_TRUE(Ink(img, 9, 5));
    EXPECT_FALSE(Ink(img, 10, 5));
    EXPECT_TRUE(Ink(img, 23, 5));
    EXPECT_FALSE(Ink(img, 24, 6));
    EXPECT_EQ(InkCount(img), 8 + 4);
}

TEST(QtCanvas, FocusRectangleInvertsAndDrawingItTwiceRemovesIt) {
    Surface s;
    s.canvas->DrawFocusRect(TRect{2, 2, 12, 8});
    EXPECT_GT(InkCount(s.image), 8);
    s.canvas->DrawFocusRect(TRect{2, 2, 12, 8});
    EXPECT_EQ(InkCount(s.Done()), 0);
}

TEST(QtCanvas, ClipRectangleLimitsDrawingUntilCleared) {
    Surface s;
    s.canvas->Brush.SetColor(clBlack);
    s.canvas->SetClipRect(TRect{0, 0, 10, 10});
    s.canvas->FillRect(TRect{0, 0, 100, 40});
    EXPECT_EQ(InkCount(s.image), 100);
    s.canvas->ClearClipRect();
    s.canvas->FillRect(TRect{50, 0, 60, 1});
    EXPECT_EQ(InkCount(s.Done()), 110);
}

TEST(QtCanvas, RectangleOutlinesWithPenAndFillsWithBrush) {
    Surface s;
    s.canvas->Pen.Color = 0x0000FF;
    s.canvas->Brush.SetColor(0x00FF00);
    s.canvas->Rectangle(TRect{0, 0, 5, 4});
    const QImage& img = s.Done();
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(4, 3), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(2, 2), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(5, 2), qRgb(255, 255, 255));
}

TEST(ImageList, DrawsByIndexAndGreysDisabledImages) {
    TImageList list(4, 4);
    QImage red(8, 8, QImage::Format_ARGB32);
    red.fill(Qt::red);
    EXPECT_EQ(list.Add(red), 0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Image(0).width(), 4);
    Surface s;
    list.Draw(*s.canvas, 0, 0, 0);
    list.Draw(*s.canvas, 10, 0, 0, false);
    list.Draw(*s.canvas, 20, 0, 5);
    list.Draw(*s.canvas, 20, 0, -1);
    const QImage& img = s.Done();
    EXPECT_EQ(img.pixel(1, 1), qRgb(255, 0, 0));
    const QRgb grey = img.pixel(11, 1);
    EXPECT_TRUE(qRed(grey) == qGreen(grey) && qGreen(grey) == qBlue(grey));
    EXPECT_EQ(InkCount(img), 32);
}

TEST(ShellIcons, IndexesAreStableAndSizesFixed) {
    EXPECT_EQ(TShellIcons::IconIndex("/"), TShellIcons::IconIndex("/"));
    EXPECT_GE(TShellIcons::IconIndex("nothing-here.unknownsuffix"), 0);
    EXPECT_EQ(TShellIcons::IconSize(false), (TPoint{16, 16}));
    EXPECT_EQ(TShellIcons::IconSize(true), (TPoint{32, 32}));
    Surface s;
    TShellIcons::Draw(*s.canvas, 100000, 0, 0, true); // unknown index: nothing
    EXPECT_EQ(InkCount(s.Done()), 0);
}

TEST(QtCanvas, ClearingTheClipKeepsThePaintersOwnClip) {
    QImage image(40, 40, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setClipRect(QRect(0, 0, 20, 20));
    {
        TQtCanvas canvas(&painter);
        canvas.Brush.SetColor(clBlack);
        canvas.SetClipRect(TRect{10, 10, 40, 40});
        canvas.FillRect(TRect{0, 0, 40, 40});
        canvas.ClearClipRect();
        canvas.FillRect(TRect{0, 0, 40, 1});
    }
    painter.end();
    EXPECT_EQ(InkCount(image), 100 + 20);
}
