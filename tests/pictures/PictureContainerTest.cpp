#include "PictureContainer.h"
#include "GifBuilder.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace quorvel;

TEST(TPictureContainer, FindsTheFirstItemByNameIgnoringAsciiCase) {
    TPictureContainer container;
    TPictureCollection* items = container.Items();
    EXPECT_EQ(items->Owner(), &container);
    TPictureItem* logo = items->Add();
    logo->SetName(QStringLiteral("Logo"));
    TPictureItem* second = items->Add();
    second->SetName(QStringLiteral("LOGO"));
    TPictureItem* accented = items->Add();
    accented->SetName(QStringLiteral("\u00e9t\u00e9"));

    EXPECT_EQ(container.PictureByName(QStringLiteral("LOGO")), logo->Picture());
    EXPECT_EQ(container.FindPicture(QStringLiteral("logo")), logo->Picture());
    EXPECT_EQ(container.PictureByName(QStringLiteral("\u00e9t\u00e9")), accented->Picture());
    // Only a to z change case: accented letters must match exactly.
    EXPECT_EQ(container.PictureByName(QStringLiteral("\u00c9T\u00c9")), nullptr);
    EXPECT_EQ(container.PictureByName(QStringLiteral("banner")), nullptr);
    EXPECT_EQ(second->Index(), 1);
}

TEST(TPictureContainer, ReportsAFixedVersionAndAlwaysStoresIt) {
    TPictureContainer container;
    EXPECT_EQ(container.Version(), QStringLiteral("1.0.0.0"));
    container.setProperty("Version", QStringLiteral("9.9.9.9"));
    EXPECT_EQ(container.property("Version").toString(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(container.StoredProperties().value(QStringLiteral("Version")).toString(), QStringLiteral("1.0.0.0"));
}

TEST(TPictureItem, SettingThePictureCopiesIntoTheOwnedOne) {
    THTMLPicture source;
    std::istringstream stream(EncodeImage(6, 5, 0xFF00FF00, "PNG"));
    source.LoadFromStream(&stream);

    TPictureCollection items(nullptr);
    TPictureItem* item = items.Add();
    THTMLPicture* owned = item->Picture();
    item->SetPicture(&source);
    EXPECT_EQ(item->Picture(), owned);
    EXPECT_EQ(owned->ImageData(), source.ImageData());
    EXPECT_EQ(owned->Width(), 6);

    TPictureItem* copy = items.Add();
    item->SetName(QStringLiteral("pic"));
    item->SetTag(7);
    copy->Assign(*item);
    EXPECT_EQ(copy->Name(), QStringLiteral("pic"));
    EXPECT_EQ(copy->Tag(), 7);
    EXPECT_EQ(copy->Picture()->Height(), 5);
    items.Delete(0);
    EXPECT_EQ(items.Count(), 1);
    EXPECT_EQ(copy->Index(), 0);
}

TEST(THTMLPictureCache, FindsPicturesByExactLocation) {
    TempDir dir;
    WriteFile(dir / "a.gif", ThreeFrameGif());
    const QString location = QStringLiteral("FILE://") + QString::fromStdString((dir / "a.gif").string());

    THTMLPictureCache cache;
    EXPECT_EQ(cache.PictureByLocation(location), nullptr);
    THTMLPicture* first = cache.NewPicture();
    first->SetAsynch(false);
    first->LoadFromLocation(location);
    THTMLPicture* duplicate = cache.AddPicture();
    duplicate->LoadFromLocation(location);
    EXPECT_EQ(cache.Count(), 2);
    EXPECT_EQ(cache.Items(1), duplicate);
    EXPECT_EQ(cache.Items(2), nullptr);

    EXPECT_EQ(cache.PictureByLocation(location), first);
    EXPECT_EQ(cache.FindPicture(location.toLower()), nullptr);
    EXPECT_EQ(cache.FindPicture(location + QStringLiteral(" ")), nullptr);
    EXPECT_FALSE(first->Empty());
}
