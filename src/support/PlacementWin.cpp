#include "support/PlacementWin.h"

#include "common/HandlesWin.h"

namespace {
TScreenRect ToScreenRect(const RECT& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}
} // namespace

TChosenScreen ChosenScreenOrPrimary() {
    if (const auto chosen = ChosenScreen())
        return *chosen;
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
    const TScreenRect monitor = ToScreenRect(info.rcMonitor);
    return {monitor.Width, monitor.Height, monitor};
}

TScreenRect WorkAreaOf(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &info);
    return ToScreenRect(info.rcWork);
}

int ScreenPixelsPerInch() {
    TWindowDC screen(nullptr);
    const int pixels = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return pixels > 0 ? pixels : 96;
}
