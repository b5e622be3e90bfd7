// The run's side of the main window: the installation or the removal started on its worker thread, what it
// shows applied to the progress list in order (scrolled to its newest line, sideways to its widest), what it
// asks answered with boxes over the window, the session's end while it works, and its end: the outcome's
// row (session/RunEnd.h) and the wizard's page table (WizardState.h) decide the last question, the page and
// the closing. The window hands it its messages and the closes it is asked for; the presenter reaches the
// window only through TRunPages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/RunWorker.h"
#include "app/SessionEnd.h"
#include "app/WizardState.h"
#include "session/InstallSession.h"
#include "session/RunHost.h"

// What the presenter reaches of the window.
struct TRunPages {
    HWND Window = nullptr;
    HWND List = nullptr;     // the progress list
    HWND Exit = nullptr;     // "Выход" on the progress page
    HWND LogLabel = nullptr; // where the run's record went, shown once the run has ended
    std::function<void(TPage)> ShowPage;
    // The window may close (false during the run's protected stretch).
    std::function<void(bool)> SetCanClose;
};

// How the start wants its run carried out.
struct TRunManner {
    bool Interactive = true; // someone is there to answer: the last question, the advice page, the boxes
    TSessionPolicy Policy;   // questions answered, errors only written down, the screen's font test
    TRunLog* Log = nullptr;  // the run's record; none in the tests' windows
    std::wstring LogPath;
};

class TRunPresenter {
public:
    TRunPresenter() = default;
    TRunPresenter(const TRunPresenter&) = delete;
    TRunPresenter& operator=(const TRunPresenter&) = delete;

    void Attach(TRunPages pages, TRunManner manner);
    // One run per start: a second call, or one after the other kind, starts nothing.
    void StartInstallation(const TInstallOptions& options);
    void StartRemoval(const TUninstallOptions& options);
    bool Started() const noexcept { return FStarted; }
    bool Running() const noexcept { return FWorker.Running(); }
    bool Removing() const noexcept { return FRemoving; }
    // The window's close or Esc while the run works: refused in its protected stretch, carried out at its end
    // otherwise.
    void RequestClose() noexcept { FState.RequestClose(); }
    // The run's messages (RunWorker.h) and the session's end (SessionEnd.h): true when handled, `result`
    // then being the message's answer.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The run's exit code (RunEnd.h), once it has ended.
    int ExitCode() const noexcept { return FExitCode; }

    // Empties the progress list and lets it show.
    void ClearList();

private:
    void Start(std::function<const TRunEnd&(IInstallHost&, TRunLog&)> run);
    void ApplyEvents();
    // Applies one of the run's events; `lines`: whether a line came, `shown`: the lines as the list shows
    // them.
    void ApplyEvent(const TRunEvent& event, bool& lines, std::vector<std::wstring>& shown);
    // Lets the list scroll sideways as far as the widest of `shown`, and down to its newest line.
    void ShowLines(bool lines, const std::vector<std::wstring>& shown);
    // Shows a scroll bar the list's lines now need and that is hidden still; whether it showed one.
    bool ShowNeededScrollBars();
    // Lets the list draw itself again, with the lines added while it did not.
    void RedrawList();
    // The widest of `lines` in the list's font, with the margins the list leaves on either side.
    int WidestLine(const std::vector<std::wstring>& lines);
    TRunAnswer Answer(const TRunQuestion& question);
    void RefuseSessionEnd();
    void Done(int result);
    void ShowLogPath();

    TRunPages FPages;
    TRunManner FManner;
    TRunEvents FEvents;
    TRunEventPump FPump{FEvents};
    TRunState FState;
    TSessionEndGuard FSessionEnd;
    bool FStarted = false;
    bool FRemoving = false;
    const TRunEnd* FEnd = nullptr; // the run's row, set by the worker before it ends
    int FExitCode = 0;
    std::wstring FListFolder;     // the run's folder: the list names what lies below it from there
    int FListExtent = 0;          // how far the list scrolls sideways: its widest line
    int FWidestLine = 0;          // the widest line the list has shown in this run
    bool FListStale = false;      // lines were added while the list did not draw itself
    LONG_PTR FBarsShownAhead = 0; // the scroll bars (WS_HSCROLL, WS_VSCROLL) shown before the list asked
    // The advance of each letter in the list's font, asked of the font once: a device context for every
    // batch, and a line measured through it, held the window for several milliseconds under Wine.
    std::unordered_map<wchar_t, int> FLetterWidths;
    // Last: the worker uses the members above until it has ended, and its destructor waits for that.
    TRunWorker FWorker;
};
