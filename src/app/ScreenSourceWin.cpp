#include "app/ScreenSourceWin.h"

#include <windows.h>

#include "common/HandlesWin.h"
#include "support/PlacementWin.h"

namespace {
BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* monitors = reinterpret_cast<std::vector<TMonitorGeometry>*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(monitor, &info))
        return TRUE;
    TMonitorGeometry geometry;
    geometry.Left = info.rcMonitor.left;
    geometry.Top = info.rcMonitor.top;
    geometry.Width = info.rcMonitor.right - info.rcMonitor.left;
    geometry.Height = info.rcMonitor.bottom - info.rcMonitor.top;
    // Before Windows 8.1 every monitor has the screen's resolution.
    geometry.PixelsPerInch = MonitorPixelsPerInch(monitor);
    monitors->push_back(geometry);
    return TRUE;
}
} // namespace

TWinScreenSource::TWinScreenSource() {
    ::EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&FMonitors));
}

TMonitorGeometry TWinScreenSource::Monitor(int index) const {
    // A display list that the platform could not give still leaves a usable geometry.
    if (index < 0 || index >= static_cast<int>(FMonitors.size()))
        return Desktop();
    return FMonitors[static_cast<std::size_t>(index)];
}

TMonitorGeometry TWinScreenSource::Desktop() const {
    return {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), PixelsPerInch()};
}

TMonitorGeometry TWinScreenSource::WorkArea() const {
    RECT area{};
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0))
        return Desktop();
    return {area.left, area.top, area.right - area.left, area.bottom - area.top, PixelsPerInch()};
}

int TWinScreenSource::PixelsPerInch() const {
    TWindowDC screen(nullptr);
    return screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
}

void TWinScreenSource::SetCursor(std::int16_t cursor) {
    FCursor = cursor;
    // The screen cursors in use: the default arrow (0) and the hourglass (-11).
    ::SetCursor(::LoadCursorW(nullptr, cursor == -11 ? IDC_WAIT : IDC_ARROW));
}
