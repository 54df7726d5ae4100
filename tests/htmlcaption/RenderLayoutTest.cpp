// Measurement results of the renderer: widths, heights, plain text, lines.
#include "RenderFixture.h"

using namespace quorvel;

TEST_F(RenderTest, EmptyMarkupDrawsNothingAndHasOneTextHeight) {
    EXPECT_FALSE(Render(""));
    EXPECT_EQ(result.TotalHeight, GH());
    EXPECT_EQ(result.MaxLineWidth, 0);
    EXPECT_EQ(result.HitLink, -1);
    EXPECT_EQ(CountColor(Finish(), clWhite), kWidth * kHeight);
}

TEST_F(RenderTest, PlainTextDropsTagsAndTurnsBreaksIntoCarriageReturns) {
    Render("a<b>b</b><br>c\r\nd <x y=\"1\">e");
    EXPECT_EQ(result.PlainText, "ab\rc\rd e");
    EXPECT_EQ(result.TotalHeight, 3 * GH());
}

TEST_F(RenderTest, AmpersandsAndEscapedBracketsShowAsText) {
    TRect r{0, 0, 1000, 100};
    canvas->DrawText("a & b", r, dtCalcRect | dtNoPrefix);
    EXPECT_EQ(Measure("a &amp; b").MaxLineWidth, r.Width());
    EXPECT_EQ(Measure("a && b").MaxLineWidth, r.Width());
    // A single ampersand only marks the next character.
    EXPECT_EQ(Measure("&x").MaxLineWidth, Width("x"));

    const TMarkupResult lt = Measure("&lt;b&gt;x");
    EXPECT_EQ(lt.PlainText, "<b>x");
    EXPECT_EQ(lt.MaxLineWidth, canvas->TextWidth("<b>x"));
}

TEST_F(RenderTest, BareLessThanOpensATag) {
    EXPECT_EQ(Measure("a<b c").PlainText, "a");
    EXPECT_EQ(Measure("a < b> c").PlainText, "a  c");
    EXPECT_EQ(Measure("ab<").PlainText, "ab");
}

TEST_F(RenderTest, WordWrapBreaksAtSpacesOnly) {
    const int word = Width("aaa");
    TRect narrow{0, 0, word + Width(" ") + 4, 400};
    EXPECT_EQ(Measure("aaa bbb ccc", narrow).TotalHeight, 3 * GH());
    EXPECT_EQ(Measure("aaa bbb ccc", narrow).MaxLineWidth, word);
    // A word wider than the line stands alone on its line.
    const TMarkupResult wide = Measure("a verylongwordindeed b", TRect{0, 0, word, 400});
    EXPECT_EQ(wide.TotalHeight, 3 * GH());
    EXPECT_EQ(wide.MaxLineWidth, Width("verylongwordindeed"));
    // A run glued to the previous one moves with it.
    EXPECT_EQ(Measure("aaa<b>bbb</b>", TRect{0, 0, word + 2, 400}).TotalHeight, GH());
}

TEST_F(RenderTest, WithoutWordWrapTheOverflowingRunIsTheLastOnTheLine) {
    options.WordWrap = false;
    const TMarkupResult r = Measure("aaa <b>bbb</b> ccc", TRect{0, 0, Width("aaa b"), 400});
    EXPECT_EQ(r.PlainText, "aaa bbb");
    EXPECT_EQ(r.TotalHeight, GH());
    // A single long run is cut by the ellipsis.
    const TMarkupResult one = Measure("aaaa bbbb cccc dddd", TRect{0, 0, 40, 400});
    EXPECT_LE(one.MaxLineWidth, 40);
    EXPECT_EQ(one.TotalHeight, GH());
}

TEST_F(RenderTest, ClosingFontReturnsToTheEntryFontNotTheOuterOne) {
    const int got = Measure("<font size=\"5\">A<font size=\"2\">B</font>CC</font>").MaxLineWidth;
    TFont f = canvas->Font;
    const int cc = Width("CC");
    canvas->Font.Size = 16;
    const int a = Width("A");
    canvas->Font.Size = 10;
    const int b = Width("B");
    canvas->Font = f;
    EXPECT_EQ(got, a + b + cc);
}

TEST_F(RenderTest, FontSizesMapSmallNumbersToPoints) {
    canvas->Font.Size = 12;
    const int h12 = GH();
    canvas->Font.Size = 20;
    const int h20 = GH();
    canvas->Font.Size = 8;
    EXPECT_EQ(Measure("<font size=\"3\">x</font>").TotalHeight, h12);
    EXPECT_EQ(Measure("<font size=\"20\">x</font>").TotalHeight, h20);
    EXPECT_EQ(Measure("<font size=3>x</font>").TotalHeight, h12);
    // An unquoted size followed by a quoted attribute reads the size itself.
    EXPECT_EQ(Measure("<font size=3 color=\"#FF0000\">x</font>").TotalHeight, h12);
    // Absurd sizes and faces degrade without failing.
    EXPECT_GT(Measure("<font size=\"99999999999\" face=\"No Such Face\">x").TotalHeight, 0);
}

TEST_F(RenderTest, DrawingStopsAtTheBottomButMeasuringDoesNot) {
    const int g = GH();
    const TRect bounds{0, 0, kWidth, g * 5 / 2};
    Render("a<br>b<br>c<br>d<br>e", bounds);
    EXPECT_EQ(result.TotalHeight, 2 * g);
    EXPECT_EQ(result.PlainText, "a\rb\r");
    EXPECT_EQ(Measure("a<br>b<br>c<br>d<br>e", bounds).TotalHeight, 5 * g);
    // The first line is always drawn.
    Render("first<br>second", TRect{0, 0, kWidth, 2});
    EXPECT_EQ(result.PlainText, "first\r");
}

TEST_F(RenderTest, OverwideAlignedLinesStayAtTheLeftEdge) {
    const std::string word = "wordwiderthanthebox";
    for (const char* align : {"right", "center"}) {
        Reset(kWidth, kHeight);
        Render(std::string("<p align=\"") + align + "\">" + word, TRect{10, 0, 40, kHeight});
        EXPECT_LE(InkLeft(Finish()), 13) << align;
    }
    Reset(kWidth, kHeight);
    Render("<p align=\"right\">x", TRect{0, 0, 200, kHeight});
    EXPECT_GE(InkLeft(Finish()), 200 - Width("x") - 1);
}

TEST_F(RenderTest, ListItemsEndLinesAndIndentByLevel) {
    EXPECT_EQ(Measure("<li>a<li>b").TotalHeight, 2 * GH());
    // UL ends its own line, then one line per item.
    EXPECT_EQ(Measure("<ul><li>a<li>b</ul>").TotalHeight, 3 * GH());
    EXPECT_EQ(Measure("<ul><li>x</ul>").MaxLineWidth, 12 + Width("x"));
    EXPECT_EQ(Measure("<ul><ul><li>x</ul></ul>").MaxLineWidth, 24 + Width("x"));
}

TEST_F(RenderTest, TabPositionMovesToAnAbsoluteColumn) {
    EXPECT_EQ(Measure("a<in x=\"100\">b").MaxLineWidth, 100 + Width("b"));
    EXPECT_EQ(Measure("a<in x=\"1\">b").MaxLineWidth, Width("ab"));
    EXPECT_EQ(Measure("a<in x=\"10z\">b").MaxLineWidth, Width("ab"));
}

TEST_F(RenderTest, LineSpacingAndSubscriptsAddToTheHeight) {
    options.LineSpacing = 5;
    EXPECT_EQ(Measure("a<br>b").TotalHeight, 2 * (GH() + 5));
    options.LineSpacing = 0;
    EXPECT_EQ(Measure("a<sub>2</sub>").TotalHeight, GH() + GH() / 4);
    EXPECT_EQ(Measure("a<sup>2</sup><sub>3</sub>").TotalHeight, GH() + 2 * (GH() / 4));
}

TEST_F(RenderTest, HostileMarkupDegradesQuietly) {
    const std::string deep = std::string(5000, '<') + std::string(5000, '>');
    std::string nested;
    for (int i = 0; i < 2000; ++i)
        nested += "<ul><font size=\"9\"><a href=\"x\"><b><li>";
    const std::string huge = "<font face=\"" + std::string(100000, 'A') + "\">x<img src=\"" +
                             std::string(50000, 'y') + "\" width=\"999999999\" height=\"-5\">";
    for (const std::string& m :
         {deep, nested, huge, std::string("<"), std::string("<a href=\"unterminated"), std::string("</"),
          std::string("<in x=\"2147483647\">a<in x=\"-2147483648\">"),
          std::string("<r a=\"-2147483648\">x</r>"), std::string("\t&\t<\t>")}) {
        Render(m);
        EXPECT_GT(result.TotalHeight, 0);
        Measure(m);
    }
}
