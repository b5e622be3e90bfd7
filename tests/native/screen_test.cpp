#include <gtest/gtest.h>

#include <vector>

#include "app/ScreenMonitorManager.h"

namespace {
class TFakeScreen : public IScreenSource {
public:
    std::vector<TMonitorGeometry> Monitors;
    int MonitorCount() const override { return static_cast<int>(Monitors.size()); }
    TMonitorGeometry Monitor(int index) const override {
        return Monitors.at(static_cast<std::size_t>(index));
    }
    TMonitorGeometry Desktop() const override { return {0, 0, 3200, 1200, 96}; }
    TMonitorGeometry WorkArea() const override { return {0, 0, 1920, 1040, 96}; }
    int PixelsPerInch() const override { return 96; }
    std::int16_t Cursor() const override { return 0; }
    void SetCursor(std::int16_t) override { throw 1; }
};
} // namespace

TEST(ScreenMonitorManager, SelectsTheRequestedMonitorOrFallsBackToTheFirst) {
    TFakeScreen fake;
    fake.Monitors = {{0, 0, 1920, 1080, 96}, {1920, 0, 1280, 1024, 120}};
    TmyScreen screen(fake);
    EXPECT_EQ(screen.Width, 3200);
    EXPECT_EQ(screen.WorkAreaHeight, 1040);
    EXPECT_EQ(screen.Monitornumber, 0);
    EXPECT_EQ(screen.ScaleKoef, 0.0);

    SelectMonitor(screen, 5);
    EXPECT_EQ(screen.Monitornumber, 0);
    EXPECT_EQ(screen.Width, 1920);
    EXPECT_EQ(screen.WorkAreaHeight, 1080); // the monitor's full height, not its work area
    EXPECT_DOUBLE_EQ(screen.ScaleKoef, 1.0);

    SelectMonitor(screen, 1);
    EXPECT_EQ(screen.Monitornumber, 1);
    EXPECT_EQ(screen.Width, 1280);
    EXPECT_EQ(screen.WorkAreaWidth, 1280);
    EXPECT_EQ(screen.Height, 1024);
    EXPECT_DOUBLE_EQ(screen.ScaleKoef, 1.25);

    screen.SetCursor(-11); // the platform's failure is swallowed
    EXPECT_EQ(screen.Cursor(), -11);
}
