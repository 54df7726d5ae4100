// Pixels where pixels are the point: fills, highlights, underlines, bullets.
#include "MarkupGraphics.h"
#include "RenderFixture.h"

#include <cmath>

using namespace quorvel;

TEST_F(RenderTest, HighlightUsesTheSystemHighlightColours) {
    Render("ab <hi>HIGH</hi> cd");
    const TColor back = ColorToRGB(SystemColor(COLOR_HIGHLIGHT));
    const QImage& img = Finish();
    const int left = 1 + Width("ab ");
    EXPECT_GT(CountColor(img, back, QRect(left, 0, Width("HIGH"), GH())), Width("HIGH") * GH() / 3);
    EXPECT_EQ(CountColor(img, back, QRect(0, 0, left - 1, GH())), 0);
    EXPECT_EQ(CountColor(img, back, QRect(left + Width("HIGH ") + 1, 0, 60, GH())), 0);
}

TEST_F(RenderTest, ErrorUnderlineIsARedZigzagAroundTheTextBottom) {
    Render("<e>mistake</e> ok");
    const QImage& img = Finish();
    const int bottom = GH(); // the text bottom of the first line
    const int left = 1, right = 1 + Width("mistake");
    int above = 0, below = 0;
    for (int x = left + 1; x < right - 1; ++x) {
        above += PixelColor(img, x, bottom - 1) == 0x0000FF;
        below += PixelColor(img, x, bottom + 1) == 0x0000FF;
        // Never both at once: one zigzag line per column.
        EXPECT_FALSE(PixelColor(img, x, bottom - 1) == 0x0000FF &&
                     PixelColor(img, x, bottom + 1) == 0x0000FF);
    }
    EXPECT_GE(above, (right - left) / 4 - 1);
    EXPECT_GE(below, (right - left) / 4 - 1);
    EXPECT_EQ(CountColor(img, 0x0000FF, QRect(right + Width(" "), 0, 60, GH() + 3)), 0);
}

TEST_F(RenderTest, BulletsStandTwelvePixelsPerLevelIn) {
    Render("<ul><li>x<ul><li>y</ul></ul>", TRect{20, 0, kWidth, kHeight});
    const QImage& img = Finish();
    const int g = GH();
    // Level 1: bullet from the line's left edge, text at 12.
    EXPECT_GE(InkLeft(img, g, 2 * g), 21);
    EXPECT_LT(InkLeft(img, g, 2 * g), 21 + 12);
    // Level 2 (the second UL ended the line before it): bullet 12 pixels in.
    EXPECT_GE(InkLeft(img, 2 * g, 3 * g), 21 + 12);
    EXPECT_LT(InkLeft(img, 2 * g, 3 * g), 21 + 24);
}

TEST_F(RenderTest, BodyGradientHas64HorizontalBands) {
    Reset(256, 20);
    Render("<body bgcolor=\"#000000\" bgcolorto=\"#fc0000\">", TRect{0, 0, 256, 20});
    const QImage& img = Finish();
    for (int band = 0; band < 64; ++band) {
        const int red = static_cast<int>(std::nearbyint(band * 252.0 / 64));
        EXPECT_EQ(PixelColor(img, band * 4 + 2, 10), RGBColor(red, 0, 0)) << band;
        EXPECT_EQ(PixelColor(img, band * 4 + 2, 0), PixelColor(img, band * 4 + 2, 19));
    }
}

TEST_F(RenderTest, VerticalGradientAndPlainBackground) {
    Reset(20, 128);
    Render("<body bgcolor=\"#000000\" bgcolorto=\"#00FF00\" dir=\"v\">", TRect{0, 0, 20, 128});
    const QImage& v = Finish();
    EXPECT_EQ(PixelColor(v, 0, 1), PixelColor(v, 19, 1));
    EXPECT_LT(GreenOf(PixelColor(v, 5, 1)), GreenOf(PixelColor(v, 5, 126)));

    Reset(100, 40);
    Render("<body bgcolor=\"clYellow\">text", TRect{10, 5, 90, 35});
    const QImage& img = Finish();
    EXPECT_EQ(PixelColor(img, 8, 20), 0x00FFFFu); // two pixels left of the area
    EXPECT_EQ(PixelColor(img, 7, 20), clWhite);
    EXPECT_EQ(PixelColor(img, 89, 34), 0x00FFFFu);
    EXPECT_EQ(PixelColor(img, 90, 20), clWhite);
    EXPECT_EQ(PixelColor(img, 50, 4), clWhite);
}

TEST_F(RenderTest, ParagraphBackgroundCoversItsLinesUntilItsEnd) {
    Render("<p bgcolor=\"#00FF00\">one<br>two</p>three");
    const QImage& img = Finish();
    const int g = GH();
    EXPECT_EQ(PixelColor(img, kWidth - 2, 1), 0x00FF00u);
    EXPECT_EQ(PixelColor(img, kWidth - 2, g + 1), 0x00FF00u);
    EXPECT_EQ(PixelColor(img, kWidth - 2, 2 * g + 2), clWhite);
}

TEST_F(RenderTest, FontColourAndBackground) {
    Render("<font color=\"#ff0000\" bgcolor=\"clLime\">RED</font> <font color=\"clblue\">B</font>");
    const QImage& img = Finish();
    EXPECT_GT(CountColor(img, 0x0000FF), 5);
    EXPECT_GT(CountColor(img, 0x00FF00), 10);
    EXPECT_GT(CountColor(img, 0xFF0000), 3);
    // The background ends with the font.
    EXPECT_EQ(CountColor(img, 0x00FF00, QRect(1 + Width("RED") + 1, 0, 100, GH())), 0);
}

TEST_F(RenderTest, NothingIsDrawnBelowTheLastLineThatFits) {
    const int g = GH();
    Render("a<br>b<br>c<br>d", TRect{0, 0, kWidth, 2 * g + g / 2});
    EXPECT_LT(InkBottom(Finish()), 2 * g + 1);
}

TEST_F(RenderTest, ShadowIsDrawnOffsetInItsColour) {
    options.ShadowColor = 0x0000FF;
    options.ShadowOffset = 2;
    Render("<sh>S</sh> plain");
    const QImage& img = Finish();
    EXPECT_GT(CountColor(img, 0x0000FF), 3);
    EXPECT_EQ(CountColor(img, 0x0000FF, QRect(1 + Width("S ") + 2, 0, 100, GH() + 3)), 0);
}

TEST_F(RenderTest, HiddenTextIsNeitherDrawnNorMeasured) {
    EXPECT_EQ(Measure("ab<z>hidden</z>cd").MaxLineWidth, Width("abcd"));
    // Text before a hidden part that runs past the end of the line is drawn.
    Render("ab<z>cd");
    EXPECT_NE(InkLeft(Finish()), -1);
}

TEST_F(RenderTest, BlinkTextTakesTheBackgroundColourInItsHiddenPhase) {
    canvas->Brush.SetColor(clWhite);
    options.BlinkVisible = false;
    Render("<blink>xx</blink>");
    EXPECT_EQ(InkLeft(Finish()), -1);
}

TEST_F(RenderTest, CanvasStyleIsRestoredAfterRendering) {
    const TFont font = canvas->Font;
    canvas->Brush.SetColor(0x123456);
    canvas->Pen.Color = 0x654321;
    Render(
        "<b><i><u><font face=\"Courier New\" size=\"5\" color=\"#FF0000\" bgcolor=\"#00FF00\">x<r a=\"90\">y"
        "<body bgcolor=\"#0000FF\"><hi>z<e>q");
    EXPECT_EQ(canvas->Font, font);
    EXPECT_EQ(canvas->Brush.Color, 0x123456u);
    EXPECT_EQ(canvas->Brush.Style, bsSolid);
    EXPECT_EQ(canvas->Pen.Color, 0x654321u);
}

TEST_F(RenderTest, FillGradientWithBorderOutlinesTheRectangle) {
    FillGradient(*canvas, clBlack, clWhite, false, TRect{0, 0, 10, 100}, 0, 0x0000FF);
    const QImage& img = Finish();
    EXPECT_EQ(PixelColor(img, 0, 50), 0x0000FFu);
    EXPECT_EQ(PixelColor(img, 9, 50), 0x0000FFu);
    EXPECT_EQ(PixelColor(img, 5, 50), clBlack); // one step: one band in the start colour
}
