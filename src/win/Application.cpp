#include "win/Application.h"

#include <utility>

namespace {
// How long the queue stays empty before the loop counts itself idle.
constexpr DWORD IdleMilliseconds = 10;
} // namespace

TApplication& Application() noexcept {
    static TApplication instance;
    return instance;
}

bool TApplication::Dispatch(MSG& message) {
    if (message.message == WM_QUIT)
        return false;
    HWND dialogLike = FMainWindow;
    // Modal boxes run their own loops; this one serves the main window and its children.
    if (!(dialogLike && ::IsWindow(dialogLike) && ::IsDialogMessageW(dialogLike, &message))) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return true;
}

int TApplication::Run() {
    MSG message;
    for (;;) {
        // Idle means the thread has waited on an empty queue for a moment: that is also when the system
        // tells whoever waits for this program's start (WaitForInputIdle) that it is ready.
        if (FIdleWork && !::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) &&
            ::MsgWaitForMultipleObjectsEx(0, nullptr, IdleMilliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
                WAIT_TIMEOUT) {
            const std::function<void()> work = std::exchange(FIdleWork, nullptr);
            work();
            continue;
        }
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        Dispatch(message);
    }
    FIdleWork = nullptr;
    return message.message == WM_QUIT ? static_cast<int>(message.wParam) : 0;
}

void TApplication::ProcessMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave it for the main loop, which must still see it.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        Dispatch(message);
    }
}

void TApplication::SetBusyCursor(bool busy) noexcept {
    FBusy = busy;
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}
