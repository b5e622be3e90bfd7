#include <gtest/gtest.h>

#include <vector>

#include "app/WindowScale.h"

namespace {
bool operator==(const TRect& a, const TRect& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Width == b.Width && a.Height == b.Height;
}
} // namespace

TEST(WindowScale, LengthsRoundAsMulDivAndStayPutAtTheDesignResolution) {
    EXPECT_EQ(Scaled(972, 96), 972);
    EXPECT_EQ(Scaled(972, 120), 1215);
    EXPECT_EQ(Scaled(583, 144), 875); // 874.5: halves go away from zero
    EXPECT_EQ(Scaled(583, 192), 1166);
    EXPECT_EQ(Scaled(15, 120), 19); // 18.75
    EXPECT_EQ(Scaled(-3, 144), -5); // -4.5
    EXPECT_EQ(Scaled(1, 120), 1);
    EXPECT_EQ(Scaled(2, 120), 3);
    EXPECT_EQ(Unscaled(1215, 120), 972);
    EXPECT_EQ(Unscaled(875, 144), 583);
    for (int dpi = 96; dpi <= 480; ++dpi)
        EXPECT_EQ(Unscaled(Scaled(972, dpi), dpi), 972) << dpi;
    const TRect pages = PagesBounds;
    EXPECT_TRUE(Scaled(pages, 96) == pages);
}

TEST(WindowScale, RectanglesScaleByTheirEdgesSoNeighboursNeverOverlap) {
    // Two boxes that touch at design size: a text block ending where a panel begins.
    const TRect above{8, 8, 603, 262};
    const TRect below{8, 270, 603, 123};
    for (int dpi : {96, 120, 125, 144, 168, 192, 250, 288}) {
        const TRect a = Scaled(above, dpi);
        const TRect b = Scaled(below, dpi);
        EXPECT_EQ(a.Top + a.Height, b.Top) << dpi;
        EXPECT_EQ(a.Left + a.Width, b.Left + b.Width) << dpi;
    }
    // By its size alone, 262 * 1.25 + 8 * 1.25 would give a pixel of overlap or of gap somewhere.
    EXPECT_TRUE(Scaled(TRect{1, 1, 1, 1}, 120) == (TRect{1, 1, 2, 2}));
}

TEST(WindowScale, ChildrenScaleInTheWindowsCoordinatesAndFillTheirParentAtEveryScale) {
    // The page control at (320, 110), 619 x 441, and a page that fills it.
    const TPoint origin{320, 110};
    const TRect page{0, 0, 619, 441};
    for (int dpi = 96; dpi <= 300; ++dpi) {
        const TRect parent = Scaled(PagesBounds, dpi);
        const TRect child = Scaled(page, dpi, origin);
        ASSERT_EQ(child.Left, 0) << dpi;
        ASSERT_EQ(child.Top, 0) << dpi;
        ASSERT_EQ(child.Width, parent.Width) << dpi;
        ASSERT_EQ(child.Height, parent.Height) << dpi;
    }
    // At 252 the page scaled on its own would be a pixel taller than its parent.
    EXPECT_EQ(Scaled(page, 252).Height, Scaled(PagesBounds, 252).Height + 1);
    // A child's place relative to its parent, two levels down: a button in a panel in a page.
    const TRect button = Scaled({510, 2, 91, 28}, 144, {328, 182});
    EXPECT_EQ(button.Left, Scaled(328 + 510, 144) - Scaled(328, 144));
    EXPECT_EQ(button.Width, Scaled(328 + 510 + 91, 144) - Scaled(328 + 510, 144));
}

TEST(WindowScale, TheWindowTakesTheLargestScaleThatFitsTheWorkArea) {
    const TSize client{972, 583};
    const TSize frame{6, 29};
    // Room enough: the monitor's own resolution.
    EXPECT_EQ(FitPixelsPerInch(96, client, frame, {1280, 1024}), 96);
    EXPECT_EQ(FitPixelsPerInch(120, client, frame, {1280, 1024}), 120);
    EXPECT_EQ(FitPixelsPerInch(192, client, frame, {2560, 1600}), 192);
    // 972 * 1.5 + 6 is wider than 1280: the width decides.
    const int fitted = FitPixelsPerInch(144, client, frame, {1280, 1024});
    EXPECT_LT(fitted, 144);
    EXPECT_LE(Scaled(972, fitted) + 6, 1280);
    EXPECT_GT(Scaled(972, fitted + 1) + 6, 1280);
    EXPECT_EQ(fitted, 125);
    // A wide but low work area: the height decides.
    const int low = FitPixelsPerInch(192, client, frame, {3000, 900});
    EXPECT_LE(Scaled(583, low) + 29, 900);
    EXPECT_GT(Scaled(583, low + 1) + 29, 900);
    // Exactly the work area fits.
    EXPECT_EQ(FitPixelsPerInch(144, client, frame, {1458 + 6, 875 + 29}), 144);
    EXPECT_EQ(FitPixelsPerInch(144, client, frame, {1458 + 5, 875 + 29}), 143);
    // Too small even for the design size: the design size, as at 96.
    EXPECT_EQ(FitPixelsPerInch(144, client, frame, {800, 600}), 96);
    EXPECT_EQ(FitPixelsPerInch(96, client, frame, {800, 600}), 96);
    // Below the design resolution the window only shrinks; no resolution at all counts as the design's.
    EXPECT_EQ(FitPixelsPerInch(72, client, frame, {800, 600}), 72);
    EXPECT_EQ(FitPixelsPerInch(0, client, frame, {800, 600}), 96);
}

TEST(WindowScale, KeepInWorkAreaMovesOnlyWhatSticksOut) {
    const TRect work{0, 40, 1280, 984}; // a taskbar along the top
    EXPECT_EQ(KeepInWorkArea({100, 100}, {500, 400}, work).Left, 100);
    EXPECT_EQ(KeepInWorkArea({100, 100}, {500, 400}, work).Top, 100);
    EXPECT_EQ(KeepInWorkArea({100, 10}, {500, 400}, work).Top, 40);
    EXPECT_EQ(KeepInWorkArea({900, 700}, {500, 400}, work).Left, 780);
    EXPECT_EQ(KeepInWorkArea({900, 700}, {500, 400}, work).Top, 624);
    // Larger than the work area: its top-left corner.
    const TPoint big = KeepInWorkArea({-50, -50}, {1400, 1100}, {1280, 0, 1280, 1024});
    EXPECT_EQ(big.Left, 1280);
    EXPECT_EQ(big.Top, 0);
}

TEST(WindowScale, FontsGiveUpAPixelOrTwoToKeepTheirLines) {
    std::vector<int> asked;
    auto fitsFrom = [&](int widest) {
        return [&asked, widest](int height) {
            asked.push_back(height);
            return height <= widest;
        };
    };
    EXPECT_EQ(FittingFontHeight(15, 144, fitsFrom(100)), 23); // 22.5 rounds up and fits
    EXPECT_EQ(asked, std::vector<int>{23});
    asked.clear();
    EXPECT_EQ(FittingFontHeight(15, 144, fitsFrom(22)), 22);
    EXPECT_EQ(asked, std::vector<int>{23}); // the last step down needs no question: nothing lies below it
    // A twelfth of the scaled height at most: 30 at 192 gives up to 2 pixels.
    EXPECT_EQ(FittingFontHeight(15, 192, fitsFrom(10)), 28);
    // Never below the design height, and nothing asked at or below the design resolution.
    asked.clear();
    EXPECT_EQ(FittingFontHeight(15, 100, fitsFrom(10)), 15);
    EXPECT_EQ(FittingFontHeight(15, 96, fitsFrom(10)), 15);
    EXPECT_EQ(FittingFontHeight(15, 72, fitsFrom(10)), 11);
    EXPECT_EQ(asked, std::vector<int>{16});
}

TEST(RtfLengths, FontSizesIndentsAndSpacingScaleAndNothingElseChanges) {
    const std::string rtf = "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Tahoma;}}"
                            "\\pard\\li120\\ri120\\sb0\\sa140\\fi-60 \\b\\fs28 \\u1058?\\'e0x\\fs18\\par"
                            "\\tx720 a\\\\li99 \\{b\\}\\line c}";
    EXPECT_EQ(ScaleRtfLengths(rtf, 96, 96), rtf);
    EXPECT_EQ(ScaleRtfLengths(rtf, 252, 288),
              "{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Tahoma;}}"
              "\\pard\\li105\\ri105\\sb0\\sa123\\fi-53 \\b\\fs25 \\u1058?\\'e0x\\fs16\\par"
              "\\tx630 a\\\\li99 \\{b\\}\\line c}");
    // A control word cut off at the end, or one whose number does not fit, is copied as it stands.
    EXPECT_EQ(ScaleRtfLengths("x\\fs", 2, 1), "x\\fs");
    EXPECT_EQ(ScaleRtfLengths("\\fs99999999999 y\\", 2, 1), "\\fs99999999999 y\\");
    EXPECT_EQ(ScaleRtfLengths("\\fs-", 2, 1), "\\fs-");
    EXPECT_EQ(ScaleRtfLengths("", 2, 1), "");
}
