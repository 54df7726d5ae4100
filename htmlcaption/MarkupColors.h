#pragma once

#include "Graphics.h"

#include <string_view>

namespace quorvel {

// Colour names (lower case, e.g. "clred", "clhighlight") to colours; unknown
// names give black.
TColor ColorFromName(std::string_view name);
// "#RRGGBB" to a colour (red in the low byte); missing pairs count 0 and
// characters that are not hexadecimal digits count 0.
TColor ColorFromHex(std::string_view text);
// A colour attribute value: "#" values through ColorFromHex, anything else
// lower-cased through ColorFromName.
TColor ColorFromValue(std::string_view value);

} // namespace quorvel
