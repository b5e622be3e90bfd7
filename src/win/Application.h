// The application object: its title, its main window, the message loop and pumping.
#pragma once

#include <windows.h>
#include <functional>
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
    // Work for the first idle moment of Run: no message has come, paints included, for a few milliseconds.
    // At start, that is after the first window has painted and the program has said it takes input. It
    // runs once; work left when Run returns is dropped.
    void RunWhenIdle(std::function<void()> work) { FIdleWork = std::move(work); }
    // Handles every pending message at once, so that windows repaint during long work.
    void ProcessMessages();
    // The hourglass while long work runs on this thread, the arrow again afterwards. While busy, the
    // program's windows keep the hourglass over their client areas (WM_SETCURSOR).
    void SetBusyCursor(bool busy) noexcept;
    bool Busy() const noexcept { return FBusy; }

private:
    bool Dispatch(MSG& message);
    std::wstring FTitle;
    HWND FMainWindow = nullptr;
    std::function<void()> FIdleWork;
    bool FBusy = false;
};

TApplication& Application() noexcept;
