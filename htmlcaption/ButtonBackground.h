#pragma once

#include "QuorvelExport.h"

#include "Graphics.h"
#include "HTMLButtonTypes.h"

#include <QImage>
#include <cstdint>

namespace quorvel {

// The button's fourteen generated face pictures: shades of one colour, from
// plain shades and bumps to noise, brushed metal and radial glows.
namespace ButtonBackground {

// The generator of the random styles: Seed := Seed * 134775813 + 1, then
// Next(n) is (Seed * n) >> 32 in 64-bit unsigned arithmetic (0 for n <= 0).
struct QUORVEL_EXPORT TRandom {
    std::uint32_t Seed = 0;
    int Next(int range);
};

// The picture of style, width x height pixels, in shades of color (a system
// colour is resolved first); stNormal and stXPTheme give the plain colour.
QUORVEL_EXPORT QImage Build(TBtnBackground style, TColor color, int width, int height, TRandom& random);

} // namespace ButtonBackground

} // namespace quorvel
