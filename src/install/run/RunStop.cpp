#include "install/run/RunStop.h"

TRunStopped::TRunStopped() : TCancelled(RunStoppedText) {}

void TRunStop::Request() noexcept {
    {
        std::lock_guard<std::mutex> locked(FLock);
        FRequested.store(true);
    }
    FChanged.notify_all();
}

void TRunStop::Reset() noexcept {
    std::lock_guard<std::mutex> locked(FLock);
    FRequested.store(false);
}

void TRunStop::Check() const {
    if (FRequested.load())
        throw TRunStopped();
}

bool TRunStop::WaitFor(std::chrono::milliseconds time) {
    std::unique_lock<std::mutex> locked(FLock);
    return FChanged.wait_for(locked, time, [this] { return FRequested.load(); });
}

TRunStop& RunStop() noexcept {
    static TRunStop stop;
    return stop;
}

TRunPointHook& RunPointHook() noexcept {
    static TRunPointHook hook = nullptr;
    return hook;
}
