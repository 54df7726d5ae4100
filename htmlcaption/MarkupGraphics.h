#pragma once

#include "TCanvas.h"

#include <string>

namespace quorvel {

// Fills rect with a gradient from one colour to another in steps bands
// (left to right when horizontal, else top to bottom); a border colour other
// than clNone outlines the rectangle afterwards. Leaves pen and brush at the
// last band's colour (or the border's).
void FillGradient(TCanvas& canvas, TColor from, TColor to, bool horizontal, const TRect& rect, int steps,
                  TColor border);

// Copies image stretched into rect.
void StretchBitmap(TCanvas& canvas, const TRect& rect, const QImage& image);

// The shell icon index for name (a number is taken as the index itself),
// looked up once per name and size.
int SystemIconIndex(const std::string& name, bool large);

// Draws the shell icon named by name (a path, a file name whose kind gives
// the icon, or an icon index) at (x, y) and reports its size. With printing
// the icon is stretched by scale. Nothing is drawn unless draw is set.
void DrawSystemIcon(TCanvas& canvas, int x, int y, TPoint& size, double scale, bool printing, bool draw,
                    bool large, const std::string& name);

} // namespace quorvel
