#include "app/Main.h"

#include <commctrl.h>
#include <richedit.h>
#include <shlobj.h>

#include <algorithm>
#include <iterator>

#include "app/LargeFonts.h"
#include "app/SkinLoader.h"
#include "app/WindowScale.h"
#include "app/TargetPath.h"
#include "common/FileIO.h"
#include "install/InstallRun.h"
#include "common/TH_Common_Const.h"
#include "resources/ResourceIds.h"
#include "support/MessageForm.h"
#include "support/PlacementWin.h"
#include "win/Application.h"
#include "win/MessageBox.h"
#include "common/ErrorWin.h"

bool EditionFlag = false;
TFMain* FMain = nullptr;

namespace {
constexpr int ClientWidth = 972;
constexpr int ClientHeight = 583;
constexpr DWORD MainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// Geometry inside a page (the page control is 619 by 441).
constexpr int PageWidth = PagesBounds.Width;
constexpr int PageHeight = PagesBounds.Height;
constexpr int Margin = 8;
constexpr int ButtonHeight = 27;
constexpr int ButtonWidth = 100;
constexpr int ButtonTop = PageHeight - Margin - ButtonHeight;
constexpr int BarTop = ButtonTop - Margin; // the text blocks end above the button bar
constexpr int LogItemHeight = 18;

// The pages' fonts, heights in pixels at the design resolution.
constexpr const wchar_t* TimesFace = L"Times New Roman";
constexpr int TimesHeight = 20;
constexpr const wchar_t* TahomaFace = L"Tahoma";
constexpr int TahomaHeight = 15;

constexpr TBounds LeftButton(int width = ButtonWidth) {
    return {Margin, ButtonTop, width, ButtonHeight};
}
constexpr TBounds RightButton(int width = ButtonWidth, int offset = 0) {
    return {PageWidth - Margin - offset - width, ButtonTop, width, ButtonHeight};
}

constexpr COLORREF Navy = RGB(0, 0, 128);
constexpr COLORREF Maroon = RGB(128, 0, 0);
constexpr COLORREF Black = RGB(0, 0, 0);

const wchar_t* const StartLines[] = {
    L"Добро пожаловать в программу установки комплекса ",
    L"\"ТЕССАРО-ХОЛТЕР\"!",
    L"",
    L"Для продолжения установки, нажмите кнопку \"Далее\".",
    L"",
    L"Для выхода из программы установки нажмите кнопку \"Отмена\".",
};
const wchar_t* const InputPathLines[] = {
    L"Пожалуйста, задайте путь куда устанавливать программную часть ",
    L"комплекса \"Тессаро-Холтер\"",
};
const wchar_t* const InputComponentsLines[] = {
    L" - Если у Вас есть 2-х канальный кабель для регистрации детских ЭКГ, поставьте ",
    L"галочку в поле \"Регистрация 2-х канальной ЭКГ\".",
    L" - Если у Вас есть универсальный регистратор, поставьте галочку в поле ",
    L"\"Универсальный регистратор\".",
    L" - Если у Вас установлен монитор АД \"BPLab\", поставьте галочку в поле \"установлен ",
    L"монитор АД \"BPLab\"\".",
    L"",
    L" - Задайте, пожалуйста, тип ЭКГ, который Вы чаще всего будете регистрировать.",
    L"",
    L" - Нажмите кнопку \"Начать установку\", для того чтобы установить программное ",
    L"обеспечение на Ваш компъютер.",
    L"",
    L"Все настройки можно изменить позже, во время работы с программой ",
    L"\"Тессаро-Холтер\" в меню \"Настройки\".",
};
const wchar_t* const CancelLines[] = {
    L"Установка комплекса \"Тессаро-Холтер\" отменена!",
    L"",
    L"Нажмите кнопку \"Выход\", для выхода из программы установки.",
};
const wchar_t* const ChangeFontSizeLines[] = {
    L"В настройках операционной системы Вашего компьютера выбрано использование ",
    L"\"мелкого\" размера шрифта.",
    L"",
    L"Для корректной работы программы \"Тессаро-Холтер\" требуется использование ",
    L"\"крупного\" размера шрифта.",
    L"",
    L"Рекомендуется произвести изменения. Для этого надо нажать кнопку \"Изменить ",
    L"настройки\". В появившемся окне надо ответить \"Да\".",
    L"",
    L"Если Вы считаете, что установка \"крупного\" размера шрифта Вам не нужна, ",
    L"нажмите кнопку \"Выход\".",
};

// Shown each time the components page is entered; each \r starts a new line of the notice.
const wchar_t* const DriverNotice = L"Внимание!\r Если на вашем компьютере уже установлен комплекс "
                                    L"\"Тессаро-Холтер\",\r снимите галочку установки драйвера!";

HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, TBounds bounds,
                 HWND parent, int id) {
    HWND control = ::CreateWindowExW(
        exStyle, className, text, WS_CHILD | style, bounds.Left, bounds.Top, bounds.Width, bounds.Height,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (!control)
        ThrowLastError(std::wstring(L"Не удалось создать элемент окна ") + className);
    return control;
}

void SetFont(HWND control, HFONT font) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One folder level; a missing parent makes it fail, and the path page does not report that.
void CreateFolderLevel(const std::wstring& path) {
    if (!FolderExists(path))
        ::CreateDirectoryW(path.c_str(), nullptr);
}

struct TResourceReader {
    const BYTE* Data;
    DWORD Size;
    DWORD Position;
};

DWORD CALLBACK ReadResourceChunk(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    auto* reader = reinterpret_cast<TResourceReader*>(cookie);
    const DWORD left = reader->Size - reader->Position;
    const DWORD count = left < static_cast<DWORD>(wanted) ? left : static_cast<DWORD>(wanted);
    ::CopyMemory(buffer, reader->Data + reader->Position, count);
    reader->Position += count;
    *given = static_cast<LONG>(count);
    return 0;
}

struct TCoTaskMemTraits {
    using TValue = PIDLIST_ABSOLUTE;
    static constexpr TValue Invalid() noexcept { return nullptr; }
    static void Close(TValue value) noexcept { ::CoTaskMemFree(value); }
};
using TUniqueIdList = TUniqueAny<TCoTaskMemTraits>;
} // namespace

std::wstring GetResText(unsigned Id) {
    wchar_t buffer[255] = L"";
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), Id, buffer, static_cast<int>(std::size(buffer)));
    return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::wstring UpperCase(std::wstring text) {
    if (!text.empty())
        ::CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

TFMain::~TFMain() {
    if (FMain == this)
        FMain = nullptr;
    DestroyHandle();
}

TDisplay PrimaryDisplay() {
    // The window opens centred on the primary screen.
    HMONITOR primary = ::MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(primary, &info);
    const RECT& work = info.rcWork;
    return {MonitorPixelsPerInch(primary),
            {work.left, work.top, work.right - work.left, work.bottom - work.top}};
}

void TFMain::Create() {
    Create(PrimaryDisplay());
}

void TFMain::Create(const TDisplay& display) {
    RegisterWindowClass(L"TFMain", 0, nullptr,
                        ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_MAIN)));
    // The frame is the system's and keeps its size; only the client area is laid out at the resolution.
    const SIZE frame = FrameSize(MainStyle, 0);
    FDpi = FitPixelsPerInch(display.PixelsPerInch, {ClientWidth, ClientHeight}, {frame.cx, frame.cy},
                            {display.WorkArea.Width, display.WorkArea.Height});
    const int width = Px(ClientWidth) + frame.cx;
    const int height = Px(ClientHeight) + frame.cy;
    // Centred on the screen, moved into the work area only where the taskbar or a screen edge would cut it.
    const TScreenPoint place = KeepInWorkArea(
        {(::GetSystemMetrics(SM_CXSCREEN) - width) / 2, (::GetSystemMetrics(SM_CYSCREEN) - height) / 2},
        {width, height}, display.WorkArea);
    CreateHandle(WS_EX_CONTROLPARENT, L"TFMain", L"Установка комплекса", MainStyle, place.Left, place.Top,
                 width, height, nullptr);
    CreateFonts();
    CreateControls();
    FormCreate();
}

void TFMain::Show() {
    BGResize();
    ::ShowWindow(Handle(), SW_SHOW);
    ::UpdateWindow(Handle());
    ::SetFocus(ForwardButton(FPage));
}

void TFMain::CreateFonts() {
    FTimesFont = MakeFont(TimesFace, Px(TimesHeight));
    FTahomaFont = MakeFont(TahomaFace, Px(TahomaHeight)); // the pages' own font
}

HFONT TFMain::Font(TFontRole role) const noexcept {
    switch (role) {
    case TFontRole::Times:
        return FTimesFont.Get();
    case TFontRole::Tahoma:
        return FTahomaFont.Get();
    case TFontRole::None:
        break;
    }
    return nullptr;
}

TScreenPoint TFMain::DesignOrigin(HWND parent) const {
    for (const TPlaced& placed : FPlaced)
        if (placed.Window == parent)
            return {placed.Origin.Left + placed.Design.Left, placed.Origin.Top + placed.Design.Top};
    return {0, 0}; // the main window's own client area
}

HWND TFMain::Remember(HWND window, TBounds design, TFontRole font) {
    FPlaced.push_back({window, design, DesignOrigin(::GetParent(window)), font});
    if (font != TFontRole::None)
        SetFont(window, Font(font));
    return window;
}

HWND TFMain::CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, TBounds design,
                           HWND parent, int id, TFontRole font) {
    return Remember(
        CreateChild(className, text, style, 0, Scaled(design, FDpi, DesignOrigin(parent)), parent, id),
        design, font);
}

HWND TFMain::CreateButton(HWND parent, int id, const wchar_t* caption, TBounds design, TGlyph glyph) {
    return Remember(CreateSkinButton(parent, id, caption, Scaled(design, FDpi, DesignOrigin(parent)), glyph),
                    design, TFontRole::Tahoma);
}

void TFMain::CreateContainer(TContainer& container, HWND parent, const wchar_t* className,
                             const wchar_t* text, TBounds design, bool visible) {
    container.Create(parent, className, text, Scaled(design, FDpi, DesignOrigin(parent)), visible);
    Remember(container.Handle(), design, TFontRole::None);
}

namespace {
std::vector<std::wstring> Lines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find(L"\r\n", start), text.size());
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

int TextWidth(HWND window, HFONT font, const std::wstring& text) {
    TWindowDC dc(window);
    TSelectObject select(dc.Get(), font);
    SIZE extent{};
    ::GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    return extent.cx;
}

// What a text box in `font` keeps of its client area's width for its text: the rest goes to the margins
// that the box derives from the font.
int TextInset(HWND box, HFONT font) {
    ::SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    RECT format{};
    RECT client{};
    ::SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    ::GetClientRect(box, &client);
    return (client.right - client.left) - (format.right - format.left);
}
} // namespace

bool TFMain::TextLinesFit(TFontRole role, HFONT font, HFONT designFont) {
    for (const TPlaced& placed : FPlaced) {
        if (placed.Font != role || !FTextColours.contains(placed.Window))
            continue;
        // A box breaks a line that is wider than its formatting rectangle. The lines that the design size
        // keeps whole must stay whole; one that breaks there anyway does not hold the font back.
        HWND box = placed.Window;
        const int designRoom = placed.Design.Width - TextInset(box, designFont);
        RECT client{};
        ::GetClientRect(box, &client);
        const int room = client.right - TextInset(box, font);
        for (const std::wstring& line : Lines(WindowText(box)))
            if (TextWidth(box, designFont, line) <= designRoom && TextWidth(box, font, line) > room)
                return false;
    }
    return true;
}

void TFMain::FitTextFont(TFontRole role, const wchar_t* face, int designHeight, TUniqueFont& font) {
    const TUniqueFont designFont = MakeFont(face, designHeight);
    std::vector<TUniqueFont> tried;
    const int height = FittingFontHeight(designHeight, FDpi, [&](int candidate) {
        tried.push_back(MakeFont(face, candidate));
        return TextLinesFit(role, tried.back().Get(), designFont.Get());
    });
    // Every window of the role takes the font before the ones tried, and the one it had, go.
    TUniqueFont previous = std::move(font);
    font = MakeFont(face, height);
    for (const TPlaced& placed : FPlaced)
        if (placed.Font == role)
            ::SendMessageW(placed.Window, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
}

void TFMain::FitTextFonts() {
    FitTextFont(TFontRole::Times, TimesFace, TimesHeight, FTimesFont);
    FitTextFont(TFontRole::Tahoma, TahomaFace, TahomaHeight, FTahomaFont);
}

void TFMain::CreateControls() {
    FRichEditLibrary.Reset(::LoadLibraryW(L"Msftedit.dll"));
    if (!FRichEditLibrary)
        ThrowLastError(L"Не удалось загрузить библиотеку Msftedit.dll");
    // The document brings its own fonts; the box's font is only the default for what it leaves open.
    RichEdit1 = CreateControl(MSFTEDIT_CLASS, L"",
                              WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL,
                              RichEditBounds, Handle(), idRichEdit1, TFontRole::None);
    FRichFont = MakeFont(L"MS Sans Serif", Px(13), RUSSIAN_CHARSET);
    SetFont(RichEdit1, FRichFont.Get());

    CreateContainer(InsatallPages, Handle(), L"TPageControl", L"", PagesBounds, true);
    CreateWelcomePage();
    // At the design resolution the texts are as designed; elsewhere their fonts may need a pixel less, which
    // every page's texts decide together.
    if (FDpi != DesignPixelsPerInch) {
        CreateRemainingPages();
        FitTextFonts();
    }
}

HWND TFMain::CreateMemo(HWND parent, TBounds bounds, const wchar_t* const* lines, std::size_t count,
                        TFontRole font, COLORREF colour) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i)
            text += L"\r\n";
        text += lines[i];
    }
    HWND memo = CreateControl(L"Edit", text.c_str(), WS_VISIBLE | ES_MULTILINE | ES_READONLY, bounds, parent,
                              idMemo, font);
    FTextColours[memo] = colour;
    return memo;
}

void TFMain::CreateWelcomePage() {
    const TBounds page{0, 0, PageWidth, PageHeight};
    CreateContainer(tsStart, InsatallPages.Handle(), L"TTabSheet", L"Приветствие", page, true);
    MemoStart = CreateMemo(tsStart.Handle(), {Margin, Margin, PageWidth - 2 * Margin, BarTop - Margin},
                           StartLines, std::size(StartLines), TFontRole::Times, Navy);
    BtnCancel = CreateButton(tsStart.Handle(), idBtnCancel, L"Отмена", LeftButton(), TGlyph::Cancel);
    BtnStartNext = CreateButton(tsStart.Handle(), idBtnStartNext, L"Далее", RightButton(), TGlyph::Next);
}

void TFMain::CreateRemainingPages() {
    if (FRemainingPages)
        return;
    FRemainingPages = true;
    const TBounds page{0, 0, PageWidth, PageHeight};
    HWND pages = InsatallPages.Handle();
    CreateContainer(tsInputPath, pages, L"TTabSheet", L"Путь установки", page, false);
    CreateContainer(tsInputComponents, pages, L"TTabSheet", L"Компоненты", page, false);
    CreateContainer(tsProgressInstall, pages, L"TTabSheet", L"Установка", page, false);
    CreateContainer(tsCancel, pages, L"TTabSheet", L"Отмена установки", page, false);
    CreateContainer(tsChangeFontSize, pages, L"TTabSheet", L"Размер шрифта", page, false);
    const int textWidth = PageWidth - 2 * Margin;

    // Target folder.
    MemoInputPath = CreateMemo(tsInputPath.Handle(), {Margin, Margin, textWidth, 60}, InputPathLines,
                               std::size(InputPathLines), TFontRole::Times, Black);
    CreateContainer(PnlPath, tsInputPath.Handle(), L"TPanel", L"", {Margin, Margin + 60 + 4, textWidth, 32},
                    true);
    constexpr int SelectWidth = 91;
    ePath = CreateControl(
        L"Edit", (L"C:\\" + GetResText(IDS_APP_NAME)).c_str(), WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
        {6, 7, textWidth - 2 - SelectWidth - 10, 20}, PnlPath.Handle(), idePath, TFontRole::Tahoma);
    BtnSelectPath = CreateButton(PnlPath.Handle(), idBtnSelectPath, L"Выбрать",
                                 {textWidth - 2 - SelectWidth, 2, SelectWidth, 28}, TGlyph::Browse);
    BtnCancel2 = CreateButton(tsInputPath.Handle(), idBtnCancel2, L"Отмена", LeftButton(), TGlyph::Cancel);
    BtnInputPathNext =
        CreateButton(tsInputPath.Handle(), idBtnInputPathNext, L"Далее", RightButton(), TGlyph::Next);

    // Components.
    constexpr int OptionsHeight = 123;
    const int optionsTop = BarTop - OptionsHeight;
    MemoInputComponents =
        CreateMemo(tsInputComponents.Handle(), {Margin, Margin, textWidth, optionsTop - Margin},
                   InputComponentsLines, std::size(InputComponentsLines), TFontRole::Tahoma, Black);
    CreateContainer(PnlOptions, tsInputComponents.Handle(), L"TPanel", L"",
                    {Margin, optionsTop, textWidth, OptionsHeight}, true);
    CbDriverInstal =
        CreateControl(L"Button", L"Устанавливать драйвер", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                      {8, 12, 300, 22}, PnlOptions.Handle(), idCbDriverInstal, TFontRole::Tahoma);
    ::SendMessageW(CbDriverInstal, BM_SETCHECK, BST_CHECKED, 0);
    CBWindows = CreateControl(L"ComboBox", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {8, 44, 240, 200},
                              PnlOptions.Handle(), idCBWindows, TFontRole::Tahoma);
    ::SendMessageW(CBWindows, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Windows 7, Windows 8"));
    ::SendMessageW(CBWindows, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Windows XP"));
    ::SendMessageW(CBWindows, CB_SETCURSEL, 0, 0);
    BtnCancel4 =
        CreateButton(tsInputComponents.Handle(), idBtnCancel4, L"Отмена", LeftButton(), TGlyph::Cancel);
    constexpr int InstallWidth = 160;
    BtnInsatall = CreateButton(tsInputComponents.Handle(), idBtnInsatall, L"Начать установку",
                               RightButton(InstallWidth), TGlyph::Install);
    BtnInputComponentsBack = CreateButton(tsInputComponents.Handle(), idBtnInputComponentsBack, L"Назад",
                                          RightButton(ButtonWidth, InstallWidth + Margin), TGlyph::Back);

    // Progress.
    LogList = CreateControl(L"ListBox", L"", WS_TABSTOP | WS_VSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                            {Margin, Margin, textWidth, BarTop - Margin}, tsProgressInstall.Handle(),
                            idLogList, TFontRole::Tahoma);
    ::SendMessageW(LogList, LB_SETITEMHEIGHT, 0, Px(LogItemHeight));
    BtnExit = CreateButton(tsProgressInstall.Handle(), idBtnExit, L"Выход", RightButton(), TGlyph::Exit);
    ::EnableWindow(BtnExit, FALSE); // until the run lets the user leave
    // Where the run's record went, shown once the run has ended.
    LblRunLog = CreateControl(L"Static", L"", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS,
                              {Margin, ButtonTop + 5, PageWidth - ButtonWidth - 3 * Margin, 18},
                              tsProgressInstall.Handle(), idLblRunLog, TFontRole::Tahoma);
    ::ShowWindow(LblRunLog, SW_HIDE);

    // Cancelled.
    MemoCancel = CreateMemo(tsCancel.Handle(), {Margin, Margin, textWidth, 177}, CancelLines,
                            std::size(CancelLines), TFontRole::Times, Maroon);
    BtnExitCancel = CreateButton(tsCancel.Handle(), idBtnExitCancel, L"Выход", RightButton(), TGlyph::Exit);

    // Large-font advice.
    MemoChangeFontSize =
        CreateMemo(tsChangeFontSize.Handle(), {Margin, Margin, textWidth, BarTop - Margin},
                   ChangeFontSizeLines, std::size(ChangeFontSizeLines), TFontRole::Tahoma, Black);
    BtnChangeFont = CreateButton(tsChangeFontSize.Handle(), idBtnChangeFont, L"Изменить настройки",
                                 LeftButton(196), TGlyph::Fonts);
    BtnExitOnChangefont =
        CreateButton(tsChangeFontSize.Handle(), idBtnExitOnChangefont, L"Выход", RightButton(), TGlyph::Exit);

    // Made after the colours were set (the usual way): they take them now.
    if (FControlBrush)
        ColourRemainingPages();
}

void TFMain::FormCreate() {
    LoadSkinImages(FSkin);
    FSkinLoaded = true;
    EditionFlag = UpperCase(GetResText(IDS_PRODUCT_NAME)) == UpperCase(L"Фиалон");
    LoadInfoDocument();
    AppNameStr = GetResText(IDS_APP_NAME);
    FCanClose = true;
    ShowPage(NextStep(FPage, TWizardEvent::Created, FCanClose).Page);
    ApplyColours();
}

void TFMain::LoadInfoDocument() {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, L"INFO", MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        throw TError(L"В программе нет документа INFO");
    const std::string_view document(static_cast<const char*>(data), ::SizeofResource(module, info));
    // The document's lengths are points and twips, which the box turns into pixels at the resolution it draws
    // at; where the window is laid out at another (fitted to a small screen, or moved to a monitor of another
    // resolution), the document is scaled to make up the difference, so that it keeps its lines.
    TWindowDC dc(RichEdit1);
    const int drawnAt = dc.Get() ? ::GetDeviceCaps(dc.Get(), LOGPIXELSY) : FDpi;
    const std::string scaled =
        drawnAt > 0 && drawnAt != FDpi ? ScaleRtfLengths(document, FDpi, drawnAt) : std::string(document);
    TResourceReader reader{reinterpret_cast<const BYTE*>(scaled.data()), static_cast<DWORD>(scaled.size()),
                           0};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&reader), 0, ReadResourceChunk};
    ::SendMessageW(RichEdit1, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

void TFMain::ApplyColours() {
    FControlColour = static_cast<COLORREF>(ControlColourOf(FSkin.Title));
    FControlBrush.Reset(::CreateSolidBrush(FControlColour));
    ::SendMessageW(RichEdit1, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(FControlColour));
    InsatallPages.SetColours(FControlColour, 0, 0);
    tsStart.SetColours(FControlColour, 0, 0);
    if (FRemainingPages)
        ColourRemainingPages();
}

void TFMain::ColourRemainingPages() {
    for (TContainer* page :
         {&tsInputPath, &tsInputComponents, &tsProgressInstall, &tsCancel, &tsChangeFontSize, &PnlOptions})
        page->SetColours(FControlColour, 0, 0);
    // The path panel: a frame in the pages' colour around a white field.
    PnlPath.SetColours(RGB(255, 255, 255), 2, FControlColour);
}

TContainer& TFMain::PageWindow(TPage page) {
    switch (page) {
    case TPage::tsStart:
        return tsStart;
    case TPage::tsInputPath:
        return tsInputPath;
    case TPage::tsInputComponents:
        return tsInputComponents;
    case TPage::tsProgressInstall:
        return tsProgressInstall;
    case TPage::tsCancel:
        return tsCancel;
    case TPage::tsChangeFontSize:
        return tsChangeFontSize;
    }
    return tsStart;
}

void TFMain::ShowPage(TPage page) {
    if (page != TPage::tsStart)
        CreateRemainingPages();
    const bool changed = page != FPage;
    FPage = page;
    for (TPage each : {TPage::tsStart, TPage::tsInputPath, TPage::tsInputComponents, TPage::tsProgressInstall,
                       TPage::tsCancel, TPage::tsChangeFontSize})
        if (each != page && PageWindow(each).Handle())
            ::ShowWindow(PageWindow(each).Handle(), SW_HIDE);
    ::ShowWindow(PageWindow(page).Handle(), SW_SHOW);
    // The focus goes to the page's forward button, or to the first control the user can reach.
    HWND focus = ForwardButton(page);
    if (!focus || !::IsWindowEnabled(focus))
        focus = ::GetNextDlgTabItem(PageWindow(page).Handle(), nullptr, FALSE);
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
        ::SetFocus(ePath);
        ::SendMessageW(ePath, EM_SETSEL, 0, -1);
    }
}

void TFMain::Close() {
    ::SendMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TFMain::BtnStartNextClick() {
    Apply(NextStep(FPage, TWizardEvent::Next, FCanClose));
}

void TFMain::BtnSelectPathClick() {
    BROWSEINFOW browse{};
    browse.hwndOwner = Handle();
    browse.pidlRoot = nullptr; // the desktop, the whole shell namespace
    browse.lpszTitle = L"Выберете путь для установки программ";
    browse.ulFlags = BIF_NEWDIALOGSTYLE | BIF_RETURNONLYFSDIRS | BIF_NONEWFOLDERBUTTON;
    TUniqueIdList chosen(::SHBrowseForFolderW(&browse));
    if (!chosen)
        return;
    wchar_t path[MAX_PATH] = L"";
    if (::SHGetPathFromIDListW(chosen.Get(), path))
        ::SetWindowTextW(ePath, path);
}

void TFMain::BtnInputPathNextClick() {
    const TPathCheck check = CheckTargetPath(WindowText(ePath));
    ::SendMessageW(LogList, LB_RESETCONTENT, 0, 0);
    ::ShowWindow(LogList, SW_SHOW);
    if (check.Verdict == TPathVerdict::Empty) {
        ShowMessageBox(Handle(), L"Не выбран путь для установки программы!", TBoxIcon::Error);
        Apply(NextStep(FPage, TWizardEvent::PathRefused, FCanClose));
        return;
    }
    ::SetWindowTextW(ePath, check.Path.c_str());
    if (check.Verdict == TPathVerdict::Root) {
        ShowMessageBox(Handle(), L"Программу нелзя устанавливать в корневой каталог!", TBoxIcon::Warning);
        Apply(NextStep(FPage, TWizardEvent::PathRefused, FCanClose));
        return;
    }
    CreateFolderLevel(check.Path);
    CreateFolderLevel(check.Path + std::wstring(SettingsDir));
    Apply(NextStep(FPage, TWizardEvent::PathAccepted, FCanClose));
}

void TFMain::tsInputComponentsShow() {
    ShowTimedMessage(DriverNotice, mtMessage, L"", 0);
}

void TFMain::BtnInputComponentsBackClick() {
    Apply(NextStep(FPage, TWizardEvent::Back, FCanClose));
}

void TFMain::SetRunContext(const TCommandLine& line, TRunLog& log, std::wstring logPath) {
    FCommandLine = line;
    FRunLog = &log;
    FRunLogPath = std::move(logPath);
}

TInstallOptions TFMain::RunOptions() {
    CreateRemainingPages();
    TInstallOptions options;
    options.TargetText = WindowText(ePath);
    options.SourceFolder = ExecutableFolder();
    options.WindowsIndex = static_cast<int>(::SendMessageW(CBWindows, CB_GETCURSEL, 0, 0));
    if (options.WindowsIndex < 0)
        options.WindowsIndex = 0;
    options.InstallDriver = ::SendMessageW(CbDriverInstal, BM_GETCHECK, 0, 0) == BST_CHECKED;
    options.Edition = EditionFlag;
    options.ProductName = GetResText(IDS_PRODUCT_NAME);
    options.ProductDescription = GetResText(IDS_PRODUCT_DESCRIPTION);
    options.ShellExe = GetResText(IDS_SHELL_EXE);
    return options;
}

void TFMain::BtnInsatallClick() {
    const TInstallOptions options = RunOptions();
    Fcopyfrom = options.SourceFolder;
    FExitCode = ecRunFailed;
    TRunLog fallback([] { return TLocalTime{}; }, [](std::string_view) {});
    TRunLog& log = FRunLog ? *FRunLog : fallback;
    log.Write(L"Установка: носитель \"" + options.SourceFolder + L"\", папка \"" + options.TargetText +
              L"\"");
    const bool unattended = FCommandLine.AnswersQuestions();
    const bool silent = FCommandLine.Mode != TUiMode::Interactive;
    TLoggingHost host(*this, log, unattended, FCommandLine.SuppressMsgBoxes);
    TRunEnd end = TRunEnd::Stopped;
    try {
        end = RunInstallation(host, options);
    } catch (const TError& error) {
        log.Write(std::wstring(RunLogTag::Error) + error.Message());
        ShowRunLogPath();
        if (FCommandLine.SuppressMsgBoxes || silent) {
            if (!FCommandLine.SuppressMsgBoxes)
                ShowErrorReport(error.Message());
            if (silent)
                Close();
            return;
        }
        throw;
    }
    if (end == TRunEnd::Completed)
        FExitCode = ecInstalled;
    ShowRunLogPath();
    // An unattended window has no one to leave it: it closes whatever the run's end.
    if (silent && ::IsWindow(Handle()))
        Close();
}

void TFMain::StartSilentRun() {
    // On the progress page before the window first shows: an unattended run shows no other page.
    ShowPage(TPage::tsProgressInstall);
    Show();
    BtnInsatallClick();
}

void TFMain::ShowRunLogPath() {
    if (FRunLogPath.empty() || !LblRunLog || !::IsWindow(LblRunLog))
        return;
    ::SetWindowTextW(LblRunLog, (L"Журнал установки: " + FRunLogPath).c_str());
    ::ShowWindow(LblRunLog, SW_SHOW);
}

void TFMain::AddLine(const std::wstring& text) {
    const LRESULT index = ::SendMessageW(LogList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index >= 0)
        ScrollToLine(static_cast<std::size_t>(index));
}

std::size_t TFMain::AddStepLine(const std::wstring& text) {
    const LRESULT index = ::SendMessageW(LogList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (index < 0)
        throw TError(L"Не удалось добавить строку в список хода установки");
    ScrollToLine(static_cast<std::size_t>(index));
    return static_cast<std::size_t>(index);
}

// A list box keeps its first line in view whatever is added below; the line of the file being copied must be
// the one the user sees, so the list follows its newest line down.
void TFMain::ScrollToLine(std::size_t index) {
    RECT client{};
    ::GetClientRect(LogList, &client);
    const LRESULT itemHeight = ::SendMessageW(LogList, LB_GETITEMHEIGHT, 0, 0);
    if (itemHeight <= 0)
        return;
    const LONG_PTR rows = std::max<LONG_PTR>(1, (client.bottom - client.top) / itemHeight);
    const LONG_PTR top = static_cast<LONG_PTR>(index) - rows + 1;
    if (top > ::SendMessageW(LogList, LB_GETTOPINDEX, 0, 0))
        ::SendMessageW(LogList, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

void TFMain::CompleteLine(std::size_t index, const std::wstring& suffix) {
    const WPARAM item = static_cast<WPARAM>(index);
    const LRESULT length = ::SendMessageW(LogList, LB_GETTEXTLEN, item, 0);
    if (length < 0)
        return;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(LogList, LB_GETTEXT, item, reinterpret_cast<LPARAM>(text.data()))));
    text += suffix;
    // Taking the line out may scroll the list up; the view is put back where it was.
    const LRESULT top = ::SendMessageW(LogList, LB_GETTOPINDEX, 0, 0);
    ::SendMessageW(LogList, LB_DELETESTRING, item, 0);
    ::SendMessageW(LogList, LB_INSERTSTRING, item, reinterpret_cast<LPARAM>(text.c_str()));
    if (top >= 0)
        ::SendMessageW(LogList, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

void TFMain::Pump() {
    ::UpdateWindow(LogList);
    Application().ProcessMessages();
}

bool TFMain::AskYesNo(const std::wstring& text) {
    return ::AskYesNo(Handle(), text);
}

void TFMain::ShowError(const std::wstring& text) {
    ShowMessageBox(Handle(), text, TBoxIcon::Error);
}

void TFMain::ShowProgressPage() {
    ::SendMessageW(LogList, LB_RESETCONTENT, 0, 0);
    ::ShowWindow(LogList, SW_SHOW);
    Apply(NextStep(FPage, TWizardEvent::Install, FCanClose));
}

void TFMain::SetProtected(bool on) {
    FCanClose = !on;
    Application().SetBusyCursor(on);
}

void TFMain::EnableExit() {
    ::EnableWindow(BtnExit, TRUE);
}

void TFMain::ShowLargeFontPage() {
    // An unattended window closes right after the run: the advice stays in the run log (written before this).
    if (FCommandLine.Mode != TUiMode::Interactive)
        return;
    Apply(NextStep(FPage, TWizardEvent::RunCompletedSmallFonts, FCanClose));
}

void TFMain::CloseWindow() {
    Apply(NextStep(FPage, TWizardEvent::RunCompletedQuit, FCanClose));
}

void TFMain::BtnCancelClick() {
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
    ::EnableWindow(BtnExit, TRUE);
    Apply(NextStep(FPage, TWizardEvent::RunCompletedSmallFonts, FCanClose, true));
}

void TFMain::BGResize() {
    if (!FSkinLoaded)
        return;
    RECT client;
    ::GetClientRect(Handle(), &client);
    ComposeScaledBackground(FBackground, client.right - client.left, client.bottom - client.top, FDpi, FSkin);
    FBackgroundDpi = FDpi;
    const TBounds rich = Px(RichEditBounds);
    ::MoveWindow(RichEdit1, rich.Left, rich.Top, rich.Width, rich.Height, TRUE);
    const TBounds pages = Px(PagesBounds);
    ::MoveWindow(InsatallPages.Handle(), pages.Left, pages.Top, pages.Width, pages.Height, TRUE);
    ::InvalidateRect(Handle(), nullptr, FALSE);
}

void TFMain::ApplyPixelsPerInch(int pixelsPerInch) {
    FDpi = pixelsPerInch;
    // The controls take the new fonts before the old ones go.
    TUniqueFont oldTimes = std::move(FTimesFont), oldTahoma = std::move(FTahomaFont);
    CreateFonts();
    // The fonts of another resolution are fitted to every page's texts.
    if (FDpi != DesignPixelsPerInch)
        CreateRemainingPages();
    for (const TPlaced& placed : FPlaced) {
        const TBounds bounds = Scaled(placed.Design, FDpi, placed.Origin);
        ::SetWindowPos(placed.Window, nullptr, bounds.Left, bounds.Top, bounds.Width, bounds.Height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (placed.Font != TFontRole::None)
            ::SendMessageW(placed.Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font(placed.Font)), TRUE);
    }
    if (LogList)
        ::SendMessageW(LogList, LB_SETITEMHEIGHT, 0, Px(LogItemHeight));
    if (FDpi != DesignPixelsPerInch)
        FitTextFonts();
    LoadInfoDocument();
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void TFMain::OnDpiChanged(int pixelsPerInch, const RECT& suggested) {
    // The frame is the system's and keeps its size on every monitor.
    const SIZE frameSize = FrameSize(MainStyle, 0);
    const TPixelSize frame{frameSize.cx, frameSize.cy};
    const TScreenRect work = WorkAreaOf(suggested);
    const int fitted =
        FitPixelsPerInch(pixelsPerInch, {ClientWidth, ClientHeight}, frame, {work.Width, work.Height});
    if (fitted != FDpi)
        ApplyPixelsPerInch(fitted);
    // The suggested place, and the size of the layout, which is the suggested one up to rounding unless the
    // monitor is too small for it.
    const TPixelSize size{Px(ClientWidth) + frame.Width, Px(ClientHeight) + frame.Height};
    const TScreenPoint place = KeepInWorkArea({suggested.left, suggested.top}, size, work);
    ::SetWindowPos(Handle(), nullptr, place.Left, place.Top, size.Width, size.Height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    // The new size has composed the background anew, unless the size came out as it was.
    if (FBackgroundDpi != FDpi)
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

LRESULT TFMain::OnControlColour(HDC dc, HWND control) {
    const auto colour = FTextColours.find(control);
    ::SetTextColor(dc, colour != FTextColours.end() ? colour->second : Black);
    ::SetBkColor(dc, FControlColour);
    return reinterpret_cast<LRESULT>(FControlBrush ? FControlBrush.Get() : ::GetSysColorBrush(COLOR_BTNFACE));
}

HWND TFMain::ForwardButton(TPage page) const {
    switch (page) {
    case TPage::tsStart:
        return BtnStartNext;
    case TPage::tsInputPath:
        return BtnInputPathNext;
    case TPage::tsInputComponents:
        return BtnInsatall;
    case TPage::tsProgressInstall:
        return BtnExit;
    case TPage::tsCancel:
        return BtnExitCancel;
    case TPage::tsChangeFontSize:
        return BtnExitOnChangefont;
    }
    return nullptr;
}

HWND TFMain::CancelButton(TPage page) const {
    switch (page) {
    case TPage::tsStart:
        return BtnCancel;
    case TPage::tsInputPath:
        return BtnCancel2;
    case TPage::tsInputComponents:
        return BtnCancel4;
    default:
        return nullptr;
    }
}

void TFMain::PressDefault(bool cancel) {
    HWND button = cancel ? CancelButton(FPage) : ForwardButton(FPage);
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
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_DRAWITEM:
        DrawSkinButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam), FDpi);
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return OnControlColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_ERASEBKGND:
        return 1; // the background is painted whole in WM_PAINT
    case WM_PAINT:
        Paint();
        return 0;
    case WM_SIZE:
        BGResize();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CLOSE:
        if (NextStep(FPage, TWizardEvent::CloseCommand, FormCloseQuery()).CloseWindow)
            ::DestroyWindow(Handle());
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    }
    return DefaultHandler(message, wParam, lParam);
}
