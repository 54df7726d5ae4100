#include "GifBuilder.h"
#include "PictureContainer.h"
#include "TempDir.h"

#include <QFile>
#include <QLibraryInfo>
#include <QProcess>
#include <QResource>

#include <gtest/gtest.h>

using namespace quorvel;

namespace {

// Builds a binary resource file with Qt's resource compiler and registers
// it, so that ":/LOGO" and ":/BROKEN" exist while the fixture lives.
class PictureResources : public testing::Test {
protected:
    void SetUp() override {
        const QString rcc = QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/rcc");
        if (!QFile::exists(rcc))
            GTEST_SKIP() << "Qt resource compiler not found";
        m_logo = EncodeImage(16, 9, 0xFF0000FF, "PNG");
        WriteFile(m_dir / "logo.png", m_logo);
        WriteFile(m_dir / "broken.bin", "no picture here");
        WriteFile(m_dir / "pictures.qrc", "<RCC><qresource prefix=\"/\">"
                                          "<file alias=\"LOGO\">logo.png</file>"
                                          "<file alias=\"BROKEN\">broken.bin</file>"
                                          "</qresource></RCC>");
        m_rcc = QString::fromStdString((m_dir / "pictures.rcc").string());
        const int rc = QProcess::execute(rcc, {QStringLiteral("--binary"), QStringLiteral("-o"), m_rcc,
                                               QString::fromStdString((m_dir / "pictures.qrc").string())});
        ASSERT_EQ(rc, 0);
        ASSERT_TRUE(QResource::registerResource(m_rcc));
    }
    void TearDown() override {
        if (!m_rcc.isEmpty())
            QResource::unregisterResource(m_rcc);
    }

    TempDir m_dir;
    std::string m_logo;
    QString m_rcc;
};

} // namespace

TEST_F(PictureResources, LocationPrefixIgnoresCaseButTheNameKeepsIt) {
    THTMLPicture picture;
    picture.LoadFromLocation(QStringLiteral("res://LOGO"));
    EXPECT_EQ(picture.ID(), QStringLiteral("res://LOGO"));
    EXPECT_FALSE(picture.Empty());
    EXPECT_EQ(picture.Width(), 16);
    EXPECT_EQ(picture.ImageData(), std::vector<unsigned char>(m_logo.begin(), m_logo.end()));

    THTMLPicture wrongCase;
    wrongCase.LoadFromLocation(QStringLiteral("RES://logo"));
    EXPECT_TRUE(wrongCase.Empty());
    EXPECT_EQ(wrongCase.ID(), QStringLiteral("RES://logo"));
}

TEST_F(PictureResources, MissingResourcesDoNothingAndBadOnesRaise) {
    THTMLPicture picture;
    EXPECT_NO_THROW(picture.LoadFromResource(QStringLiteral("NOPE")));
    EXPECT_TRUE(picture.Empty());
    EXPECT_NO_THROW(picture.LoadFromLocation(QStringLiteral("RES://")));
    EXPECT_TRUE(picture.Empty());
    try {
        picture.LoadFromLocation(QStringLiteral("RES://BROKEN"));
        ADD_FAILURE() << "undecodable resource accepted";
    } catch (const EPictureError& e) {
        EXPECT_STREQ(e.what(), "Could not load image. Invalid format");
    }
}
