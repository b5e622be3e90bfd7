#include "support/PlacementWin.h"

#include "common/HandlesWin.h"
#include "win/SystemLibrary.h"

namespace {
TRect ToScreenRect(const RECT& r) {
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TRect WorkAreaOfMonitor(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(monitor, &info);
    return ToScreenRect(info.rcWork);
}

// Both functions are newer than the oldest Windows the program runs on: looked up, not linked.
using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using TGetDpiForWindow = UINT(WINAPI*)(HWND);
constexpr int EffectiveDpi = 0; // MDT_EFFECTIVE_DPI
} // namespace

TChosenScreen ChosenScreenOrPrimary() {
    if (const auto chosen = ChosenScreen())
        return *chosen;
    HMONITOR primary = ::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(primary, &info);
    const TRect monitor = ToScreenRect(info.rcMonitor);
    return {monitor.Width, monitor.Height, monitor, MonitorPixelsPerInch(primary)};
}

TRect WorkAreaOf(HWND window) {
    return WorkAreaOfMonitor(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

TRect WorkAreaOf(const RECT& rect) {
    return WorkAreaOfMonitor(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST));
}

int ScreenPixelsPerInch() {
    TWindowDC screen(nullptr);
    const int pixels = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return pixels > 0 ? pixels : 96;
}

int MonitorPixelsPerInch(HMONITOR monitor) {
    if (monitor) {
        const auto getDpi = reinterpret_cast<TGetDpiForMonitor>(
            reinterpret_cast<void*>(SystemExport(L"shcore.dll", "GetDpiForMonitor")));
        UINT dpiX = 0;
        UINT dpiY = 0;
        if (getDpi && SUCCEEDED(getDpi(monitor, EffectiveDpi, &dpiX, &dpiY)) && dpiX > 0)
            return static_cast<int>(dpiX);
    }
    return ScreenPixelsPerInch();
}

int WindowPixelsPerInch(HWND window) {
    const auto getDpi = reinterpret_cast<TGetDpiForWindow>(
        reinterpret_cast<void*>(SystemExport(L"user32.dll", "GetDpiForWindow")));
    if (getDpi)
        if (const UINT dpi = getDpi(window); dpi > 0)
            return static_cast<int>(dpi);
    return MonitorPixelsPerInch(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

SIZE FrameSize(DWORD style, DWORD exStyle) {
    RECT frame{0, 0, 0, 0};
    ::AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    return {frame.right - frame.left, frame.bottom - frame.top};
}
