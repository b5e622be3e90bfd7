// The one window base class: the window procedure finds its object through GWLP_USERDATA, calls the
// member handler and never lets a C++ exception cross into the platform.
#pragma once

#include <windows.h>
#include <string>

#include "common/Geometry.h"

class TWindow {
public:
    TWindow() = default;
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;
    virtual ~TWindow();

    HWND Handle() const noexcept { return FHandle; }

protected:
    // Registers a window class whose procedure dispatches to TWindow objects; repeated calls are harmless.
    static void RegisterWindowClass(const wchar_t* className, UINT style = 0, HBRUSH background = nullptr,
                                    HICON icon = nullptr);
    // Creates the window; `this` reaches the procedure through the creation parameters.
    void CreateHandle(DWORD exStyle, const wchar_t* className, const wchar_t* caption, DWORD style, int x,
                      int y, int width, int height, HWND parent, HMENU menuOrId = nullptr);

    // Destroys the window now; derived classes call it first in their destructor, while their members
    // (fonts, libraries the controls live in) still exist.
    void DestroyHandle() noexcept;

    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandler(UINT message, WPARAM wParam, LPARAM lParam) {
        return ::DefWindowProcW(FHandle, message, wParam, lParam);
    }

private:
    static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND FHandle = nullptr;
};

// A control inside `parent` at `bounds` (in the parent's client area); WS_CHILD is added to `style`. Throws
// TError naming the control's class when the system refuses.
HWND CreateChildWindow(const wchar_t* className, const wchar_t* text, DWORD style, const TRect& bounds,
                       HWND parent, int id = 0, DWORD exStyle = 0);
// The control takes `font` (not redrawn now: the next paint shows it).
void SetWindowFont(HWND window, HFONT font) noexcept;
// The window's text, whatever its length.
std::wstring WindowText(HWND window);

// Runs a handler body; whatever it throws is shown as the general error report and ends that handler.
// Returns false when the body threw.
template <typename F> bool GuardHandler(F&& body) noexcept;

// The application's general error report: a modal error box with the error's message.
void ShowErrorReport(const std::wstring& message) noexcept;
// Turns the current exception (inside a catch block) into the text the report shows.
std::wstring CurrentExceptionText() noexcept;

template <typename F> bool GuardHandler(F&& body) noexcept {
    try {
        body();
        return true;
    } catch (...) {
        ShowErrorReport(CurrentExceptionText());
        return false;
    }
}
