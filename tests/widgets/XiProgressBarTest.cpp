// Pixels of the gradient progress bar: extents, gradient shades, the
// read-back lines, schemes and the setters' rules.
#include "XiProgressBar.h"
#include "TComponent.h"

#include <QApplication>
#include <QPainter>
#include <QVBoxLayout>
#include <climits>
#include <gtest/gtest.h>
#include <thread>

using namespace quorvel;

namespace {

TColor At(const QImage& image, int x, int y) {
    const QRgb p = image.pixel(x, y);
    return RGBColor(qRed(p), qGreen(p), qBlue(p));
}

// csSky as 0x00BBGGRR.
constexpr TColor kSkyBorder = RGBColor(0x00, 0x59, 0xB3);

struct TSkyBar : ::testing::Test {
    TXiProgressBar bar;
    void SetUp() override { bar.SetColorScheme(csSky); }
    QImage Paint(int w, int h, int position) {
        bar.resize(w, h);
        bar.SetPosition(position);
        return bar.PaintImage();
    }
};

// Hand-computed csSky shades for a 16-pixel-high horizontal bar: the back
// gradient #D5EAFF..#FFFFFF has 14 steps, the fore #DDEEFF..#5EAEFF has 16.
constexpr TColor kBackRow4 = RGBColor(225, 240, 255);  // 213 + 4*3, 234 + 4*1.5
constexpr TColor kBackRow5 = RGBColor(228, 242, 255);  // green 241.5 goes to the even 242
constexpr TColor kBackRow1 = RGBColor(216, 236, 255);  // green 235.5 goes to 236
constexpr TColor kForeRow1 = RGBColor(213, 234, 255);  // 221 - 7.94, 238 - 4
constexpr TColor kForeRow4 = RGBColor(189, 222, 255);  // 221 - 31.75, 238 - 16
constexpr TColor kForeRow14 = RGBColor(110, 182, 255); // 221 - 111.125, 238 - 56

} // namespace

TEST_F(TSkyBar, HorizontalFillExtentsRoundHalfToEven) {
    const struct {
        int Width, Position, Fill;
    } cases[] = {{313, 30, 93}, {313, 50, 156}, {313, 100, 311}, {11, 50, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " wide at " << c.Position);
        const QImage img = Paint(c.Width, 16, c.Position);
        // The fill column carries the read-back colour of (2, H - 2).
        EXPECT_EQ(At(img, c.Fill, 4), kForeRow14);
        EXPECT_EQ(At(img, c.Fill - 1, 4), kForeRow4);
        if (c.Fill + 1 < c.Width - 1)
            EXPECT_EQ(At(img, c.Fill + 1, 4), kBackRow4);
        else
            EXPECT_EQ(At(img, c.Fill + 1, 4), kSkyBorder);
    }
}

TEST_F(TSkyBar, HorizontalGradientsReadBackLinesAndBorder) {
    const QImage img = Paint(313, 16, 50);
    EXPECT_EQ(At(img, 100, 4), kForeRow4);
    EXPECT_EQ(At(img, 200, 4), kBackRow4);
    EXPECT_EQ(At(img, 200, 5), kBackRow5);
    // Column 1 takes the colour of (1, 1) over rows 1 .. H - 1.
    for (int y = 1; y < 15; ++y)
        EXPECT_EQ(At(img, 1, y), kForeRow1) << y;
    // The fill column keeps its colour down to the border.
    EXPECT_EQ(At(img, 156, 1), kForeRow14);
    EXPECT_EQ(At(img, 156, 14), kForeRow14);
    for (int x = 0; x < 313; ++x) {
        EXPECT_EQ(At(img, x, 0), kSkyBorder);
        EXPECT_EQ(At(img, x, 15), kSkyBorder);
    }
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(At(img, 0, y), kSkyBorder);
        EXPECT_EQ(At(img, 312, y), kSkyBorder);
    }
}

TEST_F(TSkyBar, AtTheMinimumOnlyBackLineAndBorderShow) {
    const QImage img = Paint(313, 16, 0);
    EXPECT_EQ(At(img, 1, 5), kBackRow1);
    EXPECT_EQ(At(img, 2, 5), kBackRow5);
    EXPECT_EQ(At(img, 5, 4), kBackRow4);
    EXPECT_EQ(At(img, 0, 5), kSkyBorder);
}

TEST_F(TSkyBar, VerticalFillTopsAndShades) {
    bar.SetOrientation(pbVertical);
    // 20 wide: the back gradient has 18 column steps, the fore 20.
    const TColor backCol5 = RGBColor(225, 240, 255);   // 224.67, 239.83
    const TColor readTop = RGBColor(113, 184, 255);    // fore column 17: 113.05, 183.6
    const TColor readBottom = RGBColor(208, 232, 255); // fore column 2: 208.3, 231.6
    const TColor foreCol5 = RGBColor(189, 222, 255);

    QImage img = Paint(20, 16, 50);
    EXPECT_EQ(At(img, 5, 7), backCol5);
    EXPECT_EQ(At(img, 5, 8), readTop); // top = 8
    EXPECT_EQ(At(img, 19, 8), kSkyBorder);
    EXPECT_EQ(At(img, 5, 10), foreCol5);
    EXPECT_EQ(At(img, 5, 14), readBottom);
    EXPECT_EQ(At(img, 5, 15), kSkyBorder);

    img = Paint(20, 16, 100); // top = 1
    EXPECT_EQ(At(img, 5, 0), kSkyBorder);
    EXPECT_EQ(At(img, 5, 1), readTop);
    EXPECT_EQ(At(img, 5, 2), foreCol5);

    img = Paint(20, 16, 0); // top = 15, on the border: no fore
    EXPECT_EQ(At(img, 5, 13), backCol5);
    EXPECT_EQ(At(img, 5, 15), kSkyBorder);
    // The bottom read-back line takes the back colour of column 2.
    EXPECT_EQ(At(img, 5, 14), RGBColor(218, 236, 255)); // 217.67, 236.33

    img = Paint(20, 16, 1000000); // far past Max: full down to the bottom inner row
    EXPECT_EQ(At(img, 5, 1), foreCol5);
    EXPECT_EQ(At(img, 5, 13), foreCol5);
    EXPECT_EQ(At(img, 5, 14), readBottom);
}

TEST_F(TSkyBar, BorderTakesSystemColours) {
    bar.SetColorBorder(SystemColor(COLOR_BTNSHADOW));
    const QImage img = Paint(313, 16, 50);
    EXPECT_EQ(At(img, 0, 0), ColorToRGB(SystemColor(COLOR_BTNSHADOW)));
    EXPECT_EQ(At(img, 312, 15), ColorToRGB(SystemColor(COLOR_BTNSHADOW)));
}

TEST_F(TSkyBar, SchemeTurnsCustomOnAColourAndComesBack) {
    EXPECT_EQ(bar.ColorScheme(), csSky);
    bar.SetBackColorFace(0x123456);
    EXPECT_EQ(bar.ColorScheme(), csCustom);
    EXPECT_EQ(bar.BackColorFace(), 0x123456u);
    EXPECT_EQ(bar.ColorBorder(), kSkyBorder);
    bar.SetColorScheme(csCustom);
    EXPECT_EQ(bar.BackColorFace(), 0x123456u);
    bar.SetColorScheme(csSky);
    EXPECT_EQ(bar.BackColorFace(), RGBColor(0xD5, 0xEA, 0xFF));
    EXPECT_EQ(bar.ForeColorGrad(), RGBColor(0x5E, 0xAE, 0xFF));
    // An unknown index stores nothing but still marks the colours custom.
    bar.SetIndexedColor(5, 0x111111);
    EXPECT_EQ(bar.ColorScheme(), csCustom);
    EXPECT_EQ(bar.BackColorFace(), RGBColor(0xD5, 0xEA, 0xFF));
}

TEST(XiProgressBar, NewBarAndStoredProperties) {
    TXiProgressBar bar;
    EXPECT_EQ(bar.width(), 200);
    EXPECT_EQ(bar.height(), 16);
    EXPECT_EQ(bar.ColorScheme(), csDesert);
    EXPECT_EQ(bar.ColorBorder(), RGBColor(0x80, 0x56, 0x00));
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Step(), 10);
    EXPECT_EQ(bar.Orientation(), pbHorizontal);
    for (const char* name : {"ColorBorder", "BackColorFace", "BackColorGrad", "ForeColorFace",
                             "ForeColorGrad", "ColorScheme", "Max", "Min", "Position", "Step", "Orientation"})
        EXPECT_TRUE(TComponent::DefaultOf(bar, name).isNull()) << name;
    // A form description names the scheme by its text.
    EXPECT_TRUE(bar.setProperty("ColorScheme", QStringLiteral("csSky")));
    EXPECT_EQ(bar.ColorScheme(), csSky);
}

TEST(XiProgressBar, SettersRefuseValuesOutsideTheRange) {
    TXiProgressBar bar;
    bar.SetPosition(40);
    bar.SetMin(101);
    EXPECT_EQ(bar.Min(), 0);
    bar.SetMax(-1);
    EXPECT_EQ(bar.Max(), 100);
    bar.SetPosition(-1);
    EXPECT_EQ(bar.Position(), 40);
    bar.SetPosition(500); // no upper check
    EXPECT_EQ(bar.Position(), 500);
}

TEST_F(TSkyBar, DegenerateRangesAndSizesDrawEmptyOrFull) {
    bar.resize(313, 16);
    bar.SetMax(0);
    QImage img = Paint(313, 16, 0);
    EXPECT_EQ(At(img, 200, 4), kBackRow4);
    img = Paint(313, 16, 3); // Max = Min and beyond: full
    EXPECT_EQ(At(img, 311, 4), kForeRow14);
    EXPECT_EQ(At(img, 200, 4), kForeRow4);

    bar.SetMin(INT_MIN);
    bar.SetMax(INT_MAX);
    img = Paint(313, 16, INT_MAX);
    EXPECT_EQ(At(img, 311, 4), kForeRow14);
    img = Paint(313, 16, INT_MIN);
    EXPECT_EQ(At(img, 200, 4), kBackRow4);
    img = Paint(313, 16, 0); // half way
    EXPECT_EQ(At(img, 156, 4), kForeRow14);

    // Zero pixels inside; far beyond the maximum.
    for (int h : {1, 2, 3})
        EXPECT_EQ(Paint(50, h, INT_MAX).size(), QSize(50, h));
    bar.SetOrientation(pbVertical);
    for (int w : {1, 2, 3})
        EXPECT_EQ(Paint(w, 16, INT_MAX).size(), QSize(w, 16));
    bar.SetMin(0);
    bar.SetMax(100);
    img = Paint(20, 16, 1000000);
    EXPECT_EQ(At(img, 5, 0), kSkyBorder);
}

namespace {
class TCountingBar : public TXiProgressBar {
public:
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++Paints;
        TXiProgressBar::paintEvent(event);
    }
};
} // namespace

TEST(XiProgressBar, RangeSettersPaintAtOnceOthersLater) {
    TCountingBar bar;
    bar.show();
    QApplication::processEvents();
    const int before = bar.Paints;
    bar.SetPosition(10);
    bar.SetMax(200);
    bar.SetMin(5);
    bar.SetStep(3);
    EXPECT_EQ(bar.Paints, before + 4);
    bar.SetColorScheme(csRose);
    bar.SetOrientation(pbVertical);
    bar.SetForeColorFace(0x0000FF);
    EXPECT_EQ(bar.Paints, before + 4);
    QApplication::processEvents();
    EXPECT_GT(bar.Paints, before + 4);
}

TEST(XiProgressBar, AHiddenBarDrawsNothing) {
    TXiProgressBar bar;
    bar.SetPosition(50);
    QImage target(200, 16, QImage::Format_RGB32);
    target.fill(Qt::magenta);
    bar.render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(At(target, 100, 0), At(bar.PaintImage(), 100, 0));

    bar.SetVisible(false);
    target.fill(Qt::magenta);
    bar.render(&target, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(target.pixel(0, 0), QColor(Qt::magenta).rgb());
    EXPECT_EQ(target.pixel(100, 8), QColor(Qt::magenta).rgb());
}

TEST(XiProgressBar, ASetterOffTheGuiThreadLeavesThePaintToIt) {
    TCountingBar bar;
    bar.show();
    QApplication::processEvents();
    const int before = bar.Paints;
    std::thread([&] { bar.SetPosition(70); }).join();
    EXPECT_EQ(bar.Position(), 70);
    EXPECT_EQ(bar.Paints, before);
    // The queued call schedules the repaint, which the next pass delivers.
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_GT(bar.Paints, before);
}

// In a layout a bar keeps its thickness and takes the length it is given,
// lying or standing, instead of collapsing to nothing.
TEST(XiProgressBar, ALayoutGivesTheBarItsThicknessAndItsLength) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* lying = new TXiProgressBar;
    auto* standing = new TXiProgressBar;
    standing->SetOrientation(pbVertical);
    layout->addWidget(lying);
    layout->addWidget(standing);
    window.resize(400, 500);
    layout->activate();
    EXPECT_EQ(lying->height(), 16);
    EXPECT_GT(lying->width(), 300);
    EXPECT_EQ(standing->width(), 16);
    EXPECT_GT(standing->height(), 300);
    EXPECT_EQ(standing->sizeHint(), QSize(16, 200));
}
