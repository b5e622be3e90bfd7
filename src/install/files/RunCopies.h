// What an installation run's copies leave to its end. A file that was not in the target takes its name as
// soon as its content is written, and is brought to the disk only when the run has copied all it copies: a
// power cut before that loses nothing a second run cannot copy again. The run waits for the last of them
// before it counts as installed (before the clinic's database is let go and the suite registered). A file
// that replaces another never goes this way: its content reaches the disk before it takes the name. The
// copies' hashes are kept too, for the run's record.
// The flushes wait for the end rather than run beside the copies: there they are one wait in one place,
// before the package's script may touch the folder; on the benchmark's medium that wait took 4 to 39 ms.
#pragma once

#include <windows.h>

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/HandlesWin.h"
#include "install/files/Copies.h"
#include "install/run/InstallHost.h"
#include "install/record/InstalledFiles.h"
#include "install/trust/Links.h"
#include "install/run/RunTransaction.h"

struct TFlushFailure {
    std::wstring Path;
    DWORD Code = 0;
};

class TRunCopies {
public:
    TRunCopies();
    TRunCopies(const TRunCopies&) = delete;
    TRunCopies& operator=(const TRunCopies&) = delete;
    // Abandon.
    ~TRunCopies();

    // A run that stops before Finish: waits for the flush under way and lets go of the files not flushed yet,
    // so that no handle of ours is left on a file the rollback removes or puts back.
    void Abandon();

    // Takes the open handle of a new file, already under its name `path`, to be flushed on the worker at
    // Finish. When too many are open, the worker flushes the oldest at once. Without a worker (the system
    // refused a thread) it flushes now and keeps the failure for Finish.
    void FlushLater(TUniqueFile file, std::wstring path);

    // Waits until every file handed over is on the disk. Returns the files whose flush failed, after removing
    // them: they were new, and their content may not be what was written. Further files may be handed over
    // afterwards.
    std::vector<TFlushFailure> Finish();

    // The suite's folder: from here on no copy of the run writes into a folder of it that is, or lies below,
    // a foreign link (TForeignLink); before, the copies are not guarded (the tests of single steps).
    void SetTarget(const std::wstring& target) { FGuard.emplace(target); }
    void CheckFolder(const std::wstring& folder) const {
        if (FGuard)
            FGuard->CheckFolder(folder);
    }
    // The run's transaction: the copies keep the predecessors of what they replace and list what they add.
    void SetTransaction(TRunTransaction* transaction) noexcept { FTransaction = transaction; }
    TRunTransaction* Transaction() const noexcept { return FTransaction; }
    // Makes a folder of the target with its missing parents, as the guard allows, listing what it made for
    // the transaction. Throws TForeignLink or TError.
    void MakeFolder(const std::wstring& folder);

    // A foreign link on the medium that a copy passed over; the run's record names it.
    std::function<void(const std::wstring& link)> OnForeignLink;
    void NoteForeignLink(const std::wstring& link) const {
        if (OnForeignLink)
            OnForeignLink(link);
    }

    void RememberHash(const std::wstring& path, const TKnownHash& hash) { FHashes[path] = hash; }
    const TKnownHashes& Hashes() const noexcept { return FHashes; }

    // Flushes waiting and under way; for the tests.
    std::size_t Pending() const;

private:
    struct TJob {
        TUniqueFile File;
        std::wstring Path;
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
    TKnownHashes FHashes;
    std::optional<TTargetGuard> FGuard;
    TRunTransaction* FTransaction = nullptr;
};

// Waits for Run's flushes. Throws TError naming every file whose content did not reach the disk (removed by
// then): the run must not count as installed, and is undone.
void FinishRunCopies(TRunCopies& Run);
