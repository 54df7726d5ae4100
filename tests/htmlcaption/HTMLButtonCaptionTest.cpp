// Caption placement, ellipsis, engraving and clicks of the HTML button.
#include "ButtonFixture.h"
#include "HTMLRenderer.h"

#include <QApplication>
#include <QMouseEvent>

using namespace quorvel;

namespace {

constexpr TColor kFace = RGBColor(200, 200, 255);

struct CaptionTest : ButtonTest {
    void SetUp() override {
        ButtonTest::SetUp();
        button.resize(200, 40);
        button.SetFlat(true);
        button.SetColor(kFace);
        button.SetHoverColor(kFace);
        button.SetBorderColor(0x00AA00);
        button.SetCaption(QStringLiteral("Hi"));
    }
    // Ink of the caption: the pixels in the button's text colour.
    QRect Ink(THTMLButton::TDrawState state = {}) {
        const QColor text = button.palette().color(QPalette::ButtonText);
        return Box(Paint(state), RGBColor(text.red(), text.green(), text.blue()));
    }
    TMarkupResult Measure(const std::string& markup, int width, bool wrap) {
        QImage scratch(8, 8, QImage::Format_RGB32);
        TQtCanvas canvas(&scratch);
        canvas.Font.Name = "Tahoma";
        canvas.Font.Size = 8;
        TMarkupOptions o;
        o.MeasureOnly = true;
        o.WordWrap = wrap;
        TMarkupResult r;
        RenderMarkup(canvas, markup, TRect{0, 0, width, 1000}, o, r);
        return r;
    }
};

} // namespace

TEST_F(CaptionTest, AlignmentsPlaceTheCaptionBlock) {
    const TMarkupResult m = Measure("Hi", 192, true);
    const QRect centre = Ink();
    // The text starts one pixel into its rectangle.
    const int centredLeft = 4 + (192 - m.MaxLineWidth) / 2 + 1;
    EXPECT_GE(centre.left(), centredLeft);
    EXPECT_LE(centre.left(), centredLeft + 2);
    const int centredTop = 4 + (32 - m.TotalHeight) / 2;
    EXPECT_GE(centre.top(), centredTop);
    EXPECT_LT(centre.bottom(), centredTop + m.TotalHeight);

    button.SetAlignment(haLeft);
    button.SetVAlignment(vaTop);
    const QRect topLeft = Ink();
    EXPECT_GE(topLeft.left(), 5);
    EXPECT_LE(topLeft.left(), 7);
    EXPECT_EQ(topLeft.top() - 4, centre.top() - centredTop);

    button.SetAlignment(haRight);
    button.SetVAlignment(vaBottom);
    const QRect bottomRight = Ink();
    EXPECT_EQ(bottomRight.left() - (196 - m.MaxLineWidth), topLeft.left() - 4);
    EXPECT_EQ(bottomRight.top() - (36 - m.TotalHeight), topLeft.top() - 4);

    // haHTML leaves the markup's own paragraph alignment.
    button.SetAlignment(haHTML);
    button.SetCaption(QStringLiteral("<p align=\"right\">Hi</p>"));
    EXPECT_LE(std::abs(Ink().right() - bottomRight.right()), 1);

    // Pressed moves the caption one pixel right and down.
    EXPECT_EQ(Ink({.Pressed = true}).topLeft(), Ink().topLeft() + QPoint(1, 1));
}

TEST_F(CaptionTest, CaptionLargerThanTheButton) {
    button.resize(40, 20);
    button.SetCaption(QStringLiteral("Hi<br>Hi<br>Hi<br>Hi"));
    // Centred both ways, a caption larger than its area starts at its top left.
    const QRect centred = Ink();
    EXPECT_LE(centred.top(), 6);
    button.SetVAlignment(vaBottom);
    const QRect bottom = Ink();
    // Placed above the top edge: only the last line shows, at 16 - line.
    const int line = Measure("Hi", 32, true).TotalHeight;
    EXPECT_EQ(bottom.top() - centred.top(), 12 - line);
}

TEST_F(CaptionTest, EllipsisCutsOneLineWrapBreaksAtSpaces) {
    const QString text = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta");
    button.resize(100, 60);
    button.SetCaption(text);
    const int line = Measure("x", 100, true).TotalHeight;
    const QRect wrapped = Ink();
    EXPECT_GT(wrapped.height(), 2 * line);
    button.SetEllipsis(true);
    const QRect cut = Ink();
    EXPECT_LE(cut.height(), line);
    EXPECT_LE(cut.right(), 96);
    // The cut line is as wide as what it shows, so it is centred.
    EXPECT_LE(std::abs((cut.left() - 4) - (96 - cut.right())), 3);
}

TEST_F(CaptionTest, DisabledCaptionIsEngraved) {
    button.SetCaption(QStringLiteral("HHHH"));
    const QImage img = Paint({.Disabled = true});
    const TColor grey = 0x808080;
    int greys = 0, whites = 0;
    for (int y = 1; y < 39; ++y)
        for (int x = 1; x < 199; ++x) {
            if (At(img, x, y) != grey)
                continue;
            ++greys;
            // Below right of the grey text lies its white copy (or more grey).
            const TColor below = At(img, x + 1, y + 1);
            EXPECT_TRUE(below == clWhite || below == grey);
            whites += below == clWhite;
        }
    EXPECT_GT(greys, 20);
    EXPECT_GT(whites, 10);
    EXPECT_EQ(Count(img, clBlack), 0);
    // A colour set in the markup overrides both.
    button.SetCaption(QStringLiteral("<font color=\"#FF0000\">HHHH</font>"));
    const QImage red = Paint({.Disabled = true});
    EXPECT_EQ(Count(red, grey), 0);
    EXPECT_GT(Count(red, 0x0000FF), 20);
}

TEST_F(CaptionTest, ShadowUsesTheButtonsOffsetAndColour) {
    button.SetCaption(QStringLiteral("<shad>HHHH</shad>"));
    button.SetShadowColor(0x00FF00);
    button.SetShadowOffset(3);
    const QImage img = Paint();
    const QRect shadow = Box(img, 0x00FF00);
    const QRect text = Box(img, clBlack);
    ASSERT_FALSE(shadow.isEmpty());
    EXPECT_EQ(shadow.bottomRight(), text.bottomRight() + QPoint(3, 3));
}

TEST_F(CaptionTest, DoubleClickPressesTwice) {
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    const QPointF at(10, 10);
    const auto send = [&](QEvent::Type type) {
        QMouseEvent e(type, at, button.mapToGlobal(at), Qt::LeftButton,
                      type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&button, &e);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    send(QEvent::MouseButtonDblClick);
    EXPECT_TRUE(button.isDown());
    send(QEvent::MouseButtonRelease);
    EXPECT_EQ(clicks, 2);
}
