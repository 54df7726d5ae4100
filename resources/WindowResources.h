#pragma once

// Makes the window's pictures (":/pictures/...") and stored window
// descriptions (":/forms/...") available; call before using them.
void InitWindowResources();
