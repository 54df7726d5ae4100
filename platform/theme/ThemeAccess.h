#pragma once

#include "Graphics.h"

#include <string>

class QWidget;

namespace quorvel {

class TCanvas;

// Access to the desktop theme through the application's widget style.
//
// LoadThemeLibrary binds the process-wide references below once, at
// start-up before any window exists; ReleaseThemeLibrary lets go at shut-down.
// A theme is active when the application style draws native-looking push
// buttons (any style other than the plain classic one). References without a
// meaning on this platform stay empty (nullptr). The four the button uses
// (IsThemeActive, OpenThemeData, DrawThemeBackground, CloseThemeData) are
// never empty: before loading, or without a usable style, they answer "no
// theme" and draw nothing.

// An open theme: the style and the window it draws for; it lives from
// OpenThemeData to CloseThemeData.
struct TThemeData;
using HTHEME = TThemeData*;
using HRESULT = long;
constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005L);

// Push-button part and its states.
constexpr int BP_PUSHBUTTON = 1;
constexpr int PBS_NORMAL = 1;
constexpr int PBS_HOT = 2;
constexpr int PBS_PRESSED = 3;
constexpr int PBS_DISABLED = 4;
constexpr int PBS_DEFAULTED = 5;

namespace Theme {

// Binds the references when a widget style is there; runs once, later calls
// do nothing. Returns whether the layer is loaded.
bool LoadThemeLibrary();
void ReleaseThemeLibrary();
bool ThemesLoaded();

// Tests: while set, IsThemeActive reports no theme whatever the style.
void SetForceNoTheme(bool force);

// Theme handles open right now (each paint closes the one it opened).
int OpenHandleCount();

} // namespace Theme

// The bound references, in the order they are bound. Types use this
// program's canvas, rectangles and colours.
extern HTHEME (*OpenThemeData)(QWidget* window, const char16_t* classList);
extern HRESULT (*CloseThemeData)(HTHEME theme);
extern HRESULT (*DrawThemeBackground)(HTHEME theme, TCanvas& canvas, int part, int state, const TRect& rect,
                                      const TRect* clip);
extern HRESULT (*DrawThemeText)(HTHEME theme, TCanvas& canvas, int part, int state, const std::string& text,
                                unsigned flags, const TRect& rect);
extern HRESULT (*GetThemeBackgroundContentRect)(HTHEME theme, TCanvas* canvas, int part, int state,
                                                const TRect& bounds, TRect& content);
extern HRESULT (*GetThemeBackgroundExtent)(HTHEME theme, TCanvas* canvas, int part, int state,
                                           const TRect& content, TRect& extent);
extern HRESULT (*GetThemeTextExtent)(HTHEME theme, TCanvas& canvas, int part, int state,
                                     const std::string& text, unsigned flags, const TRect* bounds,
                                     TRect& extent);
extern void* GetThemeTextMetrics;
extern void* GetThemeBackgroundRegion;
extern void* HitTestThemeBackground;
extern void* DrawThemeEdge;
extern void* DrawThemeIcon;
extern bool (*IsThemePartDefined)(HTHEME theme, int part, int state);
extern bool (*IsThemeBackgroundPartiallyTransparent)(HTHEME theme, int part, int state);
extern void* GetThemeColor;
extern HRESULT (*GetThemeMetric)(HTHEME theme, TCanvas* canvas, int part, int state, int property,
                                 int& value);
extern void* GetThemeString;
extern void* GetThemeBool;
extern void* GetThemeInt;
extern void* GetThemeEnumValue;
extern void* GetThemePosition;
extern void* GetThemeFont;
extern void* GetThemeRect;
extern void* GetThemeMargins;
extern void* GetThemeIntList;
extern void* SetWindowTheme;
extern void* GetThemeFilename;
extern TColor (*GetThemeSysColor)(HTHEME theme, int colorIndex);
extern void* GetThemeSysColorBrush;
extern void* GetThemeSysBool;
extern void* GetThemeSysSize;
extern void* GetThemeSysFont;
extern void* GetThemeSysString;
extern void* GetThemeSysInt;
extern bool (*IsThemeActive)();
extern bool (*IsAppThemed)();
extern void* GetWindowTheme;
extern void* EnableThemeDialogTexture;
extern void* IsThemeDialogTextureEnabled;
extern unsigned (*GetThemeAppProperties)();
extern void* SetThemeAppProperties;
extern HRESULT (*GetCurrentThemeName)(std::string& name);
extern void* GetThemeDocumentationProperty;
extern void* DrawThemeParentBackground;
extern void* EnableTheming;

} // namespace quorvel
