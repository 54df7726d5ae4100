// Lines cut by the ellipsis, picture locations in mixed case, tiled
// backgrounds, shared pictures and shell icons.
#include "PictureContainer.h"
#include "RenderFixture.h"
#include "TShellIcons.h"
#include "TempDir.h"

#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QResource>
#include <fstream>

using namespace quorvel;

namespace {

// Counts the picture operations a render makes.
class CountingCanvas : public TQtCanvas {
public:
    using TQtCanvas::TQtCanvas;
    int Images = 0, Tiles = 0;
    void DrawImage(int x, int y, const QImage& image) override {
        ++Images;
        TQtCanvas::DrawImage(x, y, image);
    }
    void StretchDrawImage(const TRect& dest, const QImage& image) override {
        ++Images;
        TQtCanvas::StretchDrawImage(dest, image);
    }
    void TileImage(const TRect& area, const QImage& image) override {
        ++Tiles;
        TQtCanvas::TileImage(area, image);
    }
};

// 4 x 2: two red columns, then two blue ones.
QImage TwoColourTile() {
    QImage img(4, 2, QImage::Format_RGB32);
    img.fill(Qt::red);
    for (int y = 0; y < 2; ++y)
        for (int x = 2; x < 4; ++x)
            img.setPixel(x, y, qRgb(0, 0, 255));
    return img;
}

} // namespace

TEST_F(RenderTest, WithoutWordWrapNothingShowsAfterTheCut) {
    options.WordWrap = false;
    const std::string markup = "aaaaaaaaaaaaaaaaaaaa<font color=\"#FF0000\">XXXX</font><br>next";
    const TMarkupResult m = Measure(markup, TRect{0, 0, 60, 100});
    EXPECT_EQ(m.PlainText, "aaaaaaaaaaaaaaaaaaaa");
    EXPECT_EQ(m.TotalHeight, GH());
    // The width is that of the cut text, so a centred line is centred.
    TRect cut{0, 0, 59, 100};
    canvas->DrawText("aaaaaaaaaaaaaaaaaaaa", cut, dtEndEllipsis | dtCalcRect);
    EXPECT_EQ(m.MaxLineWidth, cut.Width());

    Render(markup, TRect{0, 0, 60, 100});
    const QImage& img = Finish();
    EXPECT_EQ(CountColor(img, 0x0000FF), 0);
    EXPECT_LT(InkBottom(img), GH());
    EXPECT_GT(CountColor(img, clBlack, QRect(0, 0, 60, GH())), 0);
}

TEST_F(RenderTest, WithoutWordWrapALineThatFitsIsWhole) {
    options.WordWrap = false;
    const TMarkupResult m = Measure("ab<b>cd</b><br>ef", TRect{0, 0, 200, 100});
    EXPECT_EQ(m.PlainText, "abcd\ref");
    EXPECT_EQ(m.TotalHeight, 2 * GH());
}

class PictureLocations : public RenderTest {
protected:
    void SetUp() override {
        RenderTest::SetUp();
        file = QString::fromStdString((dir / "MixedCase.png").string());
        ASSERT_TRUE(TwoColourTile().save(file));
        options.PictureCache = &cache;
    }
    // Registers ":/MixedTile" built by Qt's resource compiler.
    bool RegisterResource() {
        const QString rccTool =
            QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/rcc");
        if (!QFile::exists(rccTool))
            return false;
        std::ofstream(dir / "tiles.qrc")
            << "<RCC><qresource prefix=\"/\"><file alias=\"MixedTile\">MixedCase.png"
               "</file></qresource></RCC>";
        rcc = QString::fromStdString((dir / "tiles.rcc").string());
        return QProcess::execute(rccTool, {QStringLiteral("--binary"), QStringLiteral("-o"), rcc,
                                           QString::fromStdString((dir / "tiles.qrc").string())}) == 0 &&
               QResource::registerResource(rcc);
    }
    void TearDown() override {
        if (!rcc.isEmpty())
            QResource::unregisterResource(rcc);
    }
    TempDir dir;
    QString file;
    QString rcc;
    THTMLPictureCache cache;
};

TEST_F(PictureLocations, BackgroundFromAFileInMixedCaseIsOneTiledFill) {
    Reset(20, 10);
    canvas.reset();
    {
        CountingCanvas counting(&image);
        counting.Brush.SetColor(clNone);
        RenderMarkup(counting, "<body background=\"file://" + file.toStdString() + "\">", TRect{3, 2, 15, 8},
                     options, result);
        EXPECT_EQ(counting.Tiles, 1);
        EXPECT_EQ(counting.Images, 0);
    }
    const QImage& img = image;
    // Tiles start at the area's top-left corner.
    EXPECT_EQ(PixelColor(img, 3, 2), 0x0000FFu);
    EXPECT_EQ(PixelColor(img, 5, 2), 0xFF0000u);
    EXPECT_EQ(PixelColor(img, 7, 7), 0x0000FFu);
    EXPECT_EQ(PixelColor(img, 14, 3), 0xFF0000u);
    EXPECT_EQ(PixelColor(img, 15, 3), clWhite);
    EXPECT_EQ(PixelColor(img, 2, 3), clWhite);
    EXPECT_EQ(PixelColor(img, 5, 8), clWhite);
}

TEST_F(PictureLocations, ResourceNamesKeepTheirCase) {
    if (!RegisterResource())
        GTEST_SKIP() << "Qt resource compiler not available";
    Render("<body background=\"res://MixedTile\">", TRect{0, 0, 8, 4});
    EXPECT_EQ(PixelColor(Finish(), 0, 0), 0x0000FFu);
    Reset(kWidth, kHeight);
    EXPECT_EQ(Measure("<img src=\"res://MixedTile\">x").MaxLineWidth, 4 + Width("x"));
    // The alternative picture of a hovered image keeps its case too.
    Reset(kWidth, kHeight);
    options.PointerX = 2;
    options.PointerY = 1;
    QImage green(2, 2, QImage::Format_RGB32);
    green.fill(Qt::green);
    const QString other = QString::fromStdString((dir / "OtherCase.png").string());
    ASSERT_TRUE(green.save(other));
    Render("<a href=\"h\"><img src=\"res://MixedTile\" alt=\"file://" + other.toStdString() +
           "\" width=\"4\" height=\"2\"></a>");
    EXPECT_EQ(CountColor(Finish(), 0x00FF00), 4 * 2);
}

TEST_F(RenderTest, AnUnsizedPictureIsNeverLeftStretched) {
    TempDir dir;
    const QString file = QString::fromStdString((dir / "p.png").string());
    ASSERT_TRUE(TwoColourTile().save(file));
    TPictureContainer container;
    TPictureItem* item = container.Items()->Add();
    item->SetName("p");
    item->Picture()->LoadFromFile(file);
    options.PictureContainer = &container;
    THTMLPicture* picture = item->Picture();

    Render("<img src=\"p\" width=\"40\" height=\"20\"><img src=\"p\">");
    EXPECT_FALSE(picture->Stretch());
    const QImage& img = Finish();
    EXPECT_EQ(CountColor(img, 0xFF0000) + CountColor(img, 0x0000FF), 40 * 20 + 4 * 2);

    // A picture its owner set to stretch keeps that setting but an unsized
    // image still shows it in its own size.
    picture->SetStretch(true);
    Reset(kWidth, kHeight);
    Render("<img src=\"p\">");
    EXPECT_TRUE(picture->Stretch());
    EXPECT_EQ(CountColor(Finish(), 0xFF0000), 4);
}

TEST_F(RenderTest, ShellIconsAreNotLookedUpWhileMeasuring) {
    TempDir dir;
    const std::string markup = "<img src=\"ssys:" + dir.Path().string() + "\">";
    const int before = TShellIcons::Count();
    EXPECT_EQ(Measure(markup).MaxLineWidth, 16);
    EXPECT_EQ(TShellIcons::Count(), before);
}
