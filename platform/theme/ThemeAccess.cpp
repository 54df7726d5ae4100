#include "ThemeAccess.h"

#include "TQtCanvas.h"

#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionButton>
#include <QWidget>
#include <atomic>

namespace quorvel {

struct TThemeData {
    QPointer<QWidget> Window;
    std::u16string ClassList;
};

namespace {

bool g_loaded = false;
bool g_forceNoTheme = false;
std::atomic<int> g_openHandles{0};

QStyle* AppStyle() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) ? QApplication::style() : nullptr;
}

// The plain classic style draws the old three-dimensional buttons; every
// other style has a look of its own.
bool StyleIsThemed() {
    const QStyle* style = AppStyle();
    return style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) != 0;
}

// "No theme" answers used until the layer is loaded.
bool NoThemeActive() {
    return false;
}
HTHEME NoThemeOpen(QWidget*, const char16_t*) {
    return nullptr;
}
HRESULT NoThemeClose(HTHEME) {
    return S_OK;
}
HRESULT NoThemeDraw(HTHEME, TCanvas&, int, int, const TRect&, const TRect*) {
    return E_FAIL;
}

bool BoundIsThemeActive() {
    return !g_forceNoTheme && StyleIsThemed();
}

bool BoundIsAppThemed() {
    return StyleIsThemed();
}

HTHEME BoundOpenThemeData(QWidget* window, const char16_t* classList) {
    if (!AppStyle() || !classList)
        return nullptr;
    const std::u16string list(classList);
    // Only push buttons are drawn through this layer.
    if (list.size() != 6 ||
        !QString::fromStdU16String(list).startsWith(QLatin1String("button"), Qt::CaseInsensitive))
        return nullptr;
    ++g_openHandles;
    return new TThemeData{window, list};
}

HRESULT BoundCloseThemeData(HTHEME theme) {
    if (!theme)
        return E_FAIL;
    --g_openHandles;
    delete theme;
    return S_OK;
}

void InitButtonOption(QStyleOptionButton& option, HTHEME theme, int state, const TRect& rect) {
    if (theme->Window)
        option.initFrom(theme->Window);
    option.rect = QRect(rect.Left, rect.Top, rect.Width(), rect.Height());
    option.state &= ~(QStyle::State_MouseOver | QStyle::State_Sunken | QStyle::State_HasFocus);
    option.state |= QStyle::State_Enabled | QStyle::State_Raised;
    option.features = QStyleOptionButton::None;
    switch (state) {
    case PBS_HOT:
        option.state |= QStyle::State_MouseOver;
        break;
    case PBS_PRESSED:
        option.state = (option.state | QStyle::State_Sunken) & ~QStyle::State_Raised;
        break;
    case PBS_DISABLED:
        option.state &= ~QStyle::State_Enabled;
        break;
    case PBS_DEFAULTED:
        option.features |= QStyleOptionButton::DefaultButton;
        break;
    default:
        break;
    }
}

HRESULT BoundDrawThemeBackground(HTHEME theme, TCanvas& canvas, int part, int state, const TRect& rect,
                                 const TRect* clip) {
    auto* qt = dynamic_cast<TQtCanvas*>(&canvas);
    QStyle* style = AppStyle();
    if (!theme || !qt || !style || part != BP_PUSHBUTTON || rect.Width() <= 0 || rect.Height() <= 0)
        return E_FAIL;
    QStyleOptionButton option;
    InitButtonOption(option, theme, state, rect);
    QPainter& painter = qt->Painter();
    painter.save();
    if (clip)
        painter.setClipRect(QRect(clip->Left, clip->Top, clip->Width(), clip->Height()), Qt::IntersectClip);
    style->drawControl(QStyle::CE_PushButtonBevel, &option, &painter, theme->Window.data());
    painter.restore();
    return S_OK;
}

HRESULT BoundGetThemeBackgroundContentRect(HTHEME theme, TCanvas*, int part, int state, const TRect& bounds,
                                           TRect& content) {
    QStyle* style = AppStyle();
    if (!theme || !style || part != BP_PUSHBUTTON)
        return E_FAIL;
    QStyleOptionButton option;
    InitButtonOption(option, theme, state, bounds);
    const QRect r = style->subElementRect(QStyle::SE_PushButtonContents, &option, theme->Window.data());
    content = TRect{r.left(), r.top(), r.right() + 1, r.bottom() + 1};
    return S_OK;
}

bool BoundIsThemePartDefined(HTHEME theme, int part, int) {
    return theme && part == BP_PUSHBUTTON;
}

bool BoundIsThemeBackgroundPartiallyTransparent(HTHEME theme, int part, int) {
    return theme && part == BP_PUSHBUTTON;
}

TColor BoundGetThemeSysColor(HTHEME, int colorIndex) {
    return ColorToRGB(SystemColor(static_cast<std::uint32_t>(colorIndex) & 0xFF));
}

unsigned BoundGetThemeAppProperties() {
    // Themed non-client area and controls.
    return StyleIsThemed() ? 3u : 0u;
}

HRESULT BoundGetCurrentThemeName(std::string& name) {
    const QStyle* style = AppStyle();
    if (!style)
        return E_FAIL;
    name = style->name().toStdString();
    return S_OK;
}

} // namespace

HTHEME (*OpenThemeData)(QWidget*, const char16_t*) = NoThemeOpen;
HRESULT (*CloseThemeData)(HTHEME) = NoThemeClose;
HRESULT (*DrawThemeBackground)(HTHEME, TCanvas&, int, int, const TRect&, const TRect*) = NoThemeDraw;
HRESULT (*DrawThemeText)(HTHEME, TCanvas&, int, int, const std::string&, unsigned, const TRect&) = nullptr;
HRESULT (*GetThemeBackgroundContentRect)(HTHEME, TCanvas*, int, int, const TRect&, TRect&) = nullptr;
HRESULT (*GetThemeBackgroundExtent)(HTHEME, TCanvas*, int, int, const TRect&, TRect&) = nullptr;
HRESULT (*GetThemeTextExtent)
(HTHEME, TCanvas&, int, int, const std::string&, unsigned, const TRect*, TRect&) = nullptr;
void* GetThemeTextMetrics = nullptr;
void* GetThemeBackgroundRegion = nullptr;
void* HitTestThemeBackground = nullptr;
void* DrawThemeEdge = nullptr;
void* DrawThemeIcon = nullptr;
bool (*IsThemePartDefined)(HTHEME, int, int) = nullptr;
bool (*IsThemeBackgroundPartiallyTransparent)(HTHEME, int, int) = nullptr;
void* GetThemeColor = nullptr;
HRESULT (*GetThemeMetric)(HTHEME, TCanvas*, int, int, int, int&) = nullptr;
void* GetThemeString = nullptr;
void* GetThemeBool = nullptr;
void* GetThemeInt = nullptr;
void* GetThemeEnumValue = nullptr;
void* GetThemePosition = nullptr;
void* GetThemeFont = nullptr;
void* GetThemeRect = nullptr;
void* GetThemeMargins = nullptr;
void* GetThemeIntList = nullptr;
void* SetWindowTheme = nullptr;
void* GetThemeFilename = nullptr;
TColor (*GetThemeSysColor)(HTHEME, int) = nullptr;
void* GetThemeSysColorBrush = nullptr;
void* GetThemeSysBool = nullptr;
void* GetThemeSysSize = nullptr;
void* GetThemeSysFont = nullptr;
void* GetThemeSysString = nullptr;
void* GetThemeSysInt = nullptr;
bool (*IsThemeActive)() = NoThemeActive;
bool (*IsAppThemed)() = nullptr;
void* GetWindowTheme = nullptr;
void* EnableThemeDialogTexture = nullptr;
void* IsThemeDialogTextureEnabled = nullptr;
unsigned (*GetThemeAppProperties)() = nullptr;
void* SetThemeAppProperties = nullptr;
HRESULT (*GetCurrentThemeName)(std::string&) = nullptr;
void* GetThemeDocumentationProperty = nullptr;
void* DrawThemeParentBackground = nullptr;
void* EnableTheming = nullptr;

namespace Theme {

bool LoadThemeLibrary() {
    if (g_loaded)
        return true;
    // Without an application there is no style to draw with: nothing binds.
    if (!AppStyle())
        return false;
    g_loaded = true;
    OpenThemeData = BoundOpenThemeData;
    CloseThemeData = BoundCloseThemeData;
    DrawThemeBackground = BoundDrawThemeBackground;
    GetThemeBackgroundContentRect = BoundGetThemeBackgroundContentRect;
    IsThemePartDefined = BoundIsThemePartDefined;
    IsThemeBackgroundPartiallyTransparent = BoundIsThemeBackgroundPartiallyTransparent;
    GetThemeSysColor = BoundGetThemeSysColor;
    IsThemeActive = BoundIsThemeActive;
    IsAppThemed = BoundIsAppThemed;
    GetThemeAppProperties = BoundGetThemeAppProperties;
    GetCurrentThemeName = BoundGetCurrentThemeName;
    return true;
}

void ReleaseThemeLibrary() {
    // Nothing is held beyond the style, which the application owns; the
    // references stay as they are since nothing paints after this.
}

bool ThemesLoaded() {
    return g_loaded;
}

void SetForceNoTheme(bool force) {
    g_forceNoTheme = force;
}

int OpenHandleCount() {
    return g_openHandles.load();
}

} // namespace Theme

} // namespace quorvel
