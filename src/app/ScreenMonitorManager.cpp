#include "app/ScreenMonitorManager.h"

#include "common/Error.h"

std::unique_ptr<TmyScreen> MyScreen;

TmyScreen::TmyScreen(IScreenSource& screen) : FScreen(&screen) {
    FCursor = screen.Cursor();
    MonitorCount = screen.MonitorCount();
    const TMonitorGeometry workArea = screen.WorkArea();
    WorkAreaWidth = workArea.Width;
    WorkAreaHeight = workArea.Height;
    const TMonitorGeometry desktop = screen.Desktop();
    Width = desktop.Width;
    Height = desktop.Height;
    PixelsPerInch = screen.PixelsPerInch();
}

void TmyScreen::SetCursor(std::int16_t value) noexcept {
    FCursor = value;
    try {
        FScreen->SetCursor(value);
    } catch (...) {
    }
}

void SelectMonitor(TmyScreen& screen, std::uint8_t monitor) {
    // Signed on purpose: with no monitor at all the count minus one is -1 and monitor 0 is taken.
    screen.Monitornumber = screen.MonitorCount - 1 < static_cast<std::int32_t>(monitor) ? 0 : monitor;
    const TMonitorGeometry chosen = screen.GetMonitor(screen.Monitornumber);
    // The full size of the monitor on purpose, not its work area: the secondary windows centre on it.
    screen.WorkAreaWidth = chosen.Width;
    screen.WorkAreaHeight = chosen.Height;
    screen.Width = chosen.Width;
    screen.Height = chosen.Height;
    screen.ScaleKoef = static_cast<double>(chosen.PixelsPerInch) / 96.0;
}

void SelectMonitor(std::uint8_t monitor) {
    if (!MyScreen)
        throw TError(L"Геометрия экрана ещё не прочитана");
    SelectMonitor(*MyScreen, monitor);
}
