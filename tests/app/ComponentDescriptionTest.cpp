#include "TCABFile.h"
#include "TFormDescription.h"
#include "THTMLPicture.h"
#include "TImage.h"
#include "TLabel.h"
#include "TPanel.h"
#include "TPictureCollection.h"
#include "TPictureContainer.h"
#include "TPictureItem.h"
#include "WebCopy.h"
#include "softwareupdate.h"

#include <QBuffer>
#include <QImage>
#include <QJsonArray>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

QByteArray PngBytes(int w, int h, QRgb colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Writes the object, reads the text into a fresh one made by `make`, and
// checks that the copy writes the same description.
template <typename T, typename Make> std::unique_ptr<T> RoundTrip(const T& original, Make make) {
    const QJsonObject written = TFormDescription::WriteComponent(original);
    std::unique_ptr<T> copy = make();
    TFormReport report;
    TFormDescription::ReadComponent(written, *copy, {}, report);
    EXPECT_TRUE(report.Clean()) << report.Skipped.join('\n').toStdString();
    EXPECT_EQ(TFormDescription::WriteComponent(*copy), written);
    return copy;
}

TEST(ComponentDescription, EngineWithItsJobs) {
    TWebCopy engine;
    engine.SetName("WebCopy7");
    engine.SetTag(3);
    engine.AlwaysOnTop = true;
    engine.ShowDialog = false;
    engine.DlgCaption = "Fetching";
    engine.Proxy = "proxy:3128";
    TWebCopyItem* a = engine.Items().Add();
    a->URL = "http://example.invalid/a.cab";
    a->Protocol = wpFtpUpload;
    a->HTTPCommand = hcPut;
    a->FTPPort = 2121;
    a->FileDate = 45123.5;
    a->Active = false;
    engine.Items().Add()->TargetDir = "C:\\App\\";

    const QJsonObject p = TFormDescription::WriteComponent(engine)["Properties"].toObject();
    EXPECT_EQ(p["Version"], "1.4.0.1");
    EXPECT_FALSE(p.contains("ShowFileName")); // equal to its default
    EXPECT_EQ(p["FTPPassive"], false);        // no default: always stored
    const QJsonArray items = p["Items"].toArray();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].toObject()["Protocol"], "wpFtpUpload");
    EXPECT_EQ(items[1].toObject()["Protocol"], "wpHttp"); // always stored
    EXPECT_FALSE(items[1].toObject().contains("Active"));

    auto copy = RoundTrip(engine, [] { return std::make_unique<TWebCopy>(); });
    ASSERT_EQ(copy->Items().Count(), 2);
    EXPECT_EQ(copy->Name(), "WebCopy7");
    EXPECT_EQ(copy->Tag(), 3);
    EXPECT_TRUE(copy->AlwaysOnTop);
    EXPECT_FALSE(copy->ShowDialog);
    EXPECT_EQ(copy->Items()[0]->Protocol, wpFtpUpload);
    EXPECT_EQ(copy->Items()[0]->HTTPCommand, hcPut);
    EXPECT_EQ(copy->Items()[0]->FTPPort, 2121);
    EXPECT_DOUBLE_EQ(copy->Items()[0]->FileDate, 45123.5);
    EXPECT_FALSE(copy->Items()[0]->Active);
    EXPECT_EQ(copy->Items()[1]->TargetDir, "C:\\App\\");

    // A stored version is accepted and changes nothing.
    TFormReport report;
    TFormDescription::ReadForm(R"({"Properties": {"Version": "0.0.0.1", "Items": []}})", *copy, {}, report);
    EXPECT_TRUE(report.Clean());
    EXPECT_EQ(copy->Version(), "1.4.0.1");
    EXPECT_EQ(copy->Items().Count(), 0);
}

TEST(ComponentDescription, CabinetComponentWithItsContents) {
    TCABFile cab;
    cab.SetName("CABFile1");
    const QJsonObject p0 = TFormDescription::WriteComponent(cab)["Properties"].toObject();
    EXPECT_EQ(p0["Version"], "1.4.0.0");
    EXPECT_EQ(p0["CABFileContents"], QJsonArray());
    EXPECT_FALSE(p0.contains("CompressionType"));

    cab.SetCompressionType(typLZX);
    cab.SetLZXMemory(lzxHigher);
    cab.SetCABFile("pkg.cab");
    TCABFileEntry* e = cab.CABFileContents()->Add();
    e->Name = "a.txt";
    e->RelPath = "sub\\dir";
    auto copy = RoundTrip(cab, [] { return std::make_unique<TCABFile>(); });
    EXPECT_EQ(copy->CompressionType(), typLZX);
    EXPECT_EQ(copy->LZXMemory(), lzxHigher);
    EXPECT_EQ(copy->CABFile(), "pkg.cab");
    ASSERT_EQ(copy->CABFileContents()->Count(), 1);
    EXPECT_EQ(copy->CABFileContents()->Items(0)->RelPath, "sub\\dir");
}

TEST(ComponentDescription, PictureContainerKeepsPictureBytes) {
    TPictureContainer store;
    store.SetName("Pictures1");
    TPictureItem* logo = store.Items()->Add();
    logo->SetName("Logo");
    logo->SetTag(9);
    logo->SetPictureData(PngBytes(7, 5, qRgb(10, 20, 30)));
    store.Items()->Add()->SetName("Empty");
    const QJsonObject p = TFormDescription::WriteComponent(store)["Properties"].toObject();
    EXPECT_EQ(p["Version"], "1.0.0.0");

    auto copy = RoundTrip(store, [] { return std::make_unique<TPictureContainer>(); });
    ASSERT_EQ(copy->Items()->Count(), 2);
    THTMLPicture* picture = copy->PictureByName("LOGO");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), 7);
    EXPECT_EQ(picture->Image().pixel(3, 3), qRgb(10, 20, 30));
    EXPECT_EQ(copy->Items()->Items(0)->Tag(), 9);
    EXPECT_TRUE(copy->Items()->Items(1)->Picture()->Empty());

    // Bytes that are no picture are reported; the item's other values load.
    TPictureContainer bad;
    TFormReport report;
    TFormDescription::ReadForm(
        R"({"Name": "P", "Properties": {"Items": [{"Picture": "AAAAAAAA", "Name": "x"}]}})", bad, {}, report);
    ASSERT_EQ(report.Skipped.size(), 1);
    EXPECT_TRUE(report.Skipped[0].startsWith("P.Items[0].Picture: ")) << report.Skipped[0].toStdString();
    ASSERT_EQ(bad.Items()->Count(), 1);
    EXPECT_EQ(bad.Items()->Items(0)->Name(), "x");
}

TEST(ComponentDescription, WindowControls) {
    QWidget window;
    TLabel label(&window);
    label.setObjectName("Label1");
    label.SetWordWrap(true);
    label.SetAutoSize(false);
    label.SetTransparent(true);
    label.SetCaption("one\rtwo");
    label.setGeometry(3, 4, 100, 40);
    auto labelCopy = RoundTrip(label, [&] { return std::make_unique<TLabel>(&window); });
    EXPECT_EQ(labelCopy->text(), "one\ntwo");
    EXPECT_EQ(labelCopy->geometry(), QRect(3, 4, 100, 40));

    TPanel panel(&window);
    panel.setObjectName("Panel1");
    panel.SetBevelOuter(bvLowered);
    panel.SetBevelWidth(2);
    panel.SetColor(RGBColor(1, 2, 3));
    auto panelCopy = RoundTrip(panel, [&] { return std::make_unique<TPanel>(&window); });
    EXPECT_EQ(panelCopy->BevelOuter(), bvLowered);

    TImage image(&window);
    image.setObjectName("Image1");
    image.SetPictureData(PngBytes(4, 4, qRgb(200, 0, 0)));
    image.SetStretch(true);
    auto imageCopy = RoundTrip(image, [&] { return std::make_unique<TImage>(&window); });
    EXPECT_EQ(imageCopy->PictureData(), image.PictureData());

    THTMLButton button(&window);
    button.setObjectName("Button1");
    button.SetCaption("<b>Go</b>");
    button.SetHoverColor(RGBColor(1, 1, 1));
    button.SetBackground(stVBump);
    button.SetFlat(true);
    auto buttonCopy = RoundTrip(button, [&] { return std::make_unique<THTMLButton>(&window); });
    EXPECT_EQ(buttonCopy->Caption(), "<b>Go</b>");
    EXPECT_EQ(buttonCopy->Background(), stVBump);
    EXPECT_EQ(buttonCopy->HoverColor(), RGBColor(1, 1, 1));

    TXiProgressBar bar(&window);
    bar.setObjectName("Bar1");
    bar.SetColorScheme(csRose);
    bar.SetPosition(40);
    auto barCopy = RoundTrip(bar, [&] { return std::make_unique<TXiProgressBar>(&window); });
    EXPECT_EQ(barCopy->ColorScheme(), csRose);
    EXPECT_EQ(barCopy->Position(), 40);
    // A bar whose colours were set by hand stays custom after the round trip.
    bar.SetForeColorGrad(RGBColor(9, 9, 9));
    auto customCopy = RoundTrip(bar, [&] { return std::make_unique<TXiProgressBar>(&window); });
    EXPECT_EQ(customCopy->ColorScheme(), csCustom);
    EXPECT_EQ(customCopy->ForeColorGrad(), RGBColor(9, 9, 9));
}

} // namespace
