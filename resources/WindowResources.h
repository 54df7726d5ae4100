#pragma once

#include "QuorvelExport.h"

// Makes the window's pictures (":/pictures/...") and stored window
// descriptions (":/forms/...") available; call before using them.
QUORVEL_EXPORT void InitWindowResources();
