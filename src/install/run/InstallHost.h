// What the installation run and the removal need of whoever shows them: the progress list, questions, error
// boxes and the protected stretch. Nothing of pages or closing: the run ends with an outcome (RunOutcome.h),
// and the window decides from it. The main window is one host; a silent run and the tests are others.
// Portable on purpose: the run log and the silent answers are decided without a window.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The progress list alone: all that the deployment steps (database, fonts) need.
class IProgress {
public:
    virtual ~IProgress() = default;

    // A plain line, added once.
    virtual void AddLine(const std::wstring& text) = 0;
    // A line that announces one piece of work (its text ends in "...."); returns its index for CompleteLine.
    virtual std::size_t AddStepLine(const std::wstring& text) = 0;
    // Replaces the line by its own text followed directly by suffix ("Завершено" or "ОШИБКА!!!").
    virtual void CompleteLine(std::size_t index, const std::wstring& suffix) = 0;
    // A detail for the run's record only (sizes, durations, system error codes); the list never shows it.
    virtual void Trace(const std::wstring& text) { (void)text; }
};

// What becomes of a file that another program holds.
enum class TInUseAnswer {
    Retry,  // the same file is tried again
    Cancel, // the user chose to stop
    GiveUp, // no one is there to close the program, and waiting did not help
};

class IInstallHost : public IProgress {
public:
    // A question with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::wstring& text) = 0;
    // A modal error box with OK.
    virtual void ShowError(const std::wstring& text) = 0;
    // The protected stretch: the window refuses to close and shows the hourglass while it is on.
    virtual void SetProtected(bool on) = 0;
    // The native handle of the window that owns the shell's dialogs; null where there is none.
    virtual void* OwnerWindow() = 0;
    // True when no one is there to answer a dialog: the shell must then copy without asking anything.
    virtual bool Unattended() { return false; }
    // A file the run must replace, or a folder it must write into, is held by `programs` (empty when the
    // system cannot tell who). Programs are never closed for the user: the host asks them to close it.
    virtual TInUseAnswer FileInUse(const std::wstring& file, const std::vector<std::wstring>& programs) = 0;
};

// Raises and lowers the protected stretch for one scope, whatever way the scope is left.
class TProtectedStretch {
public:
    explicit TProtectedStretch(IInstallHost& host) : FHost(host) { FHost.SetProtected(true); }
    TProtectedStretch(const TProtectedStretch&) = delete;
    TProtectedStretch& operator=(const TProtectedStretch&) = delete;
    ~TProtectedStretch() { FHost.SetProtected(false); }

private:
    IInstallHost& FHost;
};
