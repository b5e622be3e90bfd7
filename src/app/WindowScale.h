// The main window at any screen resolution: its design lengths (at 96 pixels per inch) scaled, and the
// resolution at which it still fits its monitor. Portable, so that the rounding is tested natively.
#pragma once

#include "app/Skin.h"
#include "support/MessageLayout.h"

// The resolution every length of the main window is designed at.
inline constexpr int DesignPixelsPerInch = 96;

struct TPixelSize {
    int Width = 0;
    int Height = 0;
};

// A design length at `pixelsPerInch`, rounded as the platform's MulDiv rounds (halves away from zero).
int Scaled(int designLength, int pixelsPerInch);
// The design length that a length at `pixelsPerInch` stands for, rounded the same way.
int Unscaled(int length, int pixelsPerInch);
// A rectangle scaled by its edges rather than by its size, so that controls that touch at design size
// still touch, and never overlap, at every scale.
TBounds Scaled(const TBounds& design, int pixelsPerInch);

// The resolution to lay the window out at: `pixelsPerInch` when the window, its client area scaled and its
// frame added, fits the work area; otherwise the largest resolution that fits, but never below the design
// resolution, where the window keeps its design size whatever the screen. A resolution below the design
// one is taken as it stands, since the window only gets smaller.
int FitPixelsPerInch(int pixelsPerInch, TPixelSize designClient, TPixelSize frame, TPixelSize workArea);

// A window's top-left corner moved as little as needed to bring the window inside the work area; a window
// larger than the work area keeps the work area's top-left corner.
TScreenPoint KeepInWorkArea(TScreenPoint place, TPixelSize window, const TScreenRect& workArea);
