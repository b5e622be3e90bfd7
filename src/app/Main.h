// The wizard's main window: the skinned background, the information box and the pages with their buttons.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/Controls.h"
#include "app/Skin.h"
#include "app/WindowScale.h"
#include "app/WizardState.h"
#include "common/HandlesWin.h"
#include "install/InstallHost.h"
#include "install/InstallRun.h"
#include "install/RunLog.h"
#include "win/Window.h"

// Control identifiers; none of them collides with IDOK and IDCANCEL, which the keyboard sends.
enum TControlId : int {
    idRichEdit1 = 1001,
    idePath,
    idBtnSelectPath,
    idBtnStartNext,
    idBtnCancel,
    idBtnCancel2,
    idBtnInputPathNext,
    idBtnCancel4,
    idBtnInputComponentsBack,
    idBtnInsatall,
    idCbDriverInstal,
    idCBWindows,
    idLogList,
    idBtnExit,
    idBtnExitCancel,
    idBtnChangeFont,
    idBtnExitOnChangefont,
    idMemo,
    idLblRunLog,
};

// The monitor the main window opens on, as far as its layout is concerned.
struct TDisplay {
    int PixelsPerInch = 96;
    TScreenRect WorkArea;
};
// The primary monitor, where the window opens centred.
TDisplay PrimaryDisplay();

// The main window is the installation run's host: the run writes into LogList and asks through it.
class TFMain : public TWindow, public IInstallHost {
public:
    TFMain() = default;
    ~TFMain() override;

    // Creates the window hidden, with the welcome page, and runs FormCreate; laid out at the resolution of
    // `display`, or at the largest that still fits its work area.
    void Create();
    void Create(const TDisplay& display);
    void Show();
    // The pages after the welcome page, with their controls in their first state. Made when one of them is
    // first shown or read (at once where the fonts are fitted to every page, at another resolution): the
    // window opens sooner without them, as a property sheet does. Does nothing once they exist; until then
    // their handles are null.
    void CreateRemainingPages();

    TPage CurrentPage() const noexcept { return FPage; }
    COLORREF ControlColour() const noexcept { return FControlColour; }
    // The resolution the window is laid out at.
    int PixelsPerInch() const noexcept { return FDpi; }

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

    // Form state.
    bool FCanClose = true;
    std::wstring AppNameStr;
    std::wstring Fcopyfrom;

    // The skin: the seven images as loaded, and the background composed from them.
    TSkinImages FSkin;
    TBitmap32 FBackground;

    // Controls. The containers own their windows; the other handles belong to their parent windows.
    TContainer InsatallPages;
    TContainer tsStart, tsInputPath, tsInputComponents, tsProgressInstall, tsCancel, tsChangeFontSize;
    TContainer PnlPath, PnlOptions;
    HWND RichEdit1 = nullptr;
    HWND MemoStart = nullptr, MemoInputPath = nullptr, MemoInputComponents = nullptr, MemoCancel = nullptr,
         MemoChangeFontSize = nullptr;
    HWND ePath = nullptr, BtnSelectPath = nullptr;
    HWND BtnStartNext = nullptr, BtnCancel = nullptr, BtnCancel2 = nullptr, BtnInputPathNext = nullptr,
         BtnCancel4 = nullptr, BtnInputComponentsBack = nullptr, BtnInsatall = nullptr;
    HWND CbDriverInstal = nullptr, CBWindows = nullptr, LogList = nullptr;
    HWND BtnExit = nullptr, BtnExitCancel = nullptr, BtnChangeFont = nullptr, BtnExitOnChangefont = nullptr;
    HWND LblRunLog = nullptr;

    // How this start was asked to install, and where the run's record goes; set before Create.
    void SetRunContext(const TCommandLine& line, TRunLog& log, std::wstring logPath);
    // /SILENT: the progress page only, the run at once, the window closed at the end.
    void StartSilentRun();
    // The run's options from the pages (and the command line).
    TInstallOptions RunOptions();
    int ExitCode() const noexcept { return FExitCode; }

    // The run's host.
    void AddLine(const std::wstring& text) override;
    std::size_t AddStepLine(const std::wstring& text) override;
    void CompleteLine(std::size_t index, const std::wstring& suffix) override;
    void Pump() override;
    bool AskYesNo(const std::wstring& text) override;
    void ShowError(const std::wstring& text) override;
    void ShowProgressPage() override;
    void SetProtected(bool on) override;
    void EnableExit() override;
    void ShowLargeFontPage() override;
    void CloseWindow() override;
    void* OwnerWindow() override { return Handle(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    enum class TFontRole { None, Times, Tahoma };
    // A window of the layout with its design bounds (at 96 pixels per inch) and its font.
    struct TPlaced {
        HWND Window;
        TBounds Design;      // in the parent's client area
        TScreenPoint Origin; // where the parent's client area starts in the window's design coordinates
        TFontRole Font;
    };

    int Px(int design) const { return Scaled(design, FDpi); }
    TBounds Px(const TBounds& design) const { return Scaled(design, FDpi); }
    HFONT Font(TFontRole role) const noexcept;
    TScreenPoint DesignOrigin(HWND parent) const;
    HWND Remember(HWND window, TBounds design, TFontRole font);
    HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, TBounds design,
                       HWND parent, int id, TFontRole font);
    HWND CreateButton(HWND parent, int id, const wchar_t* caption, TBounds design, TGlyph glyph);
    void CreateContainer(TContainer& container, HWND parent, const wchar_t* className, const wchar_t* text,
                         TBounds design, bool visible);
    // Lays every control out anew and remakes the fonts at another resolution.
    void ApplyPixelsPerInch(int pixelsPerInch);
    void OnDpiChanged(int pixelsPerInch, const RECT& suggested);
    // Whether the page texts of the role keep in `font` every line they keep whole in `designFont`.
    bool TextLinesFit(TFontRole role, HFONT font, HFONT designFont);
    void FitTextFont(TFontRole role, const wchar_t* face, int designHeight, TUniqueFont& font);
    void FitTextFonts();

    void ShowRunLogPath();
    void ScrollToLine(std::size_t index);
    void CreateFonts();
    void CreateControls();
    void CreateWelcomePage();
    void ColourRemainingPages();
    HWND CreateMemo(HWND parent, TBounds bounds, const wchar_t* const* lines, std::size_t count,
                    TFontRole font, COLORREF colour);
    void LoadInfoDocument();
    void ApplyColours();
    void ShowPage(TPage page);
    void Apply(const TWizardStep& step);
    void Close();
    void OnCommand(int id, int code);
    void PressDefault(bool cancel);
    HWND ForwardButton(TPage page) const;
    HWND CancelButton(TPage page) const;
    LRESULT OnControlColour(HDC dc, HWND control);
    void Paint();
    TContainer& PageWindow(TPage page);

    // Declared before the controls' windows so that they outlive them.
    TUniqueModule FRichEditLibrary;
    TUniqueFont FRichFont, FTimesFont, FTahomaFont;
    TUniqueBrush FControlBrush;
    COLORREF FControlColour = RGB(236, 236, 235);
    std::map<HWND, COLORREF> FTextColours;
    TPage FPage = TPage::tsStart;
    bool FSkinLoaded = false;
    bool FRemainingPages = false;
    int FDpi = DesignPixelsPerInch;
    int FBackgroundDpi = 0; // the resolution FBackground was composed at
    std::vector<TPlaced> FPlaced;

    TCommandLine FCommandLine;
    TRunLog* FRunLog = nullptr;
    std::wstring FRunLogPath;
    int FExitCode = ecNotInstalled;
};

// String resource `Id` of the program, at most 254 characters.
std::wstring GetResText(unsigned Id);

// The product name (string resource 1) is "Фиалон", compared upper-cased.
extern bool EditionFlag;
// Upper case by the platform's full case mapping, Cyrillic letters included.
std::wstring UpperCase(std::wstring text);

// The one main window, created by the entry.
extern TFMain* FMain;
