// What a run's window does when Windows ends the session (a log-off, a shutdown, a restart, an update's
// restart) while an installation or a removal works: it refuses the end with a reason Windows shows
// (ShutdownBlockReasonCreate, where the system has it, and FALSE to WM_QUERYENDSESSION) and says so in the
// run's list and log; and when the session ends all the same (the user chose to end it anyway, or a forced
// end), it asks the run to stop (RunStop.h), so that a run before its commit undoes itself, waits for it
// while answering sent messages, within the time Windows gives, and ends the process with the run's exit
// code. The wizard's main window does it, and for a /VERYSILENT run a hidden top-level window made for it
// alone (RunInHiddenWindow): Windows sends these messages to top-level windows, and a process with none is
// simply ended.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/RunWorker.h"

class TSessionEndGuard {
public:
    // While the run works, the session's end waits with this reason.
    void RunStarts(HWND Window, const std::wstring& Reason);
    void RunEnds() noexcept;
    bool Working() const noexcept { return FWorking; }
    // WM_QUERYENDSESSION during the run: refused (the message's answer is FALSE). True the first time, when
    // the caller says so in the run's list.
    bool Refuse() noexcept;
    // WM_ENDSESSION of a session that ends during the run: the run is asked to stop and waited for, at most
    // `Patience` ms; then the process ends (SetSessionEndFinish) with the run's exit code, or 1603 when it
    // did not end in time.
    [[noreturn]] void EndWithRun(TRunWorker& Worker, DWORD Patience = 20000);

private:
    HWND FWindow = nullptr;
    bool FWorking = false;
    bool FRefused = false;
};

// What the program does last when the session ends during a run: the run log's last lines (why the run went
// unfinished, where it did not end in time, and the exit code); set by the entry.
void SetSessionEndFinish(std::function<void(int ExitCode, bool RunEnded)> Finish);

// The line of the list and the log when the session's end is refused, and the reason Windows shows.
std::wstring SessionEndRefusedText(bool Removing);
std::wstring SessionEndReason(bool Removing);

// A /VERYSILENT run: `Work` on a worker thread (TRunWorker), this thread keeping a hidden top-level window
// that answers the session's end as the wizard's window does (its refusal written to `Log` when given).
// Returns the work's result.
class TRunLog;
int RunInHiddenWindow(std::function<int()> Work, TRunLog* Log, bool Removing);
