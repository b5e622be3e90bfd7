// The wizard's main window: the skinned background, message dispatch and page switching. Its controls are
// built by TMainPages, laid out by TScaledLayout; the installation run and the removal are its run
// presenter's (TRunPresenter), which it hands the run's messages and the closes asked for during a run.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/MainLayout.h"
#include "app/MainPages.h"
#include "app/RunPresenter.h"
#include "app/Skin.h"
#include "app/WizardState.h"
#include "common/HandlesWin.h"
#include "session/StartOptions.h"
#include "win/ComPtr.h"
#include "win/Window.h"

class TRunLog;

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
    // Shows the window and paints it; the information box follows at once after (CreateInfoBox).
    void Show();
    // OLE for this thread and the information box with its document: what the first paint does not wait
    // for. Made once a thread that Show starts has loaded their libraries, whichever message loop runs then;
    // at once by anything that needs it sooner (the folder browser needs OLE). Does nothing the second time.
    void CreateInfoBox();
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
    // 1602 until a run has ended; the run's own then.
    int ExitCode() const noexcept { return FRun.Started() ? FRun.ExitCode() : ecNotInstalled; }

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
    void ShowPage(TPage page);
    void Apply(const TWizardStep& step);
    void Close();
    void OnCommand(int id, int code);
    void PressDefault(bool cancel);
    void Paint();
    // The run presenter's view of the window, once the pages after the welcome page exist.
    void AttachRun();

    // OLE for the window's thread, from the information box on (single-threaded: the rich edit box and the
    // folder browser need it); given back once the window is gone, which the destructor sees to first.
    std::optional<TOleInit> FOle;
    TUniqueHandle FInfoLibraries; // the thread that loads the information box's libraries
    TScaledLayout FLayout;
    TMainPages FPages;
    TPage FPage = TPage::tsStart;
    bool FSkinLoaded = false;
    bool FPainted = false;  // the first WM_PAINT has been handled
    int FBackgroundDpi = 0; // the resolution FBackground was composed at

    bool FContextSet = false; // SetRunContext came before Create; otherwise the start is a plain one
    TStart FStart;
    TInstallOptions FOptions;
    TRunLog* FRunLog = nullptr;
    std::wstring FRunLogPath;
    // Last: its worker uses the window until it has ended, and its destructor waits for that.
    TRunPresenter FRun;
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
