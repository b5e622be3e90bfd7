#include "app/Main.h"

#include <commctrl.h>
#include <shlobj.h>

#include "app/LargeFonts.h"
#include "app/SkinLoader.h"
#include "app/StartupTrace.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "resources/ResourceIds.h"
#include "session/StartOptionsWin.h"
#include "session/TargetPath.h"
#include "support/MessageForm.h"
#include "support/PlacementWin.h"
#include "win/Application.h"
#include "win/ComFunctions.h"
#include "win/MessageBox.h"
#include "win/Resources.h"
#include "win/ShellFunctions.h"
#include "win/SystemLibrary.h"

bool EditionFlag = false;
TFMain* FMain = nullptr;

namespace {
// Shown each time the components page is entered; each \r starts a new line of the notice.
const wchar_t* const DriverNotice = L"Внимание!\r Если на вашем компьютере уже установлен комплекс "
                                    L"\"Тессаро-Холтер\",\r снимите галочку установки драйвера!";

// The information box's libraries have loaded: the box is made. A timer's message when they could not be
// loaded aside, and the box is made with them.
constexpr UINT WM_INFO_LIBRARIES = WM_APP + 20;
constexpr UINT_PTR InfoBoxTimer = 1;

// OLE's libraries and the rich edit box's, loaded aside while the window answers: loading them is most of
// what the box costs, and would hold the window's thread for more than a frame.
DWORD WINAPI LoadInfoLibraries(LPVOID window) {
    for (const wchar_t* library : {L"ole32.dll", L"oleaut32.dll", L"Msftedit.dll"})
        SystemLibrary(library);
    ::PostMessageW(static_cast<HWND>(window), WM_INFO_LIBRARIES, 0, 0);
    return 0;
}

struct TCoTaskMemTraits {
    using TValue = PIDLIST_ABSOLUTE;
    static constexpr TValue Invalid() noexcept { return nullptr; }
    static void Close(TValue value) noexcept { Ole::CoTaskMemFree(value); }
};
using TUniqueIdList = TUniqueAny<TCoTaskMemTraits>;
} // namespace

std::wstring UpperCase(std::wstring text) {
    if (!text.empty())
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

TFMain::~TFMain() {
    if (FMain == this)
        FMain = nullptr;
    DestroyHandle();
    if (FInfoLibraries)
        ::WaitForSingleObject(FInfoLibraries.Get(), INFINITE);
}

bool IsEditionName(const std::wstring& name) {
    return UpperCase(name) == UpperCase(L"Фиалон");
}

TProductTexts ProgramTexts() {
    TProductTexts product;
    product.AppName = GetResText(IDS_APP_NAME);
    product.ProductName = GetResText(IDS_PRODUCT_NAME);
    product.ProductDescription = GetResText(IDS_PRODUCT_DESCRIPTION);
    product.ShellExe = GetResText(IDS_SHELL_EXE);
    product.Publisher = L"" TESSARO_PUBLISHER;
    product.Edition = IsEditionName(product.ProductName);
    return product;
}

void TFMain::SetRunContext(const TStart& start, TRunLog& log, std::wstring logPath) {
    FStart = start;
    FOptions = start.Install;
    FPages.InitialPath = FOptions.TargetText;
    FContextSet = true;
    FRunLog = &log;
    FRunLogPath = std::move(logPath);
}

void TFMain::Create() {
    Create(PrimaryDisplay());
}

void TFMain::Create(const TDisplay& display) {
    // A window made without a start of its own (the tests) is that of a start without switches.
    if (!FContextSet) {
        FStart = ResolveStart(L"", SystemStartFacts(ProgramTexts()));
        FOptions = FStart.Install;
        FPages.InitialPath = FOptions.TargetText;
    }
    RegisterWindowClass(L"TFMain", 0, nullptr,
                        ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN)));
    // The frame is the system's and keeps its size; only the client area is laid out at the resolution.
    FLayout.SetDpi(TScaledLayout::FittedDpi(display.PixelsPerInch, display.WorkArea));
    const TSize size = FLayout.WindowSize();
    // Centred on the screen, moved into the work area only where the taskbar or a screen edge would cut it.
    const TPoint place = KeepInWorkArea({(::GetSystemMetrics(SM_CXSCREEN) - size.Width) / 2,
                                         (::GetSystemMetrics(SM_CYSCREEN) - size.Height) / 2},
                                        size, display.WorkArea);
    CreateHandle(WS_EX_CONTROLPARENT, L"TFMain", L"Установка комплекса", MainStyle, place.Left, place.Top,
                 size.Width, size.Height, nullptr);
    PassStartupPoint(TStartupPhase::WindowCreated);
    FPages.CreateFirst(Handle(), FLayout);
    PassStartupPoint(TStartupPhase::FirstPageMade);
    // At the design resolution the texts are as designed; elsewhere their fonts may need a pixel less, which
    // every page's texts decide together.
    if (FLayout.Dpi() != DesignPixelsPerInch) {
        CreateRemainingPages();
        FLayout.FitTextFonts([this](HWND window) { return FPages.IsTextBox(window); });
    }
    FormCreate();
    ApplyCommandLine();
}

void TFMain::Show() {
    BGResize();
    ::ShowWindow(Handle(), SW_SHOW);
    ::UpdateWindow(Handle());
    ::SetFocus(FPages.ForwardButton(FPage));
    // The message comes to whichever loop runs then (a question's box at the removal's start has its own).
    if (!FPages.RichEdit1 && !FInfoLibraries) {
        FInfoLibraries.Reset(::CreateThread(nullptr, 0, LoadInfoLibraries, Handle(), 0, nullptr));
        if (!FInfoLibraries)
            ::SetTimer(Handle(), InfoBoxTimer, USER_TIMER_MINIMUM, nullptr);
    }
}

void TFMain::CreateInfoBox() {
    if (FPages.RichEdit1)
        return;
    ::KillTimer(Handle(), InfoBoxTimer);
    FOle.emplace();
    PassStartupPoint(TStartupPhase::ComReady);
    FPages.CreateInfoBox(Handle(), FLayout);
    FPages.LoadInfoDocument(FLayout.Dpi());
    PassStartupPoint(TStartupPhase::InfoLoaded);
}

void TFMain::CreateRemainingPages() {
    FPages.CreateRemaining(FLayout);
    AttachRun();
}

void TFMain::AttachRun() {
    TRunPages pages;
    pages.Window = Handle();
    pages.List = FPages.LogList;
    pages.Exit = FPages.BtnExit;
    pages.LogLabel = FPages.LblRunLog;
    pages.ShowPage = [this](TPage page) { ShowPage(page); };
    pages.SetCanClose = [this](bool canClose) { FCanClose = canClose; };
    TRunManner manner;
    manner.Interactive = !FStart.Line.AnswersQuestions();
    manner.Policy = {FStart.Line.AnswersQuestions(), FStart.Line.SuppressMsgBoxes, IsSmallFonts};
    manner.Log = FRunLog;
    manner.LogPath = FRunLogPath;
    FRun.Attach(std::move(pages), std::move(manner));
}

void TFMain::FormCreate() {
    LoadSkinImages(FSkin);
    FSkinLoaded = true;
    PassStartupPoint(TStartupPhase::SkinDecoded);
    EditionFlag = IsEditionName(GetResText(IDS_PRODUCT_NAME));
    AppNameStr = GetResText(IDS_APP_NAME);
    FCanClose = true;
    ShowPage(NextStep(FPage, TWizardEvent::Created, FCanClose).Page);
    FPages.SetColours(static_cast<COLORREF>(ControlColourOf(FSkin.Title)));
}

// The options the command line set live on the later pages (the path box takes its folder when it is made).
void TFMain::ApplyCommandLine() {
    if (FOptions.InstallDriver && FOptions.WindowsIndex == 0)
        return;
    CreateRemainingPages();
    if (!FOptions.InstallDriver)
        ::SendMessageW(FPages.CbDriverInstal, BM_SETCHECK, BST_UNCHECKED, 0);
    if (FOptions.WindowsIndex != 0)
        ::SendMessageW(FPages.CBWindows, CB_SETCURSEL, static_cast<WPARAM>(FOptions.WindowsIndex), 0);
}

void TFMain::ShowPage(TPage page) {
    if (page != TPage::tsStart)
        CreateRemainingPages();
    const bool changed = page != FPage;
    FPage = page;
    for (TPage each : {TPage::tsStart, TPage::tsInputPath, TPage::tsInputComponents, TPage::tsProgressInstall,
                       TPage::tsCancel, TPage::tsChangeFontSize})
        if (each != page && FPages.PageWindow(each).Handle())
            ::ShowWindow(FPages.PageWindow(each).Handle(), SW_HIDE);
    ::ShowWindow(FPages.PageWindow(page).Handle(), SW_SHOW);
    // The focus goes to the page's forward button, or to the first control the user can reach.
    HWND focus = FPages.ForwardButton(page);
    if (!focus || !::IsWindowEnabled(focus))
        focus = ::GetNextDlgTabItem(FPages.PageWindow(page).Handle(), nullptr, FALSE);
    if (focus && ::IsWindowVisible(Handle()))
        ::SetFocus(focus);
    if (page == TPage::tsInputComponents && changed)
        tsInputComponentsShow();
}

void TFMain::Apply(const TWizardStep& step) {
    if (step.CloseWindow) {
        Close();
        return;
    }
    ShowPage(step.Page);
    if (step.FocusPath) {
        ::SetFocus(FPages.ePath);
        ::SendMessageW(FPages.ePath, EM_SETSEL, 0, -1);
    }
}

void TFMain::Close() {
    ::SendMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TFMain::BtnStartNextClick() {
    Apply(NextStep(FPage, TWizardEvent::Next, FCanClose));
}

void TFMain::BtnSelectPathClick() {
    CreateInfoBox(); // OLE for the browser's new-style dialog, should the click come before the box
    BROWSEINFOW browse{};
    browse.hwndOwner = Handle();
    browse.pidlRoot = nullptr; // the desktop, the whole shell namespace
    // "Выберете" for "Выберите" as the suite's installers have always titled it: deliberate, not to be
    // corrected (docs/design.md#deliberate-texts).
    browse.lpszTitle = L"Выберете путь для установки программ";
    browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS | BIF_NONEWFOLDERBUTTON;
    TUniqueIdList chosen(ShellBrowseForFolder(&browse));
    if (!chosen)
        return;
    wchar_t path[MAX_PATH] = L"";
    if (ShellPathFromIdList(chosen.Get(), path))
        ::SetWindowTextW(FPages.ePath, path);
}

void TFMain::BtnInputPathNextClick() {
    const TPathCheck check = CheckTargetPath(WindowText(FPages.ePath));
    FRun.ClearList();
    if (check.Verdict != TPathVerdict::Empty)
        ::SetWindowTextW(FPages.ePath, check.Path.c_str());
    if (check.Verdict != TPathVerdict::Accepted) {
        ShowMessageBox(Handle(), RefusalText(check.Verdict),
                       check.Verdict == TPathVerdict::Root ? TBoxIcon::Warning : TBoxIcon::Error);
        Apply(NextStep(FPage, TWizardEvent::PathRefused, FCanClose));
        return;
    }
    // A folder any user may have made a link before the first installation is no place to install into, nor
    // one that an elevated run could not keep the administrators': the run would refuse either.
    if (const std::wstring refusal = TargetFolderRefusal(check.Path); !refusal.empty()) {
        ShowMessageBox(Handle(), refusal, TBoxIcon::Error);
        Apply(NextStep(FPage, TWizardEvent::PathRefused, FCanClose));
        return;
    }
    CreateTargetFolders(check.Path);
    FOptions.TargetText = check.Path;
    Apply(NextStep(FPage, TWizardEvent::PathAccepted, FCanClose));
}

void TFMain::tsInputComponentsShow() {
    ShowTimedMessage(DriverNotice, mtMessage, L"", 0);
}

void TFMain::BtnInputComponentsBackClick() {
    Apply(NextStep(FPage, TWizardEvent::Back, FCanClose));
}

void TFMain::StartUninstall() {
    ::SetWindowTextW(Handle(), L"Удаление комплекса");
    ShowPage(TPage::tsProgressInstall);
    CreateInfoBox(); // before the run, which begins at once, as for /SILENT
    Show();
    FRun.StartRemoval(FStart.Uninstall);
}

void TFMain::BtnInsatallClick() {
    CreateRemainingPages();
    // One run per start: a second click that came before the run showed its page starts nothing.
    if (FRun.Started())
        return;
    const int windows = static_cast<int>(::SendMessageW(FPages.CBWindows, CB_GETCURSEL, 0, 0));
    FOptions.WindowsIndex = windows < 0 ? 0 : windows;
    FOptions.InstallDriver = ::SendMessageW(FPages.CbDriverInstal, BM_GETCHECK, 0, 0) == BST_CHECKED;
    Fcopyfrom = FOptions.SourceFolder;
    // The progress page before the run begins: neither "Назад" nor "Отмена" reaches a run under way.
    if (FPage != TPage::tsProgressInstall)
        Apply(NextStep(FPage, TWizardEvent::Install, FCanClose));
    FRun.StartInstallation(FOptions);
}

void TFMain::StartSilentRun() {
    // On the progress page before the window first shows: an unattended run shows no other page. Its run
    // begins at once, and the information box is made before it rather than amid its lines.
    ShowPage(TPage::tsProgressInstall);
    CreateInfoBox();
    Show();
    BtnInsatallClick();
}

void TFMain::BtnCancelClick() {
    // A click that reached a page's hidden "Отмена" after the run began asks nothing.
    if (FRun.Started() || !PageHasCancel(FPage))
        return;
    if (!::AskYesNo(Handle(), L"Вы уверены, что хотите отменить процесс установки?"))
        return;
    FCanClose = true;
    Apply(NextStep(FPage, TWizardEvent::CancelConfirmed, FCanClose));
}

void TFMain::BtnExitClick() {
    Close();
}

void TFMain::BtnChangeFontClick() {
    if (ChangeToLargeFontsAndOfferRestart(Handle()))
        Close();
}

void TFMain::ShowLargeFontAdvice() {
    ShowPage(TPage::tsProgressInstall);
    const TRunEnd& completed = InstallationEnd(TOutcome::Completed);
    ::EnableWindow(FPages.BtnExit, completed.ExitEnabled);
    ShowPage(RunEndStep(completed, {.SmallFonts = true}).Page);
}

void TFMain::BGResize() {
    if (!FSkinLoaded)
        return;
    RECT client;
    ::GetClientRect(Handle(), &client);
    ComposeScaledBackground(FBackground, client.right - client.left, client.bottom - client.top,
                            FLayout.Dpi(), FSkin);
    FBackgroundDpi = FLayout.Dpi();
    if (FPages.RichEdit1) {
        const TRect rich = FLayout.Px(RichEditBounds);
        ::MoveWindow(FPages.RichEdit1, rich.Left, rich.Top, rich.Width, rich.Height, TRUE);
    }
    const TRect pages = FLayout.Px(PagesBounds);
    ::MoveWindow(FPages.InsatallPages.Handle(), pages.Left, pages.Top, pages.Width, pages.Height, TRUE);
    ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TFMain::ApplyPixelsPerInch(int pixelsPerInch) {
    FLayout.SetDpi(pixelsPerInch);
    // The fonts of another resolution are fitted to every page's texts.
    if (FLayout.Dpi() != DesignPixelsPerInch)
        CreateRemainingPages();
    if (FPages.LogList)
        ::SendMessageW(FPages.LogList, LB_SETITEMHEIGHT, 0, FLayout.Px(LogItemHeight));
    FLayout.FitTextFonts([this](HWND window) { return FPages.IsTextBox(window); });
    FPages.LoadInfoDocument(FLayout.Dpi());
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void TFMain::OnDpiChanged(int pixelsPerInch, const RECT& suggested) {
    const TRect work = WorkAreaOf(suggested);
    const int fitted = TScaledLayout::FittedDpi(pixelsPerInch, work);
    if (fitted != FLayout.Dpi())
        ApplyPixelsPerInch(fitted);
    // The suggested place, and the size of the layout, which is the suggested one up to rounding unless the
    // monitor is too small for it. The frame is the system's and keeps its size on every monitor.
    const TSize size = FLayout.WindowSize();
    const TPoint place = KeepInWorkArea({suggested.left, suggested.top}, size, work);
    ::SetWindowPos(Handle(), nullptr, place.Left, place.Top, size.Width, size.Height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    // The new size has composed the background anew, unless the size came out as it was.
    if (FBackgroundDpi != FLayout.Dpi())
        BGResize();
}

void TFMain::Paint() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(Handle(), &paint);
    if (dc && !FBackground.Empty()) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = FBackground.Width();
        info.bmiHeader.biHeight = -FBackground.Height(); // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        ::SetDIBitsToDevice(
            dc, 0, 0, static_cast<DWORD>(FBackground.Width()), static_cast<DWORD>(FBackground.Height()), 0, 0,
            0, static_cast<UINT>(FBackground.Height()), FBackground.Bits(), &info, DIB_RGB_COLORS);
    }
    ::EndPaint(Handle(), &paint);
}

void TFMain::PressDefault(bool cancel) {
    HWND button = cancel ? FPages.CancelButton(FPage) : FPages.ForwardButton(FPage);
    if (!cancel) {
        // Enter presses the button that has the focus, as in any dialog; elsewhere the page's forward button.
        HWND focus = ::GetFocus();
        wchar_t className[16] = L"";
        if (focus && ::GetClassNameW(focus, className, 16) && ::lstrcmpiW(className, L"Button") == 0 &&
            (::GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK) == BS_OWNERDRAW)
            button = focus;
    }
    if (button && ::IsWindowEnabled(button) && ::IsWindowVisible(button))
        OnCommand(::GetDlgCtrlID(button), BN_CLICKED);
}

void TFMain::OnCommand(int id, int code) {
    if (code != BN_CLICKED)
        return;
    switch (id) {
    case IDOK:
        PressDefault(false);
        break;
    case IDCANCEL:
        // Esc during a run asks for the same as the window's close.
        if (FRun.Running())
            FRun.RequestClose();
        else
            PressDefault(true);
        break;
    case idBtnStartNext:
        BtnStartNextClick();
        break;
    case idBtnSelectPath:
        BtnSelectPathClick();
        break;
    case idBtnInputPathNext:
        BtnInputPathNextClick();
        break;
    case idBtnInputComponentsBack:
        BtnInputComponentsBackClick();
        break;
    case idBtnInsatall:
        BtnInsatallClick();
        break;
    case idBtnCancel:
    case idBtnCancel2:
    case idBtnCancel4:
        BtnCancelClick();
        break;
    case idBtnExit:
    case idBtnExitCancel:
    case idBtnExitOnChangefont:
        BtnExitClick();
        break;
    case idBtnChangeFont:
        BtnChangeFontClick();
        break;
    }
}

LRESULT TFMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (LRESULT result = 0; FRun.HandleMessage(message, wParam, lParam, result))
        return result;
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DRAWITEM:
        DrawSkinButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), FLayout.Dpi());
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return FPages.ControlColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
        return 1; // the background is painted whole in WM_PAINT
    case WM_PAINT:
        Paint();
        if (!FPainted) {
            FPainted = true;
            PassStartupPoint(TStartupPhase::FirstPaint);
        }
        return 0;
    case WM_SIZE:
        BGResize();
        return 0;
    case WM_TIMER:
        if (wParam != InfoBoxTimer)
            break;
        CreateInfoBox();
        return 0;
    case WM_INFO_LIBRARIES:
        CreateInfoBox();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        // During a run the close is refused in its protected stretch, and otherwise remembered and carried
        // out when the run has ended: the window stays until then.
        if (FRun.Running()) {
            FRun.RequestClose();
            return 0;
        }
        if (!NextStep(FPage, TWizardEvent::CloseCommand, FormCloseQuery()).CloseWindow)
            return 0;
        ::DestroyWindow(Handle());
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return DefaultHandler(message, wParam, lParam);
}
