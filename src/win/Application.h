// The application object: its title, its main window, the message loop and pumping.
#pragma once

#include <windows.h>
#include <string>

class TApplication {
public:
    const std::wstring& Title() const noexcept { return FTitle; }
    void SetTitle(std::wstring title) { FTitle = std::move(title); }

    HWND MainWindow() const noexcept { return FMainWindow; }
    void SetMainWindow(HWND window) noexcept { FMainWindow = window; }

    // Runs the message loop until WM_QUIT; keyboard navigation (Tab, Enter, Esc) goes through the
    // main window as in a dialog. Returns the exit code carried by WM_QUIT.
    int Run();
    // Handles every pending message at once, so that windows repaint during long work.
    void ProcessMessages();
    // The hourglass while long work runs on this thread, the arrow again afterwards.
    void SetBusyCursor(bool busy) noexcept;

private:
    bool Dispatch(MSG& message);
    std::wstring FTitle;
    HWND FMainWindow = nullptr;
};

TApplication& Application() noexcept;
