// The platform's screen as the geometry object reads it.
#pragma once

#include <vector>

#include "app/ScreenMonitorManager.h"

class TWinScreenSource : public IScreenSource {
public:
    // Takes the monitor list once; later changes of the displays are not followed.
    TWinScreenSource();
    int MonitorCount() const override { return static_cast<int>(FMonitors.size()); }
    TMonitorGeometry Monitor(int index) const override;
    TMonitorGeometry Desktop() const override;
    TMonitorGeometry WorkArea() const override;
    int PixelsPerInch() const override;
    std::int16_t Cursor() const override { return FCursor; }
    void SetCursor(std::int16_t cursor) override;

private:
    std::vector<TMonitorGeometry> FMonitors;
    std::int16_t FCursor = 0;
};
