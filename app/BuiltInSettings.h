#pragma once

#include "TUpdateSettings.h"

namespace quorvel {

// The update this program was built for: its address, keys or root keys,
// product, built-in release and size bound, as the build settings name
// them. The folder is left to the caller.
TUpdateSettings BuiltInSettings();

} // namespace quorvel
