// The installation run and the removal on a worker thread of their own, reported to the main window: the
// window's thread only paints and answers. The worker reaches the window through TWindowPort (the marshalling
// host's IRunWindow): events and questions by posted messages; the window answers a question with a box over
// itself while the worker waits, unless the session ends meanwhile (RunStop.h): the worker then goes on to
// its undo without the answer, and the box goes with the process.
#pragma once

#include <windows.h>

#include <functional>

#include "common/HandlesWin.h"
#include "session/RunHost.h"

// Events wait in the run's queue (posted).
inline constexpr UINT WM_RUN_EVENTS = WM_APP + 10;
// A question to answer (posted; LPARAM: a new std::shared_ptr<TRunAsk>, which the window takes over, fills
// in and signals).
inline constexpr UINT WM_RUN_ASK = WM_APP + 11;
// The run has ended (posted; WPARAM: the work's result).
inline constexpr UINT WM_RUN_DONE = WM_APP + 12;

// Shared by the worker that asks and the window that answers: the worker may stop waiting first.
struct TRunAsk {
    TRunQuestion Question;
    TRunAnswer Answer;
    TUniqueHandle Answered; // an event, set once Answer holds the answer
};

class TWindowPort final : public IRunWindow {
public:
    explicit TWindowPort(HWND window) noexcept : FWindow(window) {}
    void Wake() override;
    TRunAnswer Ask(const TRunQuestion& question) override;
    void* Owner() override { return FWindow; }

private:
    HWND FWindow;
};

class TRunWorker {
public:
    TRunWorker() = default;
    TRunWorker(const TRunWorker&) = delete;
    TRunWorker& operator=(const TRunWorker&) = delete;
    // A run still under way when its window goes (which the window does not allow) is waited for.
    ~TRunWorker();

    // Starts `work` on a thread with COM of its own from its first object on (the shell's copy and links,
    // MSXML); when it returns, WM_RUN_DONE with its result goes to `window` (without one, the thread's end
    // is the only sign). Whatever `work` throws ends it with `Failed`. Throws TError "<cannotStart>:
    // <reason>" when the system gives no thread.
    void Start(HWND window, std::function<int()> work, int failed, const std::wstring& cannotStart);
    bool Running() const noexcept { return FThread.Valid(); }
    HANDLE Thread() const noexcept { return FThread.Get(); }
    // After WM_RUN_DONE: the thread's very end.
    void Join();
    // What the work returned, once its thread has ended.
    int Result() const noexcept { return FResult; }

private:
    static DWORD WINAPI ThreadMain(LPVOID self);

    HWND FWindow = nullptr;
    std::function<int()> FWork;
    int FFailed = -1;
    int FResult = -1;
    TUniqueHandle FThread;
};
