#pragma once

#include <algorithm>

namespace quorvel {

// Coordinates and sizes of the caption renderer are kept far inside the int
// range so that no sum of them can overflow, whatever the markup asks for.
namespace MarkupCoords {

inline constexpr long long kCoordLimit = 1 << 28;

inline int Sat(long long v) {
    return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit));
}

} // namespace MarkupCoords

} // namespace quorvel
