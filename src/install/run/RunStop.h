// A run asked from outside to stop where it is: Windows ends the session (a log-off, a shutdown) and the
// window has passed that on. The run then stops at its next point where stopping is safe (between two chunks
// of a copy, before a file, while it waits for a held file or a question) and, before its commit, undoes
// itself; after the commit it goes on to its end. One per process: a process runs one installation or
// removal. Portable: tested natively.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "common/Error.h"

// The run stopped because the session ends: recorded, no box (no one is there to read it).
class TRunStopped : public TCancelled {
public:
    TRunStopped();
};

class TRunStop {
public:
    void Request() noexcept;
    bool Requested() const noexcept { return FRequested.load(); }
    // For the tests, which run many runs in one process.
    void Reset() noexcept;
    // Throws TRunStopped once a stop was requested.
    void Check() const;
    // Waits for `time`, or less when a stop is requested meanwhile; true when one was.
    bool WaitFor(std::chrono::milliseconds time);

private:
    std::atomic<bool> FRequested{false};
    std::mutex FLock;
    std::condition_variable FChanged;
};

TRunStop& RunStop() noexcept;

// A point of the run a test build may pause at (TestSeams.h names them), and the hook that pauses it; null by
// default. A pause ends early when a stop is requested.
using TRunPointHook = void (*)(const wchar_t* Point);
TRunPointHook& RunPointHook() noexcept;
inline void PassRunPoint(const wchar_t* Point) {
    if (RunPointHook())
        RunPointHook()(Point);
}

// The text of the stop.
inline constexpr wchar_t RunStoppedText[] = L"Сеанс Windows завершается: работа программы установки прервана";
