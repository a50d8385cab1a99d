#pragma once

#include "ColourText.h"

#include <QRgb>

// Colours as the display shows them, and the two near-whites that stand in for white: pure
// white is the canvas's transparent colour, so the user's white is an opaque white the display
// does not show as pure white, and dashed shapes get their gaps in a second one.
namespace Palette {

using ColourText::TColor;

inline TColor rgb(int r, int g, int b) {
    return TColor(r | (g << 8) | (b << 16));
}

// The colour as a bitmap in the display's format stores it (reduced on a display of fewer than
// 24 bits per pixel). depth 0: the primary screen's.
TColor DeviceColorOf(TColor colour, int depth = 0);

// The opaque white: the first RGB(255, g, 255), g from 255 down, that the display does not show
// as pure white; the second white: the first RGB(255, G, b), b from 255 down, that it shows
// neither as pure white nor as the opaque white. On a true-colour display RGB(255, 254, 255) and
// RGB(255, 254, 254).
void FindOpaqueWhites(TColor& opaque, TColor& second, int depth = 0);

// Black or white, whichever reads on the colour.
TColor ContrastTextColor(TColor colour);

} // namespace Palette
