#include "GifBuilder.h"
#include "PictureContainer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace quorvel;

namespace {

constexpr QRgb kRed = 0xFFFF0000;

std::vector<unsigned char> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

void LoadBytes(THTMLPicture& picture, const std::string& bytes) {
    std::istringstream stream(bytes);
    picture.LoadFromStream(&stream);
}

} // namespace

TEST(THTMLPicture, StartsEmptyWithNoSize) {
    THTMLPicture picture;
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(picture.Height(), 0);
    EXPECT_EQ(picture.DisplayWidth(), 0);
    EXPECT_EQ(picture.Frame(), 1);
    EXPECT_FALSE(picture.Stretch());
    EXPECT_TRUE(picture.Asynch());
}

TEST(THTMLPicture, DecodesCommonFormatsAndKeepsTheirBytes) {
    for (const char* format : {"PNG", "BMP", "JPG"}) {
        SCOPED_TRACE(format);
        const std::string bytes = EncodeImage(100, 40, kRed, format);
        THTMLPicture picture;
        int changes = 0;
        picture.OnChange = [&](THTMLPicture* sender) {
            EXPECT_EQ(sender, &picture);
            ++changes;
        };
        LoadBytes(picture, bytes);
        EXPECT_FALSE(picture.Empty());
        EXPECT_EQ(changes, 1);
        EXPECT_EQ(picture.Width(), 100);
        EXPECT_EQ(picture.Height(), 40);
        EXPECT_EQ(picture.DisplayWidth(), 100);
        EXPECT_EQ(picture.DisplayHeight(), 40);
        EXPECT_EQ(picture.CountFrames(), -1);
        EXPECT_EQ(picture.ImageData(), Bytes(bytes));

        std::ostringstream saved;
        picture.SaveToStream(&saved);
        EXPECT_EQ(saved.str(), bytes);
    }
}

TEST(THTMLPicture, LoadsFromFileReadingPastOneChunk) {
    TempDir dir;
    // Incompressible content makes the file larger than one read chunk.
    QImage noise(400, 400, QImage::Format_RGB32);
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            noise.setPixel(x, y, qRgb((x * 7 + y * 13) & 0xFF, (x * y) & 0xFF, (x ^ y) & 0xFF));
    const QString path = QString::fromStdString((dir / "noise.png").string());
    ASSERT_TRUE(noise.save(path));
    const std::string bytes = ReadFile(dir / "noise.png");
    ASSERT_GT(bytes.size(), 64u * 1024u);

    THTMLPicture picture;
    picture.LoadFromFile(path);
    EXPECT_FALSE(picture.Empty());
    EXPECT_EQ(picture.ImageData(), Bytes(bytes));
    EXPECT_EQ(picture.Image().pixel(10, 20), noise.pixel(10, 20));
}

TEST(THTMLPicture, FailedFileLoadsAreSwallowedAndLeaveThePictureEmpty) {
    TempDir dir;
    THTMLPicture picture;
    int changes = 0;
    picture.OnChange = [&](THTMLPicture*) { ++changes; };
    EXPECT_NO_THROW(picture.LoadFromFile(QString::fromStdString((dir / "missing.png").string())));
    EXPECT_TRUE(picture.Empty());

    WriteFile(dir / "junk.png", "not an image at all");
    LoadBytes(picture, EncodeImage(8, 8, kRed, "PNG"));
    ASSERT_FALSE(picture.Empty());
    EXPECT_NO_THROW(picture.LoadFromFile(QString::fromStdString((dir / "junk.png").string())));
    EXPECT_TRUE(picture.Empty());
    EXPECT_EQ(picture.Width(), 0);
    EXPECT_EQ(changes, 1);

    // Devices and folders are not pictures; reading them must not hang.
    EXPECT_NO_THROW(picture.LoadFromFile(QStringLiteral("/dev/zero")));
    EXPECT_NO_THROW(picture.LoadFromFile(QString::fromStdString(dir.Path().string())));
    EXPECT_TRUE(picture.Empty());
}

TEST(THTMLPicture, UndecodableStreamRaisesAndKeepsTheNewBytes) {
    for (const std::string& junk : {std::string(), std::string("GIF"), std::string("hello, world"),
                                    std::string("\x89PNG\r\n\x1a\n", 8)}) {
        THTMLPicture picture;
        LoadBytes(picture, EncodeImage(8, 8, kRed, "PNG"));
        std::istringstream stream(junk);
        try {
            picture.LoadFromStream(&stream);
            ADD_FAILURE() << "no error for " << junk.size() << " bytes";
        } catch (const EPictureError& e) {
            EXPECT_STREQ(e.what(), "Could not load image. Invalid format");
        }
        EXPECT_FALSE(picture.Empty());
        EXPECT_EQ(picture.ImageData(), Bytes(junk));
        EXPECT_EQ(picture.Width(), 0) << "nothing decoded is left to draw";
    }
}

TEST(THTMLPicture, NullStreamsDoNothing) {
    THTMLPicture picture;
    picture.LoadFromStream(nullptr);
    picture.SaveToStream(nullptr);
    EXPECT_TRUE(picture.Empty());
}

TEST(THTMLPicture, FormDataRoundTripsWithoutChangeNotification) {
    const std::string bytes = EncodeImage(12, 7, kRed, "BMP");
    THTMLPicture source;
    LoadBytes(source, bytes);
    std::ostringstream stored;
    source.WriteData(stored);
    EXPECT_EQ(stored.str(), bytes);

    THTMLPicture loaded;
    int changes = 0;
    loaded.OnChange = [&](THTMLPicture*) { ++changes; };
    std::istringstream in(stored.str());
    in.seekg(5); // the whole stream is read regardless of its position
    loaded.ReadData(in);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(loaded.ImageData(), Bytes(bytes));
    EXPECT_EQ(loaded.Width(), 12);
}

TEST(THTMLPicture, AssignCopiesBytesAndResetsFrame) {
    THTMLPicture source;
    LoadBytes(source, ThreeFrameGif());
    source.SetFrame(2);

    THTMLPicture target;
    target.SetFrame(3);
    std::istringstream junk("garbage");
    EXPECT_THROW(target.LoadFromStream(&junk), EPictureError);
    int changes = 0;
    target.OnChange = [&](THTMLPicture*) { ++changes; };
    // Undecodable old bytes do not stop the copy.
    target.Assign(&source);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(target.Empty());
    EXPECT_EQ(target.Frame(), 1);
    EXPECT_EQ(target.ImageData(), source.ImageData());
    EXPECT_EQ(target.FrameXPos(), 1);
    EXPECT_EQ(target.CountFrames(), 3);

    target.Assign(nullptr);
    EXPECT_TRUE(target.Empty());
    EXPECT_TRUE(target.ImageData().empty());
    EXPECT_EQ(target.Width(), 0);
}

TEST(THTMLPicture, LoadFromLocationReadsFilesAndSetsTheIdentifier) {
    TempDir dir;
    WriteFile(dir / "a.png", EncodeImage(30, 20, kRed, "PNG"));
    const QString location = QStringLiteral("file://") + QString::fromStdString((dir / "a.png").string());
    THTMLPicture picture;
    picture.LoadFromLocation(location);
    EXPECT_EQ(picture.ID(), location);
    EXPECT_EQ(picture.Width(), 30);

    THTMLPicture bare;
    bare.LoadFromLocation(QStringLiteral("FILE://"));
    EXPECT_EQ(bare.ID(), QStringLiteral("FILE://"));
    EXPECT_TRUE(bare.Empty());
}

TEST(THTMLPicture, InternetLocationsAreNotFetched) {
    THTMLPicture picture;
    picture.LoadFromLocation(QStringLiteral("http://127.0.0.1:1/a.png"));
    EXPECT_TRUE(picture.Busy());
    EXPECT_TRUE(picture.ID().isEmpty());
    EXPECT_TRUE(picture.Empty());

    THTMLPicture direct;
    direct.SetAsynch(false);
    direct.LoadFromLocation(QStringLiteral("http://127.0.0.1:1/a.png"));
    EXPECT_FALSE(direct.Busy());
    EXPECT_EQ(direct.ID(), QStringLiteral("http://127.0.0.1:1/a.png"));
    EXPECT_TRUE(direct.Empty());
}
