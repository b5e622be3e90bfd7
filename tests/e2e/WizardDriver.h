// Drives the wizard from outside its process, as a user would: starts Setup.exe, finds its windows by class
// and text, clicks, types, answers its message boxes. Every wait is bounded and names what it awaited.
#pragma once

#include <windows.h>
#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "common/HandlesWin.h"

namespace e2e {

using TDuration = std::chrono::milliseconds;
// Generous for a loaded CI machine under Wine, yet short enough that a hang fails the run quickly.
inline constexpr TDuration DefaultTimeout{15000};
// The first start in a cold prefix loads far more than any later step.
inline constexpr TDuration StartTimeout{30000};

// A failed expectation of the driver itself; gtest reports the text of what().
class TDriverError : public std::runtime_error {
public:
    explicit TDriverError(const std::wstring& message);
};

std::string ToUtf8(const std::wstring& text);

// Command line first (--medium=, --shots=, --runs=), then the environment (TESSARO_MEDIUM, TESSARO_SHOTS).
struct TOptions {
    std::wstring Medium; // folder holding Setup.exe, without trailing backslash
    std::wstring Shots;  // folder for screenshots; empty: none are saved
    int Runs = 7;
};
TOptions ReadOptions();

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
bool FolderExists(const std::wstring& path);
// Removes a folder only when it is empty; returns whether it is gone afterwards.
bool RemoveEmptyFolder(const std::wstring& path);
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

struct TMessageBox {
    HWND Handle = nullptr;
    std::wstring Text;
};

// The wizard's own timed message window while it shows the driver notice.
struct TNotice {
    HWND Handle = nullptr;
    std::wstring Text; // the notice as its label holds it
};

// What a start adds to the program's own path: switches, and environment variables set (or, with an empty
// value, removed) on top of the driver's own environment.
struct TLaunch {
    std::wstring Arguments;
    std::vector<std::pair<std::wstring, std::wstring>> Environment;
};

// How an installation run ended, as seen from outside.
enum class TRunOutcome {
    FontPage,    // the large-font page is shown: a complete run on a screen with small fonts
    ExitEnabled, // "Выход" on the progress page took input
    MessageBox,  // a message box is up: a question of the run, an error box or the general error report
};

class TWizard {
public:
    // Starts <exe> with its own path as the whole command line, in `workingDir`; screenshots go to
    // `shots` (none when empty).
    TWizard(const std::wstring& exe, const std::wstring& workingDir, const std::wstring& shots = {});
    // The same with switches after the path and a changed environment.
    TWizard(const std::wstring& exe, const std::wstring& workingDir, const std::wstring& shots,
            const TLaunch& launch);
    TWizard(const TWizard&) = delete;
    TWizard& operator=(const TWizard&) = delete;
    // A wizard still running at the end of a test is killed: the next test needs a fresh one.
    ~TWizard();

    DWORD ProcessId() const noexcept { return FProcessId; }
    HANDLE Process() const noexcept { return FProcess.Get(); }
    bool Running() const;

    HWND WaitMainWindow(TDuration timeout = StartTimeout);
    HWND MainWindow() const noexcept { return FMain; }

    // The one visible page; nullptr when none or, in the middle of a change, two are visible.
    HWND VisiblePage() const;
    // Waits until some page is visible and painted and the window takes input: the end of start-up.
    HWND WaitFirstPage(TDuration timeout = StartTimeout);
    // For any program, not only the wizard: its first visible top-level window with everything painted.
    HWND WaitFirstWindow(TDuration timeout = StartTimeout);
    // Waits until the page with this text is the visible one, the window takes input and all is painted, the
    // information box (which comes after the first paint) with its document among it.
    HWND WaitPage(const std::wstring& text, TDuration timeout = DefaultTimeout);
    // Asserts that the page stays visible for a short while, e.g. after a refusal or a "No".
    void ExpectPageStays(const std::wstring& text);

    // The visible button with this caption.
    HWND WaitButton(const std::wstring& caption, TDuration timeout = DefaultTimeout);
    // Posts BM_CLICK: a modal box opened by the click must not block the driver.
    void Click(const std::wstring& caption);

    // The text block of a page: its read-only multi-line Edit.
    std::wstring PageText(HWND page);

    // Real keyboard input (SendInput) to the main window, brought to the front first.
    void PressKey(WORD virtualKey);

    HWND PathBox();
    void SetPath(const std::wstring& text);
    std::wstring Path();
    // The window that has the keyboard focus in the wizard's thread.
    HWND FocusWindow() const;

    std::optional<TMessageBox> FindMessageBox() const;
    TMessageBox WaitMessageBox(TDuration timeout = DefaultTimeout);
    // Presses the button with this id (IDOK, IDYES, IDNO) and waits until the box is gone.
    void Answer(const TMessageBox& box, int buttonId);

    void PostToMain(UINT message, WPARAM wParam, LPARAM lParam);
    // What Windows sends every top-level window of the process, hidden ones included, when the session ends
    // all the same (the user chose to end it anyway, or a forced end): WM_QUERYENDSESSION, then
    // WM_ENDSESSION with TRUE. Returns how many windows there were.
    int EndSessionAnyway();
    // Waits for the process to end; returns its exit code.
    DWORD WaitExit(TDuration timeout = DefaultTimeout, bool failOnMessageBox = false);

    // The lines of the progress list (the one list box of the main window) in order.
    std::vector<std::wstring> ProgressLines();
    // Whether the progress list is scrolled so that its last line is in view.
    bool LastProgressLineInView();
    // How many pixels the progress list's widest line runs past its width (it scrolls sideways that far);
    // 0 when every line fits.
    int ProgressLinesOverhang();
    // Waits until the run has ended one of the ways TRunOutcome names; `box` receives the message box.
    TRunOutcome WaitRunEnd(TDuration timeout, TMessageBox* box = nullptr);

    // While on, every wait answers the shell's question before it replaces a file ("Yes to all") and
    // counts it; such a question is then never taken for a message box of the wizard.
    void AnswerShellQuestions(bool on) noexcept { FAnswerShell = on; }
    // How often a wait looks again. A timing probe looks more often than the tests, whose pause leaves the
    // processors to the wizard: what it times is then off by at most this much.
    void SetPollInterval(DWORD milliseconds) noexcept { FPollInterval = milliseconds; }
    int ShellQuestionsAnswered() const noexcept { return FShellAnswered; }
    // The text of the last shell question answered.
    const std::wstring& LastShellQuestion() const noexcept { return FLastShellQuestion; }

    // Polls `probe` until it yields a window; fails naming `what` on timeout or when the wizard ends.
    HWND WaitFor(const std::wstring& what, TDuration timeout, const std::function<HWND()>& probe,
                 bool failOnMessageBox = true);

    // Saves the main window (or any window of the wizard) as seen on the screen.
    void Screenshot(const std::wstring& name, HWND window = nullptr);

    // Closes the driver notice of the components page whenever it shows up.
    void DismissNotices() const;
    std::optional<TNotice> FindNotice() const;
    // Waits for the driver notice and leaves it up: the waits stop closing it until CloseNotice.
    TNotice WaitNotice(TDuration timeout = DefaultTimeout);
    // Presses the notice's "OK" and waits until it is gone; the waits close notices again afterwards.
    void CloseNotice(const TNotice& notice);
    // Whether the window and all its visible descendants have painted everything they were asked to.
    bool Painted(HWND window) const;
    // Whether the information box beside the pages is there and shows its document.
    bool InfoBoxFilled() const;

private:
    std::vector<HWND> TopLevelWindows() const;
    // Presses "Yes to all" in the shell's question when one is up; true when it did.
    bool AnswerShellQuestion();
    HWND ProgressList();

    TUniqueHandle FProcess;
    TUniqueHandle FThread;
    DWORD FProcessId = 0;
    DWORD FThreadId = 0;
    HWND FMain = nullptr;
    std::wstring FShots;
    bool FKeepNotices = false;
    bool FAnswerShell = false;
    DWORD FPollInterval = 20;
    int FShellAnswered = 0;
    std::wstring FLastShellQuestion;
};

// Whether the window is the shell's question before replacing a file (it offers "Yes to all").
bool IsShellQuestion(HWND window);

// All descendants of a window, depth first.
std::vector<HWND> Descendants(HWND window);

// The file a process loaded the library `name` from (any case), empty when it has none of that name.
std::wstring LoadedLibraryPath(DWORD processId, const std::wstring& name);

// Writes the screen area of a window into a PNG file.
void SaveWindowImage(HWND window, const std::wstring& path);

} // namespace e2e
