// Anchors: counting, hit testing, focus and hover styling.
#include "RenderFixture.h"

using namespace quorvel;

namespace {
const std::string kTwoLinks = "go <a href=\"first\">one</a> or <a href=\"second\">two</a> now";
}

TEST_F(RenderTest, AnchorsAreCountedAndHitByThePointer) {
    const int left = 1 + Width("go one or ");
    options.PointerX = left + 3;
    options.PointerY = GH() / 2;
    EXPECT_TRUE(Render(kTwoLinks));
    EXPECT_EQ(result.LinkCount, 2);
    EXPECT_EQ(result.HitLink, 2);
    EXPECT_EQ(result.HitAnchor, "second");
    EXPECT_EQ(result.HitLinkRect, (TRect{left, 0, left + Width("two"), GH()}));

    options.PointerX = 1 + Width("go ") - 3;
    EXPECT_FALSE(Render(kTwoLinks));
    EXPECT_EQ(result.HitLink, -1);
    EXPECT_EQ(result.HitAnchor, "");
}

TEST_F(RenderTest, HitTestOnlyDrawsNothing) {
    options.HitTestOnly = true;
    options.PointerX = 1 + Width("go ") + 2;
    options.PointerY = GH() / 2;
    EXPECT_TRUE(Render(kTwoLinks));
    EXPECT_EQ(result.HitLink, 1);
    EXPECT_EQ(CountColor(Finish(), clWhite), kWidth * kHeight);
}

TEST_F(RenderTest, AnchorsSpanningLinesAreHitOnTheirSecondLine) {
    options.PointerX = 1 + Width("b");
    options.PointerY = GH() + GH() / 2;
    EXPECT_TRUE(Render("<a href=\"t\">a<br>bb</a>"));
    EXPECT_EQ(result.HitLink, 1);
    EXPECT_EQ(result.HitLinkRect, (TRect{1, GH(), 1 + Width("bb"), 2 * GH()}));
}

TEST_F(RenderTest, FocusedAnchorGetsItsTargetAndADottedRectangle) {
    options.FocusLink = 1;
    Render(kTwoLinks);
    EXPECT_EQ(result.FocusAnchor, "second");
    const QImage& img = Finish();
    // The dotted outline inverts every other pixel of its top edge.
    const int left = 1 + Width("go one or ") - 1;
    const int top = 0;
    EXPECT_EQ(PixelColor(img, left, top), clBlack);
    EXPECT_EQ(PixelColor(img, left + 1, top), clWhite);
    EXPECT_EQ(PixelColor(img, left + 2, top), clBlack);
    // Nothing is drawn in measure-only mode and no focus target is reported.
    EXPECT_EQ(Measure(kTwoLinks).FocusAnchor, "");
}

TEST_F(RenderTest, LinksTakeTheLinkColourAndAnUnderline) {
    options.LinkColor = 0x0000FF;
    Render("<a href=\"x\">LLL</a> ddd");
    const QImage& img = Finish();
    const int linkEnd = 1 + Width("LLL");
    EXPECT_GT(CountColor(img, 0x0000FF, QRect(0, 0, linkEnd, GH())),
              Width("LLL") - 2); // at least the underline
    EXPECT_EQ(CountColor(img, 0x0000FF, QRect(linkEnd + 1, 0, 100, GH())), 0);
}

TEST_F(RenderTest, HoverBrushOnlyOnTheHoveredLink) {
    options.StyleHoveredLinkOnly = true;
    options.HoverLink = 2;
    options.HoverBrushColor = 0x00FF00;
    Render(kTwoLinks);
    const QImage& img = Finish();
    const int first = 1 + Width("go "), second = 1 + Width("go one or ");
    EXPECT_EQ(CountColor(img, 0x00FF00, QRect(first, 0, Width("one"), GH())), 0);
    EXPECT_GT(CountColor(img, 0x00FF00, QRect(second, 0, Width("two"), GH())), Width("two") * GH() / 3);
    // The brush goes back after the anchor.
    EXPECT_EQ(CountColor(img, 0x00FF00, QRect(second + Width("two") + 2, 0, 40, GH())), 0);
}

TEST_F(RenderTest, HoverFontColourIsShownOnEveryLinkWhenNotLimitedToTheHoveredOne) {
    options.HoverFontColor = 0x00FF00;
    options.LinkColor = 0xFF0000;
    Render("<a href=\"x\">LLLL</a>");
    const QImage& img = Finish();
    EXPECT_GT(CountColor(img, 0x00FF00), 0);
    EXPECT_EQ(CountColor(img, 0xFF0000), 0);
}

TEST_F(RenderTest, SelectedIgnoresColourSettings) {
    options.Selected = true;
    Render("<a href=\"x\">LL</a><font color=\"#FF0000\" bgcolor=\"#00FF00\">RR</font>");
    const QImage& img = Finish();
    EXPECT_EQ(CountColor(img, 0x0000FF), 0);
    EXPECT_EQ(CountColor(img, 0x00FF00), 0);
    EXPECT_EQ(CountColor(img, 0xFF0000), 0);
}
