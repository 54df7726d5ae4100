#pragma once

#include <QObject>

namespace quorvel {

// Settings of the window and its plain controls, registered with Qt so that
// form descriptions carry them by name.
namespace Controls {
Q_NAMESPACE

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog };
Q_ENUM_NS(TFormBorderStyle)

enum TPosition { poDesigned, poScreenCenter };
Q_ENUM_NS(TPosition)

enum TBorderIcon { biSystemMenu = 1, biMinimize = 2, biMaximize = 4 };
Q_DECLARE_FLAGS(TBorderIcons, TBorderIcon)
Q_FLAG_NS(TBorderIcons)

enum TPanelBevel { bvNone, bvLowered, bvRaised };
Q_ENUM_NS(TPanelBevel)

} // namespace Controls

Q_DECLARE_OPERATORS_FOR_FLAGS(Controls::TBorderIcons)

using Controls::TBorderIcons;
using Controls::TFormBorderStyle;
using Controls::TPanelBevel;
using Controls::TPosition;
using enum Controls::TFormBorderStyle;
using enum Controls::TPosition;
using enum Controls::TBorderIcon;
using enum Controls::TPanelBevel;

} // namespace quorvel
