// The wizard's main window: the skinned background, message dispatch and page switching. Its controls are
// built by TMainPages, laid out by TScaledLayout, and the installation run talks to it through
// TProgressListHost.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "app/CommandLine.h"
#include "app/MainLayout.h"
#include "app/MainPages.h"
#include "app/Skin.h"
#include "app/WizardState.h"
#include "install/InstallRun.h"
#include "install/Uninstall.h"
#include "install/RunLog.h"
#include "win/Window.h"

class TFMain : public TWindow {
public:
    TFMain() = default;
    ~TFMain() override;

    // How this start was asked to install, and where the run's record goes; set before Create.
    void SetRunContext(const TCommandLine& line, TRunLog& log, std::wstring logPath);

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
    // The run's options from the pages (and the command line).
    TInstallOptions RunOptions();
    // /UNINSTALL: the removal's options (the folder from the command line), and the removal on the progress
    // page: the window shows, the question comes, the removal runs and the window waits for "Выход"
    // (unattended, it closes at the end).
    TUninstallOptions UninstallOptions() const;
    void StartUninstall(const TUninstallOptions& options);
    int ExitCode() const noexcept { return FExitCode; }

    // What the run asks of the window (through TProgressListHost).
    void ShowProgressPage();
    void SetProtected(bool on);
    void ShowLargeFontPageAfterRun();
    void CloseAfterRun();
    // The window's close was asked for while the run went on; it is carried out when the run ends.
    bool CloseRequested() const noexcept { return FCloseRequested; }

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

    TScaledLayout FLayout;
    TMainPages FPages;
    TPage FPage = TPage::tsStart;
    bool FSkinLoaded = false;
    bool FPainted = false;  // the first WM_PAINT has been handled
    int FBackgroundDpi = 0; // the resolution FBackground was composed at

    bool FRunning = false;        // the installation run is under way
    bool FCloseRequested = false; // a close came while it was
    bool FRemoving = false;       // /UNINSTALL: the window removes the suite

    TCommandLine FCommandLine;
    TRunLog* FRunLog = nullptr;
    std::wstring FRunLogPath;
    int FExitCode = ecNotInstalled;
};

// The exit code of a removal: 0 when it completed or found nothing installed, 1602 when it was declined, 1603
// when files stayed or an error ended it (nothing).
int RemovalExitCode(const std::optional<TRemovalEnd>& end);

// The product name (string resource 1) is "Фиалон", compared upper-cased.
extern bool EditionFlag;
// Upper case by the platform's full case mapping, Cyrillic letters included.
std::wstring UpperCase(std::wstring text);

// The one main window, created by the entry.
extern TFMain* FMain;
