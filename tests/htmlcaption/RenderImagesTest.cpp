// Images from the image list, the shell icons and the picture store.
#include "PictureContainer.h"
#include "RenderFixture.h"
#include "TImageList.h"
#include "TempDir.h"

using namespace quorvel;

namespace {

QImage Solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return img;
}

} // namespace

class RenderImagesTest : public RenderTest {
protected:
    RenderImagesTest() : list(20, 20) {
        list.Add(Solid(20, 20, Qt::red));
        list.Add(Solid(20, 20, Qt::green));
        options.ImageList = &list;
    }
    TImageList list;
};

TEST_F(RenderImagesTest, ImageListImagesTakeTheirBox) {
    Render("a<img src=\"idx:1\">b");
    EXPECT_EQ(result.MaxLineWidth, Width("ab") + 20);
    EXPECT_EQ(result.TotalHeight, std::max(20, GH()));
    const QImage& img = Finish();
    EXPECT_EQ(PixelColor(img, 1 + Width("a") + 10, 10), 0x00FF00u);
    EXPECT_EQ(CountColor(img, 0x00FF00), 400);
}

TEST_F(RenderImagesTest, MissingOrOutOfRangeImagesHaveNoBox) {
    EXPECT_EQ(Measure("a<img src=\"idx:2\">b").MaxLineWidth, Width("ab"));
    EXPECT_EQ(Measure("a<img src=\"idx:-1\">b").MaxLineWidth, Width("ab"));
    EXPECT_EQ(Measure("a<img src=\"nothing\">b").MaxLineWidth, Width("ab"));
    options.ImageList = nullptr;
    EXPECT_EQ(Measure("a<img src=\"idx:0\">b").MaxLineWidth, Width("ab"));
}

TEST_F(RenderImagesTest, ImagesThatDoNotFitMoveToTheNextLine) {
    const int room = Width("aaaa") + 10;
    EXPECT_EQ(Measure("aaaa<img src=\"idx:0\">", TRect{0, 0, room + 1, 400}).TotalHeight,
              GH() + std::max(GH(), 20));
    // Wider than the whole line: stays.
    EXPECT_EQ(Measure("<img src=\"idx:0\">", TRect{0, 0, 11, 400}).TotalHeight, std::max(GH(), 20));
}

TEST_F(RenderImagesTest, AlignTopRaisesTheTextOfTheLine) {
    Render("x<img src=\"idx:0\" align=\"top\">");
    const int bottom = InkBottom(Finish());
    EXPECT_EQ(bottom, 19); // the image's own bottom row
    Reset(kWidth, kHeight);
    Render("xg<img src=\"idx:0\" align=\"top\">"); // text stays inside the line
    EXPECT_LT(InkBottom(Finish()), 20);
}

TEST_F(RenderImagesTest, ImageInsideAnAnchorIsHitAndShowsItsAltPicture) {
    options.PointerX = 1 + 10;
    options.PointerY = 10;
    const std::string markup = "<a href=\"pic\"><img src=\"idx:0\" alt=\"idx:1\"></a>";
    EXPECT_TRUE(Render(markup));
    EXPECT_EQ(result.HitAnchor, "pic");
    const QImage& img = Finish();
    EXPECT_EQ(PixelColor(img, 11, 10), 0x00FF00u);
}

TEST_F(RenderImagesTest, PrintingStretchesImagesByTheScaleFactor) {
    options.Printing = true;
    options.ScaleFactor = 2.0;
    Render("<img src=\"idx:0\">");
    EXPECT_EQ(CountColor(Finish(), 0x0000FF), 1600);
}

TEST_F(RenderImagesTest, PicturesByNameAndByLocation) {
    TempDir dir;
    const QString file = QString::fromStdString((dir / "p.png").string());
    ASSERT_TRUE(Solid(8, 6, Qt::blue).save(file));
    TPictureContainer container;
    TPictureItem* item = container.Items()->Add();
    item->SetName("Logo");
    item->Picture()->LoadFromFile(file);
    THTMLPictureCache cache;
    options.PictureContainer = &container;
    options.PictureCache = &cache;

    EXPECT_EQ(Measure("a<img src=\"LOGO\">").MaxLineWidth, Width("a") + 8);
    EXPECT_EQ(Measure("<img src=\"logo\" width=\"30\" height=\"40\">").TotalHeight, 40);
    const std::string byLocation = "<img src=\"file://" + file.toStdString() + "\">";
    Render(byLocation + byLocation);
    EXPECT_EQ(result.MaxLineWidth, 16);
    EXPECT_EQ(cache.Count(), 1);
    EXPECT_EQ(CountColor(Finish(), 0xFF0000), 2 * 8 * 6);

    Reset(kWidth, kHeight);
    Render("<img src=\"file:///no/such/file.png\"><img src=\"res://nothing\">x");
    EXPECT_EQ(result.MaxLineWidth, Width("x"));
}

TEST_F(RenderImagesTest, StretchedPictureAndTiledBackground) {
    TempDir dir;
    const QString file = QString::fromStdString((dir / "t.png").string());
    ASSERT_TRUE(Solid(7, 5, Qt::blue).save(file));
    TPictureContainer container;
    TPictureItem* item = container.Items()->Add();
    item->SetName("tile");
    item->Picture()->LoadFromFile(file);
    options.PictureContainer = &container;

    Reset(50, 30);
    Render("<body background=\"tile\">", TRect{3, 2, 45, 28});
    const QImage& tiled = Finish();
    EXPECT_EQ(CountColor(tiled, 0xFF0000), 42 * 26);
    EXPECT_EQ(PixelColor(tiled, 2, 10), clWhite);

    Reset(50, 30);
    Render("<img src=\"tile\" width=\"20\" height=\"10\">", TRect{0, 0, 50, 30});
    EXPECT_EQ(CountColor(Finish(), 0xFF0000), 200);
}

TEST_F(RenderImagesTest, SystemIconsHaveTheirSize) {
    TempDir dir;
    EXPECT_EQ(Measure("<img src=\"ssys:" + dir.Path().string() + "\">").MaxLineWidth, 16);
    EXPECT_EQ(Measure("<img src=\"lsys:readme.txt\">").MaxLineWidth, 32);
    EXPECT_EQ(Measure("<img src=\"ssys:0\">").TotalHeight, std::max(16, GH()));
    Render("<img src=\"lsys:1\"><img src=\"ssys:999999\">");
    EXPECT_EQ(result.MaxLineWidth, 48);
}
