#include "install/files/RunCopies.h"

#include <utility>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/StrUtils.h"
#include "install/files/CopyFileApi.h"
#include "install/files/Folders.h"

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

TRunCopies::TRunCopies() = default;

TRunCopies::~TRunCopies() {
    Abandon();
}

void TRunCopies::Abandon() {
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

void TRunCopies::MakeFolder(const std::wstring& folder) {
    CheckFolder(folder);
    std::vector<std::wstring> made;
    std::wstring level;
    if (const DWORD code = ForceDirectories(folder, &level, &made)) {
        ::SetLastError(code);
        ThrowLastError(L"Не удалось создать папку " + Quoted(level));
    }
    if (FTransaction)
        for (const std::wstring& each : made)
            FTransaction->AddedFolder(each);
}

DWORD WINAPI TRunCopies::Worker(LPVOID self) {
    static_cast<TRunCopies*>(self)->Work();
    return 0;
}

void TRunCopies::Work() {
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

void TRunCopies::Flush(TJob job) {
    const bool flushed = CopyFileApi().Flush(job.File.Get());
    const DWORD code = flushed ? 0 : ::GetLastError();
    job.File.Reset();
    if (flushed)
        return;
    TLocked locked(FLock);
    FFailures.push_back({std::move(job.Path), code ? code : ERROR_WRITE_FAULT});
}

void TRunCopies::FlushLater(TUniqueFile file, std::wstring path) {
    if (!FThread) {
        FThread.Reset(::CreateThread(nullptr, 0, Worker, this, 0, nullptr));
        if (!FThread) {
            Flush({std::move(file), std::move(path)});
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
        FQueue.push_back({std::move(file), std::move(path)});
    }
}

std::vector<TFlushFailure> TRunCopies::Finish() {
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
    for (const TFlushFailure& failure : failures) {
        // A package's file may have come read-only from the medium.
        SetReadOnlyAttr(failure.Path, false);
        ::DeleteFileW(failure.Path.c_str());
    }
    return failures;
}

std::size_t TRunCopies::Pending() const {
    TLocked locked(FLock);
    return FQueue.size() + (FBusy ? 1 : 0);
}

void FinishRunCopies(TRunCopies& Run) {
    const std::vector<TFlushFailure> failures = Run.Finish();
    if (failures.empty())
        return;
    std::wstring text = L"Не удалось записать на диск:";
    for (const TFlushFailure& failure : failures)
        text += L"\r\n" + Quoted(failure.Path) + L" — " + SystemErrorText(failure.Code);
    throw TError(text);
}
