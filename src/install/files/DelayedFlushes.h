// The flushes of the files an installation run writes, on a thread of their own beside the copies. A file
// that was not in the suite's folder takes its name as soon as its content is written, and its flush starts
// then, while the next files are copied: a power cut before it ends loses nothing a second run cannot copy
// again. The run waits for the last of them before it counts as installed (before the clinic's database is
// let go and the suite registered). A file that replaces another never goes this way: its content reaches the
// disk before it takes the name. A large file's copy also hands over what it has written so far (Early), so
// that the disk writes while the copy goes on rather than all of it after the last byte: the flush that
// follows the last byte then finds little left to write.
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

    // Takes the open handle of a new file, already under its name, to be flushed on the worker, after those
    // handed over before. When too many wait, the caller waits for the worker to catch up. Without a worker
    // (the system refused a thread, or after Abandon) it flushes now and keeps the failure for Finish.
    void Later(TUniqueFile file, std::wstring relative);

    // The bytes written so far to `file`, a copy under way, may go to the disk now: a handle of its own to
    // the same file is flushed on the worker while the copy goes on writing through `file`. Does nothing
    // while the worker has anything else to do, or where the system gives no second handle. Such a flush
    // decides nothing: its failure is not kept, the flush after the copy's last byte is the one that counts.
    // Whether the flush was handed over.
    bool Early(HANDLE file);
    // Waits until no early flush is waiting or under way: a copy that fails lets go of its file before it
    // removes it, so that the file is gone when the copy returns.
    void WaitForEarly();

    // Waits until every file handed over is on the disk; the files whose flush failed, whose content may not
    // be what was written. Further files may be handed over afterwards.
    std::vector<TFlushFailure> Finish();

    // Flushes waiting and under way; for the tests.
    std::size_t Pending() const;

private:
    struct TJob {
        TUniqueFile File;
        std::wstring Relative;
        bool Early = false; // a copy's bytes so far, through a handle of its own
    };
    static DWORD WINAPI Worker(LPVOID self);
    // Starts the worker when there is none yet; false where the system refuses a thread, or after Abandon.
    bool Started();
    void Work();
    // Flushes and closes the job's file; a failure goes to FFailures. Called without the lock.
    void Flush(TJob job);

    mutable SRWLOCK FLock = SRWLOCK_INIT;
    CONDITION_VARIABLE FChanged = CONDITION_VARIABLE_INIT;
    std::deque<TJob> FQueue; // handed over, not yet taken by the worker, oldest first
    bool FBusy = false;      // the worker is flushing a file
    std::size_t FEarly = 0;  // early flushes waiting or under way
    bool FStop = false;
    std::vector<TFlushFailure> FFailures;
    TUniqueHandle FThread;
};
