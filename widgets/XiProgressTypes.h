#pragma once

#include <QObject>

namespace quorvel {

// Settings of the gradient progress bar.
namespace XiBar {
Q_NAMESPACE

enum TProgressBarOrientation : quint8 { pbHorizontal, pbVertical };
Q_ENUM_NS(TProgressBarOrientation)

// csCustom: the colours were set one by one; the others name a fixed set of
// five colours.
enum TColorScheme : quint8 {
    csCustom,
    csDesert,
    csGrass,
    csSilver,
    csSky,
    csRose,
    csSun,
    csHackers,
    csNight,
    csVelvet,
    csMetal,
    csViolet,
    csToxic
};
Q_ENUM_NS(TColorScheme)

} // namespace XiBar

using XiBar::TColorScheme;
using XiBar::TProgressBarOrientation;
using enum XiBar::TColorScheme;
using enum XiBar::TProgressBarOrientation;

} // namespace quorvel
