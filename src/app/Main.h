// The wizard's main window: the skinned background, message dispatch and page switching. Its controls are
// built by TMainPages, laid out by TScaledLayout; the installation run and the removal go on a worker thread
// (TRunWorker) and reach the window through the marshalling host (MainRun.cpp applies and answers).
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "session/StartOptions.h"
#include "app/MainLayout.h"
#include "app/MainPages.h"
#include "app/RunWorker.h"
#include "app/SessionEnd.h"
#include "app/Skin.h"
#include "app/WizardState.h"
#include "install/run/InstallRun.h"
#include "install/record/Uninstall.h"
#include "install/run/RunLog.h"
#include "win/Window.h"

class TFMain : public TWindow {
public:
    TFMain() = default;
    ~TFMain() override;

    // What this start is to do, resolved from its command line, and where the run's record goes; set before
    // Create. The window edits the installation's options (the folder, the driver, the Windows choice).
    void SetRunContext(const TStart& start, TRunLog& log, std::wstring logPath);

    // Creates the window hidden, with the welcome page, runs FormCreate and applies the command line; laid
    // out at the resolution of `display`, or at the largest that still fits its work area.
    void Create();
    void Create(const TDisplay& display);
    void Show();
    // The pages after the welcome page (see TMainPages::CreateRemaining).
    void CreateRemainingPages();

    TPage CurrentPage() const noexcept { return FPage; }
    COLORREF ControlColour() const noexcept { return FPages.ControlColour(); }
    // The resolution the window is laid out at.
    int PixelsPerInch() const noexcept { return FLayout.Dpi(); }
    TMainPages& Pages() noexcept { return FPages; }
    const TMainPages& Pages() const noexcept { return FPages; }

    // Event handlers, named after their control and event.
    void FormCreate();
    bool FormCloseQuery() const noexcept { return FCanClose; }
    void BtnStartNextClick();
    void BtnSelectPathClick();
    void BtnInputPathNextClick();
    void tsInputComponentsShow();
    void BtnInputComponentsBackClick();
    void BtnInsatallClick();
    void BtnCancelClick();
    void BtnExitClick();
    void BGResize();
    void BtnChangeFontClick();

    // The end of a complete run on a screen with small fonts: "Выход" enabled, the large-font page shown.
    void ShowLargeFontAdvice();
    // /SILENT: the progress page only, the run at once, the window closed at the end.
    void StartSilentRun();
    // The installation's options as the pages have edited them.
    const TInstallOptions& RunOptions() const noexcept { return FOptions; }
    // /UNINSTALL: the removal on the progress page: the window shows, the question comes, the removal runs
    // and the window waits for "Выход" (unattended, it closes at the end).
    void StartUninstall();
    int ExitCode() const noexcept { return FExitCode; }

    // Empties the progress list and shows the progress page, as a run begins.
    void ShowProgressPage();

    // Form state.
    bool FCanClose = true;
    std::wstring AppNameStr;
    std::wstring Fcopyfrom;

    // The skin: the seven images as loaded, and the background composed from them.
    TSkinImages FSkin;
    TBitmap32 FBackground;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Lays every control out anew and remakes the fonts at another resolution.
    void ApplyPixelsPerInch(int pixelsPerInch);
    void OnDpiChanged(int pixelsPerInch, const RECT& suggested);
    void ApplyCommandLine();
    void ShowRunLogPath();
    void ShowPage(TPage page);
    void Apply(const TWizardStep& step);
    void Close();
    void OnCommand(int id, int code);
    void PressDefault(bool cancel);
    void Paint();

    // The run on its worker: started with the host it talks through, its events applied in order, its
    // questions answered with boxes, and its end.
    void StartRun(std::function<int(IInstallHost&)> run);
    // Empties the progress list and lets it show again.
    void ClearRunList();
    void ApplyRunEvents();
    // Applies one of the run's events; `lines`: whether a line came, `shown`: the lines as the list shows
    // them.
    void ApplyRunEvent(const TRunEvent& event, bool& lines, std::vector<std::wstring>& shown);
    // Lets the list scroll sideways as far as the widest of `shown`.
    void WidenRunList(const std::vector<std::wstring>& shown);
    TRunAnswer AnswerRun(const TRunQuestion& question);
    void RunDone(int result);
    // The session is to end while the run works: refused, and said in the list and the log.
    void RefuseSessionEnd();

    TScaledLayout FLayout;
    TMainPages FPages;
    TPage FPage = TPage::tsStart;
    bool FSkinLoaded = false;
    bool FPainted = false;  // the first WM_PAINT has been handled
    int FBackgroundDpi = 0; // the resolution FBackground was composed at

    TRunEvents FRunEvents;
    TRunEventPump FRunEventPump{FRunEvents};
    TRunState FRunState;
    TSessionEndGuard FSessionEnd;
    bool FRunStarted = false;    // at most one run per start
    bool FCloseAfterRun = false; // the run is done with the window: it closes when the run has ended
    bool FRemoving = false;      // /UNINSTALL: the window removes the suite
    std::optional<TRemovalEnd> FRemovalEnd;
    std::wstring FListFolder; // the run's folder: the list names what lies below it from there
    int FListExtent = 0;      // how far the list scrolls sideways: its widest line

    bool FContextSet = false; // SetRunContext came before Create; otherwise the start is a plain one
    TStart FStart;
    TInstallOptions FOptions;
    TCommandLine FCommandLine;
    TRunLog* FRunLog = nullptr;
    std::wstring FRunLogPath;
    int FExitCode = ecNotInstalled;
    // Last: the worker uses the members above until it has ended, and its destructor waits for that.
    TRunWorker FWorker;
};

// The product name (string resource 1) is "Фиалон", compared upper-cased.
extern bool EditionFlag;
// Upper case by the platform's full case mapping, Cyrillic letters included.
std::wstring UpperCase(std::wstring text);
// Whether a product name is that of the edition that writes "btooth.ini".
bool IsEditionName(const std::wstring& name);
// The product's texts from the program's resources.
TProductTexts ProgramTexts();

// The one main window, created by the entry.
extern TFMain* FMain;
