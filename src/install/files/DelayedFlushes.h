// The flush of the new files an installation run writes, left to the run's end. A file that was not in the
// suite's folder takes its name as soon as its content is written, and is brought to the disk only when the
// run has copied all it copies: a power cut before that loses nothing a second run cannot copy again. The run
// waits for the last of them before it counts as installed (before the clinic's database is let go and the
// suite registered). A file that replaces another never goes this way: its content reaches the disk before it
// takes the name.
// The flushes wait for the end rather than run beside the copies: there they are one wait in one place,
// before the package's script may touch the folder; on the benchmark's medium that wait took 4 to 39 ms.
#pragma once

#include <windows.h>

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "common/HandlesWin.h"

struct TFlushFailure {
    std::wstring Relative; // below the suite's folder
    DWORD Code = 0;
};

class TDelayedFlushes {
public:
    TDelayedFlushes() = default;
    TDelayedFlushes(const TDelayedFlushes&) = delete;
    TDelayedFlushes& operator=(const TDelayedFlushes&) = delete;
    // Abandon.
    ~TDelayedFlushes();

    // A run that stops before Finish: waits for the flush under way and lets go of the files not flushed yet,
    // so that no handle of ours is left on a file the undo removes or puts back.
    void Abandon();

    // Takes the open handle of a new file, already under its name, to be flushed on the worker at Finish.
    // When too many are open, the worker flushes the oldest at once. Without a worker (the system refused a
    // thread) it flushes now and keeps the failure for Finish.
    void Later(TUniqueFile file, std::wstring relative);

    // Waits until every file handed over is on the disk; the files whose flush failed, whose content may not
    // be what was written. Further files may be handed over afterwards.
    std::vector<TFlushFailure> Finish();

    // Flushes waiting and under way; for the tests.
    std::size_t Pending() const;

private:
    struct TJob {
        TUniqueFile File;
        std::wstring Relative;
    };
    static DWORD WINAPI Worker(LPVOID self);
    void Work();
    // Flushes and closes the job's file; a failure goes to FFailures. Called without the lock.
    void Flush(TJob job);

    mutable SRWLOCK FLock = SRWLOCK_INIT;
    CONDITION_VARIABLE FChanged = CONDITION_VARIABLE_INIT;
    std::deque<TJob> FQueue; // handed over, not yet taken by the worker, oldest first
    bool FBusy = false;      // the worker is flushing a file
    bool FGo = false;        // the worker may flush: Finish waits, or too many files are open
    bool FStop = false;
    std::vector<TFlushFailure> FFailures;
    TUniqueHandle FThread;
};
