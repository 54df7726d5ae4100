#pragma once

#include <QObject>
#include <functional>

namespace quorvel {

// Settings of the HTML button.
namespace HtmlBtn {
Q_NAMESPACE

enum TBtnHAlignment : quint8 { haCenter, haHTML, haLeft, haRight };
Q_ENUM_NS(TBtnHAlignment)

enum TBtnVAlignment : quint8 { vaCenter, vaTop, vaBottom };
Q_ENUM_NS(TBtnVAlignment)

// Face styles: the plain face, fourteen generated pictures, the themed face.
enum TBtnBackground : quint8 {
    stNormal,
    stNoise,
    stDiagShade,
    stHShade,
    stVShade,
    stHBump,
    stVBump,
    stSoftBump,
    stHardBump,
    stLMetal,
    stRMetal,
    stIRadial,
    stORadial,
    stHShadeInv,
    stVShadeInv,
    stXPTheme
};
Q_ENUM_NS(TBtnBackground)

enum TButtonLayout : quint8 { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
Q_ENUM_NS(TButtonLayout)

enum TButtonStyle : quint8 { bsAutoDetect, bsWin31, bsNew };
Q_ENUM_NS(TButtonStyle)

} // namespace HtmlBtn

using HtmlBtn::TBtnBackground;
using HtmlBtn::TBtnHAlignment;
using HtmlBtn::TBtnVAlignment;
using HtmlBtn::TButtonLayout;
using HtmlBtn::TButtonStyle;
using enum HtmlBtn::TBtnHAlignment;
using enum HtmlBtn::TBtnVAlignment;
using enum HtmlBtn::TBtnBackground;
using enum HtmlBtn::TButtonLayout;
using enum HtmlBtn::TButtonStyle;

// A plain notification; Sender is the button.
using TButtonNotify = std::function<void(QObject* Sender)>;

} // namespace quorvel
