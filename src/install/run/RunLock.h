// One run at a time in a suite's folder: an installation or a removal holds a named mutex of the machine's,
// keyed by where the folder is in the end, from before it reads the journal of a killed run to its own end.
// A second run on the same folder, from this user or another, an elevated one or not, is refused instead of
// undoing the first one's work under it.
#pragma once

#include <string>

#include "common/HandlesWin.h"

class TRunLock {
public:
    // Takes the folder's mutex when no one else holds it. A mutex abandoned by a run that was killed counts
    // as free: what that run left is the next run's to undo.
    explicit TRunLock(const std::wstring& Target);
    TRunLock(const TRunLock&) = delete;
    TRunLock& operator=(const TRunLock&) = delete;
    ~TRunLock();
    bool Held() const noexcept { return FHeld; }

private:
    TUniqueHandle FMutex;
    bool FHeld = false;
};

// The mutex's name for a folder: the same for every spelling of one folder (letter case, a relative or short
// form, a link on the way), whether the folder exists yet or not.
std::wstring RunLockName(const std::wstring& Target);

// The refusal: another run works in the folder.
std::wstring RunBusyText(const std::wstring& Target);
