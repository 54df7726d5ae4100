#pragma once

#include "TCanvas.h"

#include <string>

namespace quorvel {

// The shell's icons for files, folders and kinds of file, kept in one
// process-wide list so an icon is known by its index.
namespace TShellIcons {

// Index of the icon for name: the icon of an existing file or folder, or of
// the kind of file the name's suffix stands for when nothing of that name exists.
int IconIndex(const std::string& name);

// Number of icons in the list so far.
int Count();

// Size of the small (16) or large (32) icons.
TPoint IconSize(bool large);

// Draws icon index at (x, y); out-of-range indexes draw nothing.
void Draw(TCanvas& canvas, int index, int x, int y, bool large);
// Draws icon index stretched into dest.
void StretchDraw(TCanvas& canvas, int index, const TRect& dest, bool large);

} // namespace TShellIcons

} // namespace quorvel
