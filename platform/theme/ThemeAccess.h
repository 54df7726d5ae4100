#pragma once

#include "QuorvelExport.h"

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
QUORVEL_EXPORT bool LoadThemeLibrary();
QUORVEL_EXPORT void ReleaseThemeLibrary();
QUORVEL_EXPORT bool ThemesLoaded();

// Tests: while set, IsThemeActive reports no theme whatever the style.
QUORVEL_EXPORT void SetForceNoTheme(bool force);

// Theme handles open right now (each paint closes the one it opened).
QUORVEL_EXPORT int OpenHandleCount();

} // namespace Theme

// The bound references, in the order they are bound. Types use this
// program's canvas, rectangles and colours.
extern QUORVEL_EXPORT HTHEME (*OpenThemeData)(QWidget* window, const char16_t* classList);
extern QUORVEL_EXPORT HRESULT (*CloseThemeData)(HTHEME theme);
QUORVEL_EXPORT extern HRESULT (*DrawThemeBackground)(HTHEME theme, TCanvas& canvas, int part, int state,
                                                     const TRect& rect, const TRect* clip);
QUORVEL_EXPORT extern HRESULT (*DrawThemeText)(HTHEME theme, TCanvas& canvas, int part, int state,
                                               const std::string& text, unsigned flags, const TRect& rect);
QUORVEL_EXPORT extern HRESULT (*GetThemeBackgroundContentRect)(HTHEME theme, TCanvas* canvas, int part,
                                                               int state, const TRect& bounds,
                                                               TRect& content);
extern QUORVEL_EXPORT HRESULT (*GetThemeBackgroundExtent)(HTHEME theme, TCanvas* canvas, int part, int state,
                                                          const TRect& content, TRect& extent);
extern QUORVEL_EXPORT HRESULT (*GetThemeTextExtent)(HTHEME theme, TCanvas& canvas, int part, int state,
                                                    const std::string& text, unsigned flags,
                                                    const TRect* bounds, TRect& extent);
extern QUORVEL_EXPORT void* GetThemeTextMetrics;
extern QUORVEL_EXPORT void* GetThemeBackgroundRegion;
extern QUORVEL_EXPORT void* HitTestThemeBackground;
extern QUORVEL_EXPORT void* DrawThemeEdge;
extern QUORVEL_EXPORT void* DrawThemeIcon;
extern QUORVEL_EXPORT bool (*IsThemePartDefined)(HTHEME theme, int part, int state);
extern QUORVEL_EXPORT bool (*IsThemeBackgroundPartiallyTransparent)(HTHEME theme, int part, int state);
extern QUORVEL_EXPORT void* GetThemeColor;
QUORVEL_EXPORT extern HRESULT (*GetThemeMetric)(HTHEME theme, TCanvas* canvas, int part, int state,
                                                int property, int& value);
extern QUORVEL_EXPORT void* GetThemeString;
extern QUORVEL_EXPORT void* GetThemeBool;
extern QUORVEL_EXPORT void* GetThemeInt;
extern QUORVEL_EXPORT void* GetThemeEnumValue;
extern QUORVEL_EXPORT void* GetThemePosition;
extern QUORVEL_EXPORT void* GetThemeFont;
extern QUORVEL_EXPORT void* GetThemeRect;
extern QUORVEL_EXPORT void* GetThemeMargins;
extern QUORVEL_EXPORT void* GetThemeIntList;
extern QUORVEL_EXPORT void* SetWindowTheme;
extern QUORVEL_EXPORT void* GetThemeFilename;
extern QUORVEL_EXPORT TColor (*GetThemeSysColor)(HTHEME theme, int colorIndex);
extern QUORVEL_EXPORT void* GetThemeSysColorBrush;
extern QUORVEL_EXPORT void* GetThemeSysBool;
extern QUORVEL_EXPORT void* GetThemeSysSize;
extern QUORVEL_EXPORT void* GetThemeSysFont;
extern QUORVEL_EXPORT void* GetThemeSysString;
extern QUORVEL_EXPORT void* GetThemeSysInt;
extern QUORVEL_EXPORT bool (*IsThemeActive)();
extern QUORVEL_EXPORT bool (*IsAppThemed)();
extern QUORVEL_EXPORT void* GetWindowTheme;
extern QUORVEL_EXPORT void* EnableThemeDialogTexture;
extern QUORVEL_EXPORT void* IsThemeDialogTextureEnabled;
extern QUORVEL_EXPORT unsigned (*GetThemeAppProperties)();
extern QUORVEL_EXPORT void* SetThemeAppProperties;
extern QUORVEL_EXPORT HRESULT (*GetCurrentThemeName)(std::string& name);
extern QUORVEL_EXPORT void* GetThemeDocumentationProperty;
extern QUORVEL_EXPORT void* DrawThemeParentBackground;
extern QUORVEL_EXPORT void* EnableTheming;

} // namespace quorvel
