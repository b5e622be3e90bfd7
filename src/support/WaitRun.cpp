#include "support/WaitRun.h"

#include <commctrl.h>

#include <cwchar>

#include "common/ErrorWin.h"
#include "support/MessageLayout.h"
#include "support/PlacementWin.h"
#include "win/Application.h"

TFWaitRun* FWaitRun = nullptr;

namespace {
// A title but no system menu: no close, minimise or maximise button.
constexpr DWORD WaitStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD WaitExStyle = WS_EX_TOPMOST;

SIZE WindowSize(HWND window) {
    RECT rect{};
    ::GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}
} // namespace

TFWaitRun::~TFWaitRun() {
    if (FWaitRun == this)
        FWaitRun = nullptr;
    DestroyHandle();
}

void TFWaitRun::Create() {
    RegisterWindowClass(L"TFWaitRun", 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    HWND owner = Application().MainWindow();
    CreateHandle(WaitExStyle, L"TFWaitRun", L"", WaitStyle, 0, 0, 0, 0,
                 owner && ::IsWindow(owner) ? owner : nullptr);
    ProgressBar = CreateChildWindow(PROGRESS_CLASSW, L"", WS_VISIBLE | PBS_SMOOTH, {}, Handle());
    ::SendMessageW(ProgressBar, PBM_SETRANGE32, 0, WaitBarSteps);
    ::SendMessageW(ProgressBar, PBM_SETSTEP, 1, 0);
    LblProgress = CreateChildWindow(L"Static", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX, {}, Handle());
    // Laid out at the resolution of the monitor it is shown on.
    LayOut(ChosenScreenOrPrimary().PixelsPerInch);
    FormCreate();
}

SIZE TFWaitRun::LayOut(int pixelsPerInch) {
    const TWaitFormSizes& design = WaitFormDesign;
    auto scaled = [&](int size) { return ScaleSize(size, pixelsPerInch, design.DesignPixelsPerInch); };
    const int clientWidth = scaled(design.ClientWidth);
    const int clientHeight = scaled(design.ClientHeight);
    const int border = design.BorderWidth;
    const int barHeight = scaled(design.BarHeight);

    // The frame is the system's, whatever the resolution the client area is laid out at.
    const SIZE frame = FrameSize(WaitStyle, WaitExStyle);
    const SIZE size{clientWidth + frame.cx, clientHeight + frame.cy};
    ::SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    LOGFONTW font{};
    font.lfHeight = -scaled(design.FontHeight);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = RUSSIAN_CHARSET;
    std::wcsncpy(font.lfFaceName, L"Tahoma", LF_FACESIZE - 1);
    TUniqueFont old = std::move(FFont);
    FFont.Reset(::CreateFontIndirectW(&font));
    ::SendMessageW(LblProgress, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);

    const int innerWidth = clientWidth - 2 * border;
    ::MoveWindow(ProgressBar, border, clientHeight - border - barHeight, innerWidth, barHeight, TRUE);
    ::MoveWindow(LblProgress, border, border, innerWidth, clientHeight - 2 * border - barHeight, TRUE);
    return size;
}

void TFWaitRun::FormCreate() {
    ::SendMessageW(ProgressBar, PBM_SETPOS, 0, 0);
    ::SetWindowTextW(Handle(), WaitTitle(typemessage).c_str());
    const SIZE size = WindowSize(Handle());
    const TPoint place = WaitWindowPlace(ChosenScreenOrPrimary().Monitor, size.cx, size.cy);
    ::SetWindowPos(Handle(), nullptr, place.Left, place.Top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFWaitRun::FormShow() {
    ::SetWindowTextW(Handle(), WaitTitle(typemessage).c_str());
    const SIZE size = WindowSize(Handle());
    const TPoint place = CentreInWorkArea(WorkAreaOf(Handle()), size.cx, size.cy);
    ::SetWindowPos(Handle(), nullptr, place.Left, place.Top, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFWaitRun::Next(std::int32_t, const std::wstring& msg) noexcept {
    try {
        ::SendMessageW(ProgressBar, PBM_STEPIT, 0, 0);
        ::SetWindowTextW(LblProgress, msg.c_str());
        Application().ProcessMessages();
    } catch (...) {
        // A progress display must never break the work it reports on.
    }
}

LRESULT TFWaitRun::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam)
            FormShow();
        break;
    case WM_CLOSE:
        // The window lives until the program ends; closing it only hides it.
        ::ShowWindow(Handle(), SW_HIDE);
        return 0;
    case WM_DPICHANGED: {
        const SIZE size = LayOut(LOWORD(wParam));
        const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, size.cx, size.cy,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    }
    return DefaultHandler(message, wParam, lParam);
}
