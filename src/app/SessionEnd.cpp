#include "app/SessionEnd.h"

#include <optional>

#include "session/CommandLine.h"
#include "session/InstallSession.h"
#include "win/SystemLibrary.h"
#include "win/Window.h"

namespace {

using TBlockReasonCreate = BOOL(WINAPI*)(HWND, LPCWSTR);
using TBlockReasonDestroy = BOOL(WINAPI*)(HWND);

std::function<void(int, bool)>& Finish() {
    static std::function<void(int, bool)> finish;
    return finish;
}

// The hidden window of a windowless run.
class THiddenRunWindow : public TWindow {
public:
    THiddenRunWindow(TRunWorker& worker, TRunLog* log, bool removing)
        : FWorker(worker), FLog(log), FRemoving(removing) {
        RegisterWindowClass(L"TessaroHiddenRun");
        // Top-level, never shown: a message-only window would not hear of the session's end.
        CreateHandle(0, L"TessaroHiddenRun", L"", WS_POPUP, 0, 0, 0, 0, nullptr);
    }
    ~THiddenRunWindow() override { DestroyHandle(); }
    TSessionEndGuard Guard;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
        case WM_QUERYENDSESSION:
            if (!Guard.Working())
                break;
            if (Guard.Refuse() && FLog)
                RecordWindowLine(*FLog, SessionEndRefusedText(FRemoving));
            return FALSE;
        case WM_ENDSESSION:
            if (wParam && Guard.Working())
                Guard.EndWithRun(FWorker);
            return 0;
        }
        return DefaultHandler(message, wParam, lParam);
    }

private:
    TRunWorker& FWorker;
    TRunLog* FLog;
    bool FRemoving;
};

} // namespace

void TSessionEndGuard::RunStarts(HWND Window, const std::wstring& Reason) {
    FWindow = Window;
    FWorking = true;
    FRefused = false;
    // Windows Vista and later; an earlier one asks nothing more than the refusal.
    if (const FARPROC found = SystemExport(L"user32.dll", "ShutdownBlockReasonCreate"))
        reinterpret_cast<TBlockReasonCreate>(reinterpret_cast<void (*)()>(found))(FWindow, Reason.c_str());
}

void TSessionEndGuard::RunEnds() noexcept {
    if (!FWorking)
        return;
    FWorking = false;
    if (const FARPROC found = SystemExport(L"user32.dll", "ShutdownBlockReasonDestroy"))
        reinterpret_cast<TBlockReasonDestroy>(reinterpret_cast<void (*)()>(found))(FWindow);
}

bool TSessionEndGuard::Refuse() noexcept {
    const bool first = !FRefused;
    FRefused = true;
    return first;
}

void TSessionEndGuard::EndWithRun(TRunWorker& Worker, DWORD Patience) {
    StopRun();
    // The run may still send this thread something (it asks nothing any more, but a shell's copy or a font's
    // announcement may): answered while it is waited for.
    HANDLE thread = Worker.Thread();
    const ULONGLONG until = ::GetTickCount64() + Patience;
    bool ended = false;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now >= until ? 0 : static_cast<DWORD>(until - now);
        const DWORD waited = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (waited == WAIT_OBJECT_0 + 1) {
            MSG message;
            ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        ended = waited == WAIT_OBJECT_0;
        break;
    }
    const int exitCode = ended ? Worker.Result() : ecRunFailed;
    if (Finish())
        Finish()(exitCode, ended);
    // Windows ends the process once this message has been answered, whatever it returns: ended here, with
    // the run's own code rather than the one the system gives a process it ends.
    ::ExitProcess(static_cast<UINT>(exitCode));
}

void SetSessionEndFinish(std::function<void(int ExitCode, bool RunEnded)> Action) {
    Finish() = std::move(Action);
}

std::wstring SessionEndRefusedText(bool Removing) {
    return Removing ? L"Завершение сеанса Windows отложено: идёт удаление комплекса."
                    : L"Завершение сеанса Windows отложено: идёт установка комплекса.";
}

std::wstring SessionEndReason(bool Removing) {
    return Removing ? L"Идёт удаление комплекса «Тессаро-Холтер». Если завершить сеанс сейчас, удаление "
                      L"будет прервано."
                    : L"Идёт установка комплекса «Тессаро-Холтер». Если завершить сеанс сейчас, установка "
                      L"будет прервана и отменена.";
}

int RunInHiddenWindow(std::function<int()> Work, TRunLog* Log, bool Removing) {
    // The run comes first: the window needs the display driver and, in a session where no program has shown
    // a window yet, the desktop, which a run that shows nothing need not wait for. The session's end is heard
    // from the moment the window is there, milliseconds later (some 200 where the desktop must start first);
    // a session that ends before then ends the process as a power cut would, and the next run recovers it.
    TRunWorker worker;
    worker.Start(nullptr, std::move(Work), ecRunFailed,
                 Removing ? L"Не удалось начать удаление" : L"Не удалось начать установку");
    // A window the system refuses leaves the run to go on unguarded, as it was for those milliseconds,
    // rather than undoing it.
    std::optional<THiddenRunWindow> window;
    try {
        window.emplace(worker, Log, Removing);
        window->Guard.RunStarts(window->Handle(), SessionEndReason(Removing));
    } catch (...) {
        window.reset();
        if (Log)
            RecordWindowLine(
                *Log, Removing ? L"Окно для завершения сеанса Windows не создано: удаление идёт без него."
                               : L"Окно для завершения сеанса Windows не создано: установка идёт без него.");
    }
    HANDLE thread = worker.Thread();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    if (window)
        window->Guard.RunEnds();
    worker.Join();
    return worker.Result();
}
