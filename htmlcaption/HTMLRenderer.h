#pragma once

#include "TCanvas.h"

#include <string>

namespace quorvel {

class TImageList;
class THTMLPictureCache;
class TPictureContainer;

// How a caption is drawn and hit-tested. Colours use TColor; clNone switches
// the hover colours off.
struct TMarkupOptions {
    const TImageList* ImageList = nullptr; // source of "IDX:" images
    int PointerX = 0;                      // pointer position for hit testing,
    int PointerY = 0;                      // in the coordinates of Bounds
    int FocusLink = -1;                    // 0-based anchor that gets a focus rectangle
    int HoverLink = -1;                    // 1-based hovered anchor
    int ShadowOffset = 0;                  // shadow displacement, right and down
    bool HitTestOnly = false;              // the second pass of a line only hit-tests
    bool MeasureOnly = false;              // nothing is drawn
    bool Printing = false;                 // images are drawn scaled by ScaleFactor
    bool Selected = false;                 // colour settings of tags are ignored
    bool BlinkVisible = true;              // the phase in which blinking text shows
    bool StyleHoveredLinkOnly = false;     // link underline and hover colours only on HoverLink
    bool WordWrap = true;                  // break at spaces; else cut lines with an ellipsis
    double ScaleFactor = 1.0;
    TColor LinkColor = 0xFF0000;
    TColor HoverBrushColor = clNone;
    TColor HoverFontColor = clNone;
    TColor ShadowColor = 0x808080;
    THTMLPictureCache* PictureCache = nullptr;     // pictures named by location ("://")
    TPictureContainer* PictureContainer = nullptr; // pictures named by name
    int LineSpacing = 0;                           // pixels added to every line
};

// What a render found out.
struct TMarkupResult {
    std::string HitAnchor;   // target of the anchor under the pointer
    std::string PlainText;   // the text without tags; a line break gives "\r"
    std::string FocusAnchor; // target of the focused anchor
    int MaxLineWidth = 0;
    int TotalHeight = 0;
    int LinkCount = 0;
    int HitLink = -1; // 1-based anchor under the pointer
    TRect HitLinkRect;
};

// Draws (or only measures) the mini-HTML markup inside bounds on canvas,
// starting from the canvas's font, brush and pen, which are put back at the
// end. Returns true when the pointer lies over an anchor. Never fails: bad
// markup degrades.
bool RenderMarkup(TCanvas& canvas, const std::string& markup, const TRect& bounds,
                  const TMarkupOptions& options, TMarkupResult& result);

} // namespace quorvel
