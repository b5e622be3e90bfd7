#include "app/WindowScale.h"

#include <algorithm>

int Scaled(int designLength, int pixelsPerInch) {
    return ScaleSize(designLength, pixelsPerInch, DesignPixelsPerInch);
}

int Unscaled(int length, int pixelsPerInch) {
    return ScaleSize(length, DesignPixelsPerInch, pixelsPerInch);
}

TBounds Scaled(const TBounds& design, int pixelsPerInch) {
    const int left = Scaled(design.Left, pixelsPerInch);
    const int top = Scaled(design.Top, pixelsPerInch);
    return {left, top, Scaled(design.Left + design.Width, pixelsPerInch) - left,
            Scaled(design.Top + design.Height, pixelsPerInch) - top};
}

int FitPixelsPerInch(int pixelsPerInch, TPixelSize designClient, TPixelSize frame, TPixelSize workArea) {
    if (pixelsPerInch <= DesignPixelsPerInch)
        return pixelsPerInch > 0 ? pixelsPerInch : DesignPixelsPerInch;
    auto fits = [&](int candidate) {
        return Scaled(designClient.Width, candidate) + frame.Width <= workArea.Width &&
               Scaled(designClient.Height, candidate) + frame.Height <= workArea.Height;
    };
    // The scaled size grows with the resolution: the first that fits, from the top down, is the largest.
    for (int candidate = pixelsPerInch; candidate > DesignPixelsPerInch; --candidate)
        if (fits(candidate))
            return candidate;
    return DesignPixelsPerInch;
}

TScreenPoint KeepInWorkArea(TScreenPoint place, TPixelSize window, const TScreenRect& workArea) {
    const int right = workArea.Left + workArea.Width - window.Width;
    const int bottom = workArea.Top + workArea.Height - window.Height;
    return {std::max(workArea.Left, std::min(place.Left, right)),
            std::max(workArea.Top, std::min(place.Top, bottom))};
}
