// The secondary windows' arithmetic: the count-down, their sizes at a monitor's resolution and their places.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "common/Error.h"
#include "support/MessageLayout.h"

namespace {
constexpr double Second = 1.0 / (24.0 * 60.0 * 60.0);
} // namespace

TEST(MessageCountdown, IntervalFromSecondsRefusesWhatTheTimerCannotHold) {
    EXPECT_EQ(StopIntervalMs(0), DefaultStopIntervalMs); // no time given
    EXPECT_EQ(StopIntervalMs(1), 1000);
    EXPECT_EQ(StopIntervalMs(2147483), 2147483000);
    EXPECT_THROW(StopIntervalMs(2147484), TError); // one more second leaves the signed 32-bit range
    EXPECT_THROW(StopIntervalMs(-1), TError);
    EXPECT_THROW(StopIntervalMs(INT64_MIN), TError);
    EXPECT_THROW(StopIntervalMs(INT64_MAX), TError);
}

TEST(MessageCountdown, RemainingSecondsRoundHalvesToEven) {
    EXPECT_EQ(RemainingSeconds(20000, 0.0), 20);
    EXPECT_EQ(RemainingSeconds(20000, 1.0 * Second), 19);
    EXPECT_EQ(RemainingSeconds(20000, 1.2 * Second), 19);
    EXPECT_EQ(RemainingSeconds(20000, 1.7 * Second), 18);
    EXPECT_EQ(RemainingSeconds(20000, 0.5 * Second), 20); // 19.5 goes to the even 20
    EXPECT_EQ(RemainingSeconds(20000, 1.5 * Second), 18); // 18.5 goes to the even 18
    EXPECT_EQ(RemainingSeconds(20000, 20.0 * Second), 0);
    EXPECT_EQ(RemainingSeconds(20000, 21.5 * Second), -2); // -1.5 goes to the even -2
    // The interval counts in whole seconds: 2.9 s of interval are 2.
    EXPECT_EQ(RemainingSeconds(2900, 0.0), 2);
    // A clock gone far astray gives a number, not undefined behaviour.
    EXPECT_EQ(RemainingSeconds(1000, -1.0e12), INT32_MAX);
    EXPECT_EQ(RemainingSeconds(1000, 1.0e12), INT32_MIN);

    EXPECT_EQ(CountdownText(19), L"  19с");
    EXPECT_EQ(CountdownText(0), L"  0с");
}

TEST(MessageWindowLayout, HeightFollowsTheTextAndThePlaceTheChosenMonitor) {
    // The text adds its own height; what lies around it (both strips, the frame) scales with the monitor.
    const int around = MessageWindowHeight(0);
    EXPECT_EQ(MessageWindowHeight(48), around + 48);
    EXPECT_EQ(MessageWindowHeight(48, ScaledMessageFormSizes(192)), 2 * around + 48);

    // Second monitor right of the first: centred across it, lower edge at half its height.
    TChosenScreen screen{1280, 1024, {1920, 56, 1280, 1024}};
    const int width = 452;
    TPoint place = MessageWindowPlace(screen, width, 150);
    EXPECT_EQ(place.Left, 1920 + (1280 - 452) / 2);
    EXPECT_EQ(place.Top, 512 - 150); // the monitor's own top is not added

    // Taller than the monitor: the top lies above it. Wider: the window starts left of the monitor.
    place = MessageWindowPlace(screen, 1401, 1100);
    EXPECT_EQ(place.Top, 512 - 1100);
    EXPECT_EQ(place.Left, 1920 - 60); // (1280 - 1401) / 2 truncates toward zero
    screen.Height = 1025;
    EXPECT_EQ(MessageWindowPlace(screen, 10, 10).Top, 502);
}

TEST(MessageWindowLayout, EveryPixelSizeScalesWithTheMonitorAndFontsStayInPoints) {
    // Both windows round as MulDiv does; the wait window is designed at 144.
    EXPECT_EQ(ScaleSize(118, 96, 144), 79); // 78.67
    EXPECT_EQ(ScaleSize(59, 96, 144), 39);  // 39.33
    EXPECT_EQ(ScaleSize(3, 120, 144), 3);   // 2.5: halves go away from zero
    EXPECT_EQ(ScaleSize(-3, 120, 144), -3); // -2.5
    EXPECT_EQ(ScaleSize(20, 96, 0), 20);    // no resolution to scale from: the size as it stands

    const TMessageFormSizes& design = MessageFormDesign;
    constexpr int TMessageFormSizes::*Pixels[] = {
        &TMessageFormSizes::ClientWidth,   &TMessageFormSizes::DesignClientHeight,
        &TMessageFormSizes::ButtonsHeight, &TMessageFormSizes::CancelWidth,
        &TMessageFormSizes::SpacerWidth,   &TMessageFormSizes::OkWidth,
        &TMessageFormSizes::CloseGap,      &TMessageFormSizes::CloseHeight,
        &TMessageFormSizes::StopWidth,     &TMessageFormSizes::CloseLabelWidth,
        &TMessageFormSizes::SecondsWidth,  &TMessageFormSizes::ExtraHeight,
        &TMessageFormSizes::GlyphSize};
    for (int dpi : {96, 120, 144, 192, 288}) {
        const TMessageFormSizes s = ScaledMessageFormSizes(dpi);
        // MulDiv rounds halves away from zero, as lround does.
        for (int TMessageFormSizes::*size : Pixels)
            EXPECT_EQ(s.*size, std::lround(design.*size * dpi / 96.0)) << dpi;
        EXPECT_EQ(s.FormFontPoints, design.FormFontPoints) << dpi;
        EXPECT_EQ(s.MessageFontPoints, design.MessageFontPoints) << dpi;
        // The strips' controls still end where the window does.
        EXPECT_LE(s.StopWidth + s.CloseLabelWidth + s.SecondsWidth, s.ClientWidth) << dpi;
        EXPECT_LE(s.CancelWidth + s.SpacerWidth + s.OkWidth, s.ClientWidth) << dpi;
    }
    EXPECT_EQ(FontPixels(7, 96), 9);
    EXPECT_EQ(FontPixels(10, 96), 13);
    EXPECT_EQ(FontPixels(10, 144), 20);
    EXPECT_EQ(FontPixels(7, 120), 12); // 11.67
}

TEST(WaitWindowLayout, PlacementAtCreationAndOnShow) {
    const TRect monitor{-1280, 100, 1280, 1024};
    TPoint place = WaitWindowPlace(monitor, 320, 70);
    EXPECT_EQ(place.Left, -1280 + 480);
    EXPECT_EQ(place.Top, 100 + 477);

    // Taller than the monitor: still starts inside it. Wider: starts left of it, rounded toward zero.
    place = WaitWindowPlace(monitor, 1401, 1124);
    EXPECT_EQ(place.Top, 100 + 50);
    EXPECT_EQ(place.Left, -1280 - 60);

    const TRect work{0, 30, 1024, 738};
    place = CentreInWorkArea(work, 324, 100);
    EXPECT_EQ(place.Left, 350);
    EXPECT_EQ(place.Top, 30 + 319);
    place = CentreInWorkArea(work, 2000, 2000);
    EXPECT_EQ(place.Left, 0);
    EXPECT_EQ(place.Top, 30);
}

TEST(WaitWindowLayout, TitlesFollowTheKindOfOperation) {
    // Launching is the title of every kind the window does not know; recording and converting have their
    // own, and one kind shows none.
    const std::wstring launching = WaitTitle(0);
    EXPECT_FALSE(launching.empty());
    for (std::uint8_t kind : {1, 5, 255})
        EXPECT_EQ(WaitTitle(kind), launching) << int(kind);
    EXPECT_NE(WaitTitle(2), launching);
    EXPECT_NE(WaitTitle(3), launching);
    EXPECT_NE(WaitTitle(2), WaitTitle(3));
    EXPECT_FALSE(WaitTitle(2).empty());
    EXPECT_FALSE(WaitTitle(3).empty());
    EXPECT_EQ(WaitTitle(4), L"");
}
