// Theme access over the widget style: the "no theme" answers before loading,
// the bound references, push-button drawing and its handles.
#include "ThemeAccess.h"
#include "TQtCanvas.h"

#include <QApplication>
#include <QImage>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <gtest/gtest.h>

using namespace quorvel;

namespace {

QImage DrawButtonFace(HTHEME theme, int state, HRESULT* hr = nullptr) {
    QImage image(60, 24, QImage::Format_RGB32);
    image.fill(Qt::magenta);
    {
        TQtCanvas canvas(&image);
        const HRESULT r =
            DrawThemeBackground(theme, canvas, BP_PUSHBUTTON, state, TRect{0, 0, 60, 24}, nullptr);
        if (hr)
            *hr = r;
    }
    return image;
}

} // namespace

TEST(ThemeAccess, UnloadedReferencesAnswerNoThemeThenLoadingBindsThem) {
    ASSERT_FALSE(Theme::ThemesLoaded()) << "nothing in this binary loads the layer before this test";
    QPushButton window;
    // The four the button uses are safe before loading.
    EXPECT_FALSE(IsThemeActive());
    HTHEME none = OpenThemeData(&window, u"button");
    EXPECT_EQ(none, nullptr);
    HRESULT hr = S_OK;
    const QImage untouched = DrawButtonFace(none, PBS_NORMAL, &hr);
    EXPECT_NE(hr, S_OK);
    EXPECT_EQ(untouched.pixel(30, 12), QColor(Qt::magenta).rgb());
    EXPECT_EQ(CloseThemeData(none), S_OK);
    EXPECT_EQ(IsAppThemed, nullptr);
    EXPECT_EQ(GetThemeSysColor, nullptr);

    ASSERT_TRUE(Theme::LoadThemeLibrary());
    EXPECT_TRUE(Theme::LoadThemeLibrary()); // once only
    EXPECT_TRUE(Theme::ThemesLoaded());
    EXPECT_NE(IsAppThemed, nullptr);
    EXPECT_NE(GetCurrentThemeName, nullptr);
    EXPECT_NE(GetThemeBackgroundContentRect, nullptr);
    // Entry points without a meaning here stay empty.
    EXPECT_EQ(GetThemeFont, nullptr);
    EXPECT_EQ(DrawThemeParentBackground, nullptr);
    std::string name;
    EXPECT_EQ(GetCurrentThemeName(name), S_OK);
    EXPECT_EQ(name, QApplication::style()->name().toStdString());
}

TEST(ThemeAccess, PushButtonFacesPerStateAndHandlesLiveForOnePaint) {
    ASSERT_TRUE(Theme::LoadThemeLibrary());
    QPushButton window;
    window.resize(60, 24);
    EXPECT_EQ(OpenThemeData(&window, u"edit"), nullptr);
    EXPECT_EQ(OpenThemeData(&window, nullptr), nullptr);

    HTHEME theme = OpenThemeData(&window, u"button");
    ASSERT_NE(theme, nullptr);
    EXPECT_EQ(Theme::OpenHandleCount(), 1);
    HRESULT hr = E_FAIL;
    const QImage normal = DrawButtonFace(theme, PBS_NORMAL, &hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_NE(normal.pixel(30, 12), QColor(Qt::magenta).rgb());
    EXPECT_NE(DrawButtonFace(theme, PBS_PRESSED), normal);
    // Another part draws nothing.
    QImage other(10, 10, QImage::Format_RGB32);
    {
        TQtCanvas canvas(&other);
        EXPECT_NE(DrawThemeBackground(theme, canvas, 7, PBS_NORMAL, TRect{0, 0, 10, 10}, nullptr), S_OK);
        EXPECT_NE(DrawThemeBackground(theme, canvas, BP_PUSHBUTTON, PBS_NORMAL, TRect{5, 5, 5, 9}, nullptr),
                  S_OK);
    }
    TRect content;
    EXPECT_EQ(GetThemeBackgroundContentRect(theme, nullptr, BP_PUSHBUTTON, PBS_NORMAL, TRect{0, 0, 60, 24},
                                            content),
              S_OK);
    EXPECT_GT(content.Width(), 0);
    EXPECT_LE(content.Width(), 60);
    EXPECT_EQ(CloseThemeData(theme), S_OK);
    EXPECT_EQ(Theme::OpenHandleCount(), 0);
    EXPECT_NE(CloseThemeData(nullptr), S_OK);
}

TEST(ThemeAccess, ClassicStyleOrForcingMeansNoTheme) {
    ASSERT_TRUE(Theme::LoadThemeLibrary());
    const QString before = QApplication::style()->name();
    EXPECT_EQ(IsThemeActive(), before.compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0);
    Theme::SetForceNoTheme(true);
    EXPECT_FALSE(IsThemeActive());
    Theme::SetForceNoTheme(false);
    if (QStyle* classic = QStyleFactory::create(QStringLiteral("Windows"))) {
        QApplication::setStyle(classic);
        EXPECT_FALSE(IsThemeActive());
        QApplication::setStyle(QStyleFactory::create(before));
    }
    EXPECT_EQ(QApplication::style()->name(), before);
}
