#include "app/RunWorker.h"

#include <memory>

#include "common/ErrorWin.h"
#include "win/ComPtr.h"

void TWindowPort::Wake() {
    ::PostMessageW(FWindow, WM_RUN_EVENTS, 0, 0);
}

TRunAnswer TWindowPort::Ask(const TRunQuestion& question) {
    auto ask = std::make_shared<TRunAsk>();
    ask->Question = question;
    ask->Answered.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // A window that is gone answers nothing: No, and Cancel for a held file.
    auto* handedOver = new std::shared_ptr<TRunAsk>(ask);
    if (!ask->Answered || !::PostMessageW(FWindow, WM_RUN_ASK, 0, reinterpret_cast<LPARAM>(handedOver))) {
        delete handedOver;
        return {};
    }
    // A session that ends waits for no answer: the run goes on to its undo while it may.
    while (::WaitForSingleObject(ask->Answered.Get(), 100) == WAIT_TIMEOUT)
        if (RunStopRequested() || !::IsWindow(FWindow))
            return {};
    return ask->Answer;
}

TRunWorker::~TRunWorker() {
    if (!FThread)
        return;
    // A question of the worker's would wait for a window that is going: it goes without its answer.
    StopRun();
    HANDLE thread = FThread.Get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

void TRunWorker::Start(HWND window, std::function<int()> work, int failed, const std::wstring& cannotStart) {
    FWindow = window;
    FWork = std::move(work);
    FFailed = failed;
    FThread.Reset(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
    if (!FThread)
        ThrowLastError(cannotStart);
}

DWORD WINAPI TRunWorker::ThreadMain(LPVOID self) {
    auto* worker = static_cast<TRunWorker*>(self);
    // The window's thread comes first whenever both want the processor: it answers at once, and the run
    // loses only what the window takes.
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
    int result = worker->FFailed;
    try {
        Ole::TComOnDemand com;
        result = worker->FWork();
    } catch (...) {
        // The work reports its own failures; what still reaches here ends the run as failed.
        result = worker->FFailed;
    }
    worker->FResult = result;
    if (worker->FWindow)
        ::PostMessageW(worker->FWindow, WM_RUN_DONE, static_cast<WPARAM>(result), 0);
    return 0;
}

void TRunWorker::Join() {
    if (FThread)
        ::WaitForSingleObject(FThread.Get(), INFINITE);
    FThread.Reset();
}
