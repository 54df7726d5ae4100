// Faces of the HTML button: flat, picture, classic and themed.
#include "ButtonFixture.h"
#include "TComponent.h"
#include "TFormDescription.h"
#include "TImageList.h"
#include "ThemeAccess.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QJsonObject>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

using namespace quorvel;

namespace {
constexpr TColor kFace = RGBColor(0xEA, 0xEA, 0xFF);
constexpr TColor kHover = RGBColor(0xB7, 0xB7, 0xFF);
constexpr TColor kDown = RGBColor(0x80, 0x00, 0xFF);
constexpr TColor kBorder = 0x808080;
TColor Shadow() {
    return ColorToRGB(SystemColor(COLOR_BTNSHADOW));
}
} // namespace

void ButtonTest::Enter() {
    QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QApplication::sendEvent(&button, &e);
}

void ButtonTest::Leave() {
    QEvent e(QEvent::Leave);
    QApplication::sendEvent(&button, &e);
}

struct FlatButtonTest : ButtonTest {
    void SetUp() override {
        ButtonTest::SetUp();
        button.SetFlat(true);
        button.SetColor(kFace);
        button.SetHoverColor(kHover);
        button.SetDownColor(kDown);
        button.SetBorderColor(kBorder);
        button.SetCaption(QString());
    }
};

TEST_F(FlatButtonTest, NormalFaceHasBorderAndColour) {
    const QImage img = Paint();
    EXPECT_EQ(At(img, 0, 0), kBorder);
    EXPECT_EQ(At(img, 79, 23), kBorder);
    EXPECT_EQ(At(img, 40, 0), kBorder);
    EXPECT_EQ(At(img, 1, 1), kFace);
    EXPECT_EQ(At(img, 40, 12), kFace);
    EXPECT_EQ(Count(img, kFace), 78 * 22);
}

TEST_F(FlatButtonTest, HoverFaceHasLightAndShadowEdges) {
    int entered = 0, left = 0;
    button.OnMouseEnter = [&](QObject* sender) { entered += sender == &button; };
    button.OnMouseLeave = [&](QObject* sender) { left += sender == &button; };
    Enter();
    EXPECT_TRUE(button.Hovering());
    EXPECT_EQ(entered, 1);
    const QImage img = Paint();
    EXPECT_EQ(At(img, 40, 12), kHover);
    EXPECT_EQ(At(img, 0, 0), clWhite);
    EXPECT_EQ(At(img, 0, 22), clWhite);
    EXPECT_EQ(At(img, 78, 0), clWhite);
    EXPECT_EQ(At(img, 79, 0), Shadow());
    EXPECT_EQ(At(img, 79, 22), Shadow());
    EXPECT_EQ(At(img, 40, 23), Shadow());
    EXPECT_EQ(At(img, 1, 23), Shadow());
    Leave();
    EXPECT_FALSE(button.Hovering());
    EXPECT_EQ(left, 1);
    EXPECT_EQ(At(Paint(), 40, 12), kFace);
}

TEST_F(FlatButtonTest, PressedFaceHasDownColourShadowBorderAndNoHoverEdge) {
    Enter();
    const QImage img = Paint({.Pressed = true});
    EXPECT_EQ(At(img, 40, 12), kDown);
    EXPECT_EQ(Count(img, clWhite), 0);
    EXPECT_EQ(Count(img, kHover), 0);
    EXPECT_EQ(At(img, 0, 12), Shadow());
    EXPECT_EQ(At(img, 40, 0), Shadow());
    // Two pixels of shadow along the right and bottom.
    EXPECT_EQ(At(img, 79, 12), Shadow());
    EXPECT_EQ(At(img, 78, 12), Shadow());
    EXPECT_EQ(At(img, 40, 23), Shadow());
    EXPECT_EQ(At(img, 40, 22), Shadow());
    EXPECT_EQ(At(img, 77, 12), kDown);
}

TEST_F(FlatButtonTest, BlinkingTextHidesInTheFaceColourPressedOrNot) {
    button.SetCaption(QStringLiteral("<bl>WWWWWW</bl>"));
    for (const bool pressed : {false, true}) {
        const QImage img = Paint({.Pressed = pressed});
        const TColor face = pressed ? kDown : kFace;
        int ink = 0;
        for (int y = 3; y < 21; ++y)
            for (int x = 3; x < 77; ++x)
                ink += At(img, x, y) != face;
        EXPECT_EQ(ink, 0) << (pressed ? "pressed" : "normal");
    }
}

TEST_F(FlatButtonTest, DefaultLookDrawsItsInnerRectangleInTheFaceColour) {
    button.SetDefaultLook(true);
    QImage img = Paint();
    EXPECT_EQ(At(img, 0, 0), kBorder);
    EXPECT_EQ(At(img, 1, 1), kFace);
    EXPECT_EQ(At(img, 78, 22), kFace);
    // With the focus the dotted focus rectangle sits 4 pixels in.
    img = Paint({.Focused = true});
    EXPECT_NE(At(img, 4, 4), kFace);
    EXPECT_EQ(At(img, 3, 3), kFace);
    // Hovering moves the light and shadow edges inside the border.
    Enter();
    img = Paint();
    EXPECT_EQ(At(img, 0, 0), kBorder);
    EXPECT_EQ(At(img, 1, 1), clWhite);
    EXPECT_EQ(At(img, 78, 21), Shadow());
}

TEST_F(ButtonTest, ClassicFaceIsARaisedFrame) {
    const QImage img = Paint();
    EXPECT_EQ(At(img, 0, 0), ColorToRGB(SystemColor(COLOR_BTNHIGHLIGHT)));
    EXPECT_EQ(At(img, 79, 23), ColorToRGB(SystemColor(COLOR_3DDKSHADOW)));
    EXPECT_EQ(At(img, 78, 22), Shadow());
    EXPECT_EQ(At(img, 1, 1), ColorToRGB(SystemColor(COLOR_3DLIGHT)));
    EXPECT_EQ(At(img, 3, 20), ColorToRGB(SystemColor(COLOR_BTNFACE)));
    // Focused: a window-frame outline around the frame.
    const QImage focused = Paint({.Focused = true});
    EXPECT_EQ(At(focused, 0, 0), ColorToRGB(SystemColor(COLOR_WINDOWFRAME)));
    EXPECT_EQ(At(focused, 1, 1), ColorToRGB(SystemColor(COLOR_BTNHIGHLIGHT)));
    // Pressed: a flat shadow outline.
    const QImage pressed = Paint({.Pressed = true});
    EXPECT_EQ(At(pressed, 0, 0), Shadow());
    EXPECT_EQ(At(pressed, 79, 23), Shadow());
    EXPECT_EQ(At(pressed, 3, 20), ColorToRGB(SystemColor(COLOR_BTNFACE)));
}

TEST_F(ButtonTest, ThemedFaceIsTheStylesBevelAndFallsBackToClassic) {
    button.SetCaption(QString());
    const QImage classic = Paint();
    button.SetBackground(stXPTheme);
    if (!Theme::ThemesLoaded()) {
        // Not loaded: the references answer "no theme".
        EXPECT_FALSE(IsThemeActive());
        EXPECT_EQ(OpenThemeData(&button, u"button"), nullptr);
        EXPECT_EQ(Paint(), classic);
    }
    ASSERT_TRUE(Theme::LoadThemeLibrary());
    // The hot state follows the real pointer; keep it off the button.
    QCursor::setPos(2000, 2000);
    ASSERT_FALSE(button.rect().contains(button.mapFromGlobal(QCursor::pos())));
    ASSERT_TRUE(IsThemeActive()) << QApplication::style()->name().toStdString();
    const QImage themed = Paint();
    EXPECT_EQ(Theme::OpenHandleCount(), 0);
    EXPECT_NE(themed, classic);

    QImage expected(80, 24, QImage::Format_RGB32);
    expected.fill(Qt::magenta);
    {
        QPainter painter(&expected);
        QStyleOptionButton option;
        option.initFrom(&button);
        option.rect = QRect(0, 0, 80, 24);
        option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_HasFocus);
        option.state |= QStyle::State_Enabled | QStyle::State_Raised;
        QApplication::style()->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, &button);
    }
    EXPECT_EQ(themed, expected);
    EXPECT_NE(Paint({.Pressed = true}), themed);
    EXPECT_EQ(Theme::OpenHandleCount(), 0);

    Theme::SetForceNoTheme(true);
    EXPECT_EQ(Paint(), classic);
    Theme::SetForceNoTheme(false);
    // The themed face never uses the background picture.
    button.SetColor(RGBColor(10, 200, 10));
    EXPECT_EQ(Paint(), themed);
}

TEST_F(ButtonTest, PictureFaceMovesWhenPressedAndHasEdges) {
    button.SetColor(RGBColor(200, 100, 50));
    button.SetBackground(stHShade);
    const QImage& bg = button.BackgroundImage();
    ASSERT_EQ(bg.size(), QSize(82, 26));
    QImage img = Paint();
    EXPECT_EQ(img.pixel(10, 10), bg.pixel(12, 12));
    EXPECT_EQ(At(img, 0, 12), clWhite);
    EXPECT_EQ(At(img, 40, 0), clWhite);
    EXPECT_EQ(At(img, 79, 12), kBorder);
    EXPECT_EQ(At(img, 40, 23), kBorder);
    img = Paint({.Pressed = true});
    EXPECT_EQ(img.pixel(10, 10), bg.pixel(10, 10));
    // The focus rectangle of a picture face sits 2 pixels in, focused or not.
    button.SetDefaultLook(true);
    EXPECT_NE(Paint().pixel(4, 2), bg.pixel(6, 4));
}

TEST_F(ButtonTest, PropertiesStartAtTheirStoredDefaults) {
    for (const char* name : {"Alignment", "Background", "BorderColor", "Caption", "Color", "DownColor",
                             "Ellipsis", "Flat", "HoverColor", "Layout", "Margin", "ShadowColor",
                             "ShadowOffset", "Style", "Spacing", "VAlignment", "Version"}) {
        const QString fallback = TComponent::DefaultOf(button, name);
        ASSERT_FALSE(fallback.isNull()) << name;
        EXPECT_EQ(button.property(name).toString(), fallback) << name;
    }
    for (const char* name : {"Cancel", "Default", "ModalResult"})
        EXPECT_TRUE(TComponent::DefaultOf(button, name).isNull()) << name;
    EXPECT_EQ(button.text(), QStringLiteral("THTMLButton"));
    button.SetVersion(QStringLiteral("9"));
    EXPECT_EQ(button.Version(), QStringLiteral("1.4.1.0"));
    button.SetMargin(-2);
    EXPECT_EQ(button.Margin(), -1);
    button.SetMargin(3);
    EXPECT_EQ(button.Margin(), 3);
    button.SetCaption(QStringLiteral("<b>Go</b>"));
    EXPECT_EQ(button.text(), QStringLiteral("<b>Go</b>"));
    // A form description names enumerations by text.
    EXPECT_TRUE(button.setProperty("Background", QStringLiteral("stVBump")));
    EXPECT_EQ(button.Background(), stVBump);
}

TEST_F(ButtonTest, BackgroundIsRebuiltOnColourBackgroundAndResizeOnly) {
    button.SetBackground(stNoise);
    qint64 key = button.BackgroundImage().cacheKey();
    button.SetHoverColor(0x123456);
    button.SetDownColor(0x123456);
    button.SetColor(button.Color()); // unchanged
    EXPECT_EQ(button.BackgroundImage().cacheKey(), key);
    button.SetColor(0x00FF00);
    EXPECT_NE(button.BackgroundImage().cacheKey(), key);
    key = button.BackgroundImage().cacheKey();
    button.SetBackground(stNoise);
    EXPECT_NE(button.BackgroundImage().cacheKey(), key);
    button.resize(50, 30);
    Paint();
    EXPECT_EQ(button.BackgroundImage().size(), QSize(52, 32));
}

TEST_F(ButtonTest, PictureContainerAndImageListAreForgottenWhenDestroyed) {
    auto* container = new TPictureContainer;
    auto* images = new TImageList(8, 8);
    images->setObjectName(QStringLiteral("ImageList1"));
    QImage red(8, 8, QImage::Format_ARGB32_Premultiplied);
    red.fill(Qt::red);
    images->Add(red);
    button.SetPictureContainer(container);
    button.SetImages(images);
    button.SetCaption(QStringLiteral("<img src=\"idx:0\">"));
    EXPECT_EQ(Count(Paint(), 0x0000FF), 64);
    // Published: a window's description names the list.
    const auto described = [this] {
        return TFormDescription::WriteComponent(
            button)[QStringLiteral("Properties")][QStringLiteral("Images")];
    };
    EXPECT_EQ(described(), QJsonValue(QStringLiteral("ImageList1")));

    delete container;
    delete images;
    EXPECT_EQ(button.PictureContainer(), nullptr);
    EXPECT_EQ(button.Images(), nullptr);
    EXPECT_EQ(Count(Paint(), 0x0000FF), 0);
    EXPECT_TRUE(described().isNull());
}

namespace {
class TCountingButton : public THTMLButton {
public:
    int Paints = 0;

protected:
    void paintEvent(QPaintEvent* event) override {
        ++Paints;
        THTMLButton::paintEvent(event);
    }
};
} // namespace

TEST(HTMLButtonRepaints, OnlyChangesThatShowRepaint) {
    TCountingButton button;
    button.show();
    // Let showing, activation and focus settle.
    for (int i = 0; i < 5; ++i)
        QApplication::processEvents();
    int paints = button.Paints;
    const auto repainted = [&] {
        QApplication::processEvents();
        const bool any = button.Paints > paints;
        paints = button.Paints;
        return any;
    };
    button.SetDownColor(0x123456);
    button.SetHoverColor(0x123456);
    EXPECT_FALSE(repainted());
    button.SetBorderColor(button.BorderColor());
    button.SetFlat(button.Flat());
    button.SetMargin(-5);
    EXPECT_FALSE(repainted());
    button.SetBorderColor(0x010203);
    EXPECT_TRUE(repainted());
    button.SetAlignment(button.Alignment()); // always repaints
    EXPECT_TRUE(repainted());
    button.setEnabled(false);
    EXPECT_TRUE(repainted());
}

TEST_F(ButtonTest, PixelFontSizesKeepTheirPixels) {
    QImage image(80, 24, QImage::Format_RGB32);
    for (const auto& [pixels, points] : {std::pair{11, 8}, std::pair{13, 10}, std::pair{16, 12}}) {
        QFont font(QStringLiteral("Tahoma"));
        font.setPixelSize(pixels);
        button.setFont(font);
        TQtCanvas canvas(&image);
        button.DrawButton(canvas, {});
        EXPECT_EQ(canvas.Font.Size, points) << pixels << " px";
    }
}

TEST(HTMLButtonDefaultLook, FollowsTheFocusAndTheDefaultButton) {
    QWidget window;
    auto* first = new THTMLButton(&window);
    auto* second = new THTMLButton(&window);
    auto* other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    first->SetDefault(true);
    EXPECT_TRUE(first->DefaultLook());
    EXPECT_FALSE(second->DefaultLook());
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    if (!window.isActiveWindow())
        GTEST_SKIP() << "the window cannot become active here";
    second->setFocus();
    QApplication::processEvents();
    EXPECT_TRUE(second->DefaultLook());
    EXPECT_FALSE(first->DefaultLook());
    other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(second->DefaultLook());
    EXPECT_TRUE(first->DefaultLook());
}

// QWidget's destructor moves the focus on after the button's own part is
// gone; the button's focus handler must not run then (UBSan sees it).
TEST(HTMLButtonDefaultLook, AButtonDestroyedWithTheFocusLeavesQuietly) {
    QWidget window;
    auto* first = new THTMLButton(&window);
    auto* second = new THTMLButton(&window);
    second->SetDefault(true);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    if (!window.isActiveWindow())
        GTEST_SKIP() << "the window cannot become active here";
    first->setFocus();
    QApplication::processEvents();
    ASSERT_TRUE(first->hasFocus());
    EXPECT_FALSE(second->DefaultLook());
    delete first;
    QApplication::processEvents();
    EXPECT_TRUE(second->DefaultLook());
}
