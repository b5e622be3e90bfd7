// The main window at any screen resolution: its design lengths (at 96 pixels per inch) scaled, and the
// resolution at which it still fits its monitor. Portable, so that the rounding is tested natively.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "app/Skin.h"
#include "support/MessageLayout.h"

// The resolution every length of the main window is designed at.
inline constexpr int DesignPixelsPerInch = 96;

// A design length at `pixelsPerInch`, rounded as the platform's MulDiv rounds (halves away from zero).
int Scaled(int designLength, int pixelsPerInch);
// The design length that a length at `pixelsPerInch` stands for, rounded the same way.
int Unscaled(int length, int pixelsPerInch);
// A rectangle scaled by its edges rather than by its size, so that controls that touch at design size
// still touch, and never overlap, at every scale.
TRect Scaled(const TRect& design, int pixelsPerInch);
// A child's rectangle, given in its parent's design coordinates, scaled by its edges in the window's own:
// `parentOrigin` is where the parent's client area starts in the window's design coordinates. A child that
// fills its parent, or ends where a sibling begins, does so at every scale, however deep it lies.
TRect Scaled(const TRect& design, int pixelsPerInch, TPoint parentOrigin);

// The pixel height for a text font of `designHeight` at `pixelsPerInch`: the scaled height, or the largest
// smaller one for which `linesFit` says the text keeps the lines it has at the design resolution (heights
// round to whole pixels and glyphs do not widen evenly, so a scaled font may come out wider than the scale).
// It gives up a twelfth of the scaled height at most and never goes below the design height.
int FittingFontHeight(int designHeight, int pixelsPerInch, const std::function<bool(int height)>& linesFit);

// The resolution to lay the window out at: `pixelsPerInch` when the window, its client area scaled and its
// frame added, fits the work area; otherwise the largest resolution that fits, but never below the design
// resolution, where the window keeps its design size whatever the screen. A resolution below the design
// one is taken as it stands, since the window only gets smaller.
int FitPixelsPerInch(int pixelsPerInch, TSize designClient, TSize frame, TSize workArea);

// The rich-text document with every length that a rich-text box turns into pixels at its own resolution
// (font sizes, indents, paragraph spacing, tab stops) multiplied by to/from: a box that draws at `from`
// shows the result as one that draws at `to` shows the document. Everything else, the text included, is
// copied byte for byte.
std::string ScaleRtfLengths(std::string_view rtf, int to, int from);

// A window's top-left corner moved as little as needed to bring the window inside the work area; a window
// larger than the work area keeps the work area's top-left corner.
TPoint KeepInWorkArea(TPoint place, TSize window, const TRect& workArea);
