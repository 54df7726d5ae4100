// The generated background pictures, pixel by pixel against their formulas.
#include "ButtonFixture.h"

using namespace quorvel;

namespace {

constexpr int kR = 200, kG = 100, kB = 50;

QRgb Shade(int f) {
    return qRgb(kR * f / 255, kG * f / 255, kB * f / 255);
}

struct BackgroundTest : ButtonTest {
    // A 98 x 48 button gives a 100 x 50 picture.
    void SetUp() override {
        ButtonTest::SetUp();
        button.resize(98, 48);
        button.SetColor(RGBColor(kR, kG, kB));
    }
    const QImage& Build(TBtnBackground style) {
        button.SetBackground(style);
        Paint();
        return button.BackgroundImage();
    }
};

} // namespace

TEST_F(BackgroundTest, ShadesFollowTheirFormulas) {
    const struct {
        TBtnBackground Style;
        int X, Y, F;
    } cases[] = {
        {stDiagShade, 0, 0, 255},  {stDiagShade, 10, 20, 224}, // 255 - (12 + 51) div 2
        {stHShade, 0, 7, 132},     {stHShade, 50, 30, 192},
        {stHShade, 99, 0, 251},    {stHShadeInv, 0, 3, 251},
        {stHShadeInv, 99, 3, 133}, // the colour of column 1
        {stVShade, 7, 0, 251},     {stVShade, 60, 25, 192},
        {stVShadeInv, 7, 0, 132},  {stVShadeInv, 7, 49, 249}, // the colour of row 1
        {stHBump, 0, 9, 131},      {stHBump, 50, 9, 191},
        {stHBump, 99, 9, 247},     {stVBump, 9, 0, 250},
        {stVBump, 9, 25, 191},     {stSoftBump, 0, 0, 190},  // cx 128, cy -125: v = 3 * 120 div 128 + 128
        {stSoftBump, 50, 25, 191}, {stHardBump, 50, 0, 246}, // the row shade, inside the rounded ends
        {stHardBump, 99, 25, 247},                           // right end: 255 - (1 * 128 div 16 + 8) div 2
        {stHardBump, 0, 25, 132},                            // left end: 255 - 247 div 2
        {stNormal, 30, 30, 255},   {stXPTheme, 30, 30, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << int(c.Style) << " at " << c.X << "," << c.Y);
        EXPECT_EQ(Build(c.Style).pixel(c.X, c.Y), Shade(c.F));
    }
}

TEST_F(BackgroundTest, RadialShadesRunFromTheCentreToTheCorner) {
    // Centre (50, 25); D = Round(sqrt(50^2 + 25^2)) = 56.
    const QImage& inner = Build(stIRadial);
    EXPECT_EQ(inner.pixel(50, 25), Shade(255));
    EXPECT_EQ(inner.pixel(0, 0), Shade(0));
    EXPECT_EQ(inner.pixel(20, 10), Shade(100)); // r = 34: (22 / 56) * 255
    EXPECT_EQ(inner.pixel(80, 40), Shade(100)); // mirrored
    EXPECT_EQ(inner.pixel(80, 10), Shade(100));
    EXPECT_EQ(inner.pixel(20, 40), Shade(100));
    const QImage& outer = Build(stORadial);
    EXPECT_EQ(outer.pixel(50, 25), Shade(0));
    EXPECT_EQ(outer.pixel(0, 0), Shade(255));
    EXPECT_EQ(outer.pixel(20, 10), Shade(155));

    // Square: centre (25, 25), D = 35; no shade leaves 0..255.
    button.resize(48, 48);
    const QImage& square = Build(stIRadial);
    EXPECT_EQ(square.pixel(25, 25), Shade(255));
    EXPECT_EQ(square.pixel(0, 0), Shade(0));
    EXPECT_EQ(square.pixel(25, 0), Shade(73)); // r = 25: (10 / 35) * 255 = 72.9
    // Tiny buttons divide by nothing.
    button.resize(0, 0);
    EXPECT_EQ(Build(stORadial).size(), QSize(2, 2));
}

TEST_F(BackgroundTest, NoiseComesFromTheSeededGenerator) {
    const QImage noise = Build(stNoise);
    // Pixels are visited column by column.
    THTMLButton::TRandom random{12345u};
    EXPECT_EQ(noise.pixel(0, 0), Shade(255 - (random.Next(32) + 128) / 2));
    EXPECT_EQ(noise.pixel(0, 1), Shade(255 - (random.Next(32) + 128) / 2));
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) {
            const int red = qRed(noise.pixel(x, y));
            ASSERT_GE(red, kR * 176 / 255);
            ASSERT_LE(red, kR * 191 / 255);
        }
    EXPECT_EQ(Build(stNoise), noise);
    THTMLButton::SeedSource() = [] { return 99u; };
    EXPECT_NE(Build(stNoise), noise);
}

TEST_F(BackgroundTest, MetalStreaksDarkenTheShade) {
    button.SetColor(clWhite);
    for (TBtnBackground style : {stLMetal, stRMetal}) {
        const QImage metal = Build(style);
        int plain = 0, darker = 0;
        for (int y = 0; y < 50; ++y)
            for (int x = 0; x < 100; ++x) {
                // Unstreaked pixels keep their blue 255 before the shade.
                const int f = 255 - (x * 120 / 100 + y * 120 / 50) / 2;
                const int blue = qBlue(metal.pixel(x, y));
                plain += blue == f;
                darker += blue < f;
                ASSERT_LE(blue, f);
            }
        EXPECT_GT(darker, 100);
        EXPECT_GT(plain, 1000);
        EXPECT_EQ(Build(style), metal);
    }
    const QImage left = Build(stLMetal);
    EXPECT_NE(Build(stRMetal), left);
}

TEST_F(BackgroundTest, SystemColourIsResolved) {
    button.SetColor(SystemColor(COLOR_BTNFACE));
    const TColor face = ColorToRGB(SystemColor(COLOR_BTNFACE));
    EXPECT_EQ(Build(stNormal).pixel(5, 5), qRgb(RedOf(face), GreenOf(face), BlueOf(face)));
}
