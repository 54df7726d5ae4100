#pragma once

#include "Graphics.h"

namespace quorvel {

// Small drawing helpers shared by the button's face and caption.
namespace ButtonPaint {

inline constexpr TColor kGrey = 0x808080;

// r with every edge moved d pixels inwards.
inline TRect Shrunk(const TRect& r, int d) {
    return TRect{r.Left + d, r.Top + d, r.Right - d, r.Bottom - d};
}

} // namespace ButtonPaint

} // namespace quorvel
