#include "install/files/DelayedFlushes.h"

#include <utility>

#include "install/files/CopyFileApi.h"

namespace {

// Every file waiting keeps a handle open; past this many the run waits for the worker to catch up.
constexpr std::size_t MostOpen = 256;

class TLocked {
public:
    explicit TLocked(SRWLOCK& lock) : FLock(lock) { ::AcquireSRWLockExclusive(&FLock); }
    TLocked(const TLocked&) = delete;
    TLocked& operator=(const TLocked&) = delete;
    ~TLocked() { ::ReleaseSRWLockExclusive(&FLock); }

private:
    SRWLOCK& FLock;
};

} // namespace

TDelayedFlushes::~TDelayedFlushes() {
    Abandon();
}

void TDelayedFlushes::Abandon() {
    std::deque<TJob> dropped;
    {
        TLocked locked(FLock);
        FStop = true;
        dropped.swap(FQueue);
    }
    ::WakeAllConditionVariable(&FChanged);
    if (FThread)
        ::WaitForSingleObject(FThread.Get(), INFINITE);
    FThread.Reset();
}

DWORD WINAPI TDelayedFlushes::Worker(LPVOID self) {
    static_cast<TDelayedFlushes*>(self)->Work();
    return 0;
}

void TDelayedFlushes::Work() {
    for (;;) {
        TJob job;
        {
            TLocked locked(FLock);
            while ((FQueue.empty() || !FGo) && !FStop)
                ::SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
            if (FStop)
                return;
            job = std::move(FQueue.front());
            FQueue.pop_front();
            FBusy = true;
        }
        Flush(std::move(job));
        {
            TLocked locked(FLock);
            FBusy = false;
        }
        ::WakeAllConditionVariable(&FChanged);
    }
}

void TDelayedFlushes::Flush(TJob job) {
    const bool flushed = CopyFileApi().Flush(job.File.Get());
    const DWORD code = flushed ? 0 : ::GetLastError();
    job.File.Reset();
    if (flushed)
        return;
    TLocked locked(FLock);
    FFailures.push_back({std::move(job.Relative), code ? code : ERROR_WRITE_FAULT});
}

void TDelayedFlushes::Later(TUniqueFile file, std::wstring relative) {
    if (!FThread) {
        FThread.Reset(::CreateThread(nullptr, 0, Worker, this, 0, nullptr));
        if (!FThread) {
            Flush({std::move(file), std::move(relative)});
            return;
        }
    }
    {
        TLocked locked(FLock);
        while (FQueue.size() >= MostOpen) {
            FGo = true;
            ::WakeAllConditionVariable(&FChanged);
            ::SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
        }
        FQueue.push_back({std::move(file), std::move(relative)});
    }
}

std::vector<TFlushFailure> TDelayedFlushes::Finish() {
    std::vector<TFlushFailure> failures;
    {
        TLocked locked(FLock);
        FGo = true;
        ::WakeAllConditionVariable(&FChanged);
        while (!FQueue.empty() || FBusy)
            ::SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
        failures.swap(FFailures);
        FGo = false;
    }
    return failures;
}

std::size_t TDelayedFlushes::Pending() const {
    TLocked locked(FLock);
    return FQueue.size() + (FBusy ? 1 : 0);
}
