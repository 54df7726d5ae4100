// What screen readers get from the controls that paint themselves.
#include "TImage.h"
#include "TPanel.h"
#include "XiProgressBar.h"

#include <QAccessible>
#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

TEST(WidgetAccessibility, BarIsAProgressBarWithItsRangeAndValue) {
    TXiProgressBar bar;
    bar.SetMin(10);
    bar.SetMax(50);
    bar.SetPosition(20);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface* value = face->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->minimumValue().toInt(), 10);
    EXPECT_EQ(value->maximumValue().toInt(), 50);
    EXPECT_EQ(value->currentValue().toInt(), 20);
    EXPECT_EQ(face->text(QAccessible::Value), "25%");
    // Past Max the bar shows full, and so does the value; a name set wins.
    bar.SetPosition(80);
    bar.setAccessibleName("Download progress");
    EXPECT_EQ(value->currentValue().toInt(), 50);
    EXPECT_EQ(face->text(QAccessible::Value), "100%");
    EXPECT_EQ(face->text(QAccessible::Name), "Download progress");
    // The user cannot move it.
    value->setCurrentValue(30);
    EXPECT_EQ(bar.Position(), 80);
}

TEST(WidgetAccessibility, PictureIsAGraphicDescribedByItsSizeUnlessNamed) {
    TImage image;
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&image);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Graphic);
    EXPECT_EQ(face->text(QAccessible::Name), "Empty picture");

    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    QByteArray png;
    QBuffer buffer(&png);
    picture.save(&buffer, "PNG");
    image.SetPictureData(png);
    EXPECT_EQ(face->text(QAccessible::Name), "Picture, 40 by 30 pixels");
    ASSERT_NE(face->imageInterface(), nullptr);
    EXPECT_EQ(face->imageInterface()->imageSize(), QSize(40, 30));
    image.setAccessibleName("Company logo");
    EXPECT_EQ(face->text(QAccessible::Name), "Company logo");
    EXPECT_EQ(face->imageInterface()->imageDescription(), "Company logo");
}

TEST(WidgetAccessibility, PanelIsAPaneNamedByItsCaption) {
    TPanel panel;
    panel.SetCaption("Details");
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&panel);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Pane);
    EXPECT_EQ(face->text(QAccessible::Name), "Details");
}

} // namespace
