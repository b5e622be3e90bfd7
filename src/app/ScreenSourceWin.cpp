#include "app/ScreenSourceWin.h"

#include <windows.h>

#include "common/HandlesWin.h"

namespace {
// GetDpiForMonitor exists from Windows 8.1 on; older systems have one resolution for all monitors.
using TGetDpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);

int ScreenPixelsPerInch() {
    TWindowDC screen(nullptr);
    return screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
}

struct TEnumContext {
    std::vector<TMonitorGeometry>* Monitors;
    TGetDpiForMonitor GetDpi;
    int FallbackPpi;
};

BOOL CALLBACK CollectMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data) {
    auto* context = reinterpret_cast<TEnumContext*>(data);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetMonitorInfoW(monitor, &info))
        return TRUE;
    TMonitorGeometry geometry;
    geometry.Left = info.rcMonitor.left;
    geometry.Top = info.rcMonitor.top;
    geometry.Width = info.rcMonitor.right - info.rcMonitor.left;
    geometry.Height = info.rcMonitor.bottom - info.rcMonitor.top;
    geometry.PixelsPerInch = context->FallbackPpi;
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (context->GetDpi && SUCCEEDED(context->GetDpi(monitor, 0 /* effective */, &dpiX, &dpiY)) && dpiX > 0)
        geometry.PixelsPerInch = static_cast<int>(dpiX);
    context->Monitors->push_back(geometry);
    return TRUE;
}
} // namespace

TWinScreenSource::TWinScreenSource() {
    TUniqueModule shcore(::LoadLibraryW(L"shcore.dll"));
    TEnumContext context{&FMonitors, nullptr, ScreenPixelsPerInch()};
    if (shcore)
        context.GetDpi = reinterpret_cast<TGetDpiForMonitor>(
            reinterpret_cast<void*>(::GetProcAddress(shcore.Get(), "GetDpiForMonitor")));
    ::EnumDisplayMonitors(nullptr, nullptr, CollectMonitor, reinterpret_cast<LPARAM>(&context));
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
    return ScreenPixelsPerInch();
}

void TWinScreenSource::SetCursor(std::int16_t cursor) {
    FCursor = cursor;
    // The screen cursors in use: the default arrow (0) and the hourglass (-11).
    ::SetCursor(::LoadCursorW(nullptr, cursor == -11 ? IDC_WAIT : IDC_ARROW));
}
