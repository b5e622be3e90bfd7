#include "install/files/DelayedFlushes.h"

#include <utility>

#include "install/files/CopyFileApi.h"
#include "win/SystemLibrary.h"

namespace {

// Every file waiting keeps a handle open; past this many the run waits for the worker to catch up.
constexpr std::size_t MostOpen = 256;

// A second handle of an open file, with a file object of its own: Windows lets one I/O at a time through the
// handle a file was opened by without overlapping, so a flush through the copy's handle would hold up its
// writes. ReOpenFile is missing before Windows Vista: no second handle, and no early flush, there.
TUniqueFile SecondHandle(HANDLE file) {
    using TReOpenFile = HANDLE(WINAPI*)(HANDLE, DWORD, DWORD, DWORD);
    static const auto reOpen =
        reinterpret_cast<TReOpenFile>(reinterpret_cast<void*>(SystemExport(L"kernel32.dll", "ReOpenFile")));
    if (!reOpen)
        return {};
    return TUniqueFile(
        reOpen(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
}

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
        for (const TJob& job : dropped)
            FEarly -= job.Early ? 1 : 0;
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
            while (FQueue.empty() && !FStop)
                ::SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
            if (FStop)
                return;
            job = std::move(FQueue.front());
            FQueue.pop_front();
            FBusy = true;
        }
        const bool early = job.Early;
        Flush(std::move(job));
        {
            TLocked locked(FLock);
            FBusy = false;
            FEarly -= early ? 1 : 0;
        }
        ::WakeAllConditionVariable(&FChanged);
    }
}

void TDelayedFlushes::Flush(TJob job) {
    if (job.Early) {
        ::FlushFileBuffers(job.File.Get());
        return;
    }
    const bool flushed = CopyFileApi().Flush(job.File.Get());
    const DWORD code = flushed ? 0 : ::GetLastError();
    job.File.Reset();
    if (flushed)
        return;
    TLocked locked(FLock);
    FFailures.push_back({std::move(job.Relative), code ? code : ERROR_WRITE_FAULT});
}

bool TDelayedFlushes::Started() {
    {
        // Abandoned: a worker started now would end at once and leave what it was given waiting for ever.
        TLocked locked(FLock);
        if (FStop)
            return false;
    }
    if (!FThread)
        FThread.Reset(::CreateThread(nullptr, 0, Worker, this, 0, nullptr));
    return FThread.Valid();
}

void TDelayedFlushes::Later(TUniqueFile file, std::wstring relative) {
    if (!Started()) {
        Flush({std::move(file), std::move(relative)});
        return;
    }
    {
        TLocked locked(FLock);
        while (FQueue.size() >= MostOpen)
            ::SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
        FQueue.push_back({std::move(file), std::move(relative)});
    }
    ::WakeAllConditionVariable(&FChanged);
}

bool TDelayedFlushes::Early(HANDLE file) {
    {
        TLocked locked(FLock);
        if (FBusy || !FQueue.empty())
            return false;
    }
    if (!Started())
        return false;
    TUniqueFile again = SecondHandle(file);
    if (!again)
        return false;
    {
        TLocked locked(FLock);
        FQueue.push_back({std::move(again), std::wstring(), true});
        ++FEarly;
    }
    ::WakeAllConditionVariable(&FChanged);
    return true;
}

void TDelayedFlushes::WaitForEarly() {
    TLocked locked(FLock);
    while (FEarly > 0)
        ::SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
}

std::vector<TFlushFailure> TDelayedFlushes::Finish() {
    std::vector<TFlushFailure> failures;
    {
        TLocked locked(FLock);
        while (!FQueue.empty() || FBusy)
            ::SleepConditionVariableSRW(&FChanged, &FLock, INFINITE, 0);
        failures.swap(FFailures);
    }
    return failures;
}

std::size_t TDelayedFlushes::Pending() const {
    TLocked locked(FLock);
    return FQueue.size() + (FBusy ? 1 : 0);
}
