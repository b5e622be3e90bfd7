#include "app/MainPages.h"

#include <commctrl.h>
#include <richedit.h>

#include <iterator>
#include <string>
#include <string_view>

#include "app/Skin.h"
#include "session/TargetPath.h"
#include "common/Error.h"
#include "common/ErrorWin.h"
#include "resources/ResourceIds.h"
#include "win/Resources.h"
#include "win/SystemLibrary.h"
#include "win/Window.h"

namespace {

// Geometry inside a page (the page control is 619 by 441).
constexpr int PageWidth = PagesBounds.Width;
constexpr int PageHeight = PagesBounds.Height;
constexpr int Margin = 8;
constexpr int ButtonHeight = 27;
constexpr int ButtonWidth = 100;
constexpr int ButtonTop = PageHeight - Margin - ButtonHeight;
constexpr int BarTop = ButtonTop - Margin; // the text blocks end above the button bar

constexpr TRect LeftButton(int width = ButtonWidth) {
    return {Margin, ButtonTop, width, ButtonHeight};
}
constexpr TRect RightButton(int width = ButtonWidth, int offset = 0) {
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
// "компъютер" (with a hard sign) as the suite's installers have always shown it: deliberate, not to be
// corrected (docs/design.md#deliberate-texts).
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

// The pages, their text blocks and their buttons, in the order they are made (which is the order the keyboard
// goes through them); the path box, the options, the progress list and the log's label come between the text
// blocks and the buttons (TMainPages::CreateFields).
constexpr int TextWidth = PageWidth - 2 * Margin;
constexpr int SelectWidth = 91;
constexpr int InstallWidth = 160;
constexpr int OptionsHeight = 123;
constexpr int OptionsTop = BarTop - OptionsHeight;
constexpr TRect WholePage{0, 0, PageWidth, PageHeight};

using TPageMember = TContainer TMainPages::*;
using THandleMember = HWND TMainPages::*;

struct TPageSpec {
    TPageMember Page;
    const wchar_t* Title;
};
constexpr TPageSpec RemainingPages[] = {
    {&TMainPages::tsInputPath, L"Путь установки"},     {&TMainPages::tsInputComponents, L"Компоненты"},
    {&TMainPages::tsProgressInstall, L"Установка"},    {&TMainPages::tsCancel, L"Отмена установки"},
    {&TMainPages::tsChangeFontSize, L"Размер шрифта"},
};

struct TMemoSpec {
    TPageMember Page;
    TRect Bounds;
    const wchar_t* const* Lines;
    std::size_t Count;
    TFontRole Font;
    COLORREF Colour;
    THandleMember Handle;
};
constexpr TMemoSpec Memos[] = {
    {&TMainPages::tsStart,
     {Margin, Margin, TextWidth, BarTop - Margin},
     StartLines,
     std::size(StartLines),
     TFontRole::Times,
     Navy,
     &TMainPages::MemoStart},
    {&TMainPages::tsInputPath,
     {Margin, Margin, TextWidth, 60},
     InputPathLines,
     std::size(InputPathLines),
     TFontRole::Times,
     Black,
     &TMainPages::MemoInputPath},
    {&TMainPages::tsInputComponents,
     {Margin, Margin, TextWidth, OptionsTop - Margin},
     InputComponentsLines,
     std::size(InputComponentsLines),
     TFontRole::Tahoma,
     Black,
     &TMainPages::MemoInputComponents},
    {&TMainPages::tsCancel,
     {Margin, Margin, TextWidth, 177},
     CancelLines,
     std::size(CancelLines),
     TFontRole::Times,
     Maroon,
     &TMainPages::MemoCancel},
    {&TMainPages::tsChangeFontSize,
     {Margin, Margin, TextWidth, BarTop - Margin},
     ChangeFontSizeLines,
     std::size(ChangeFontSizeLines),
     TFontRole::Tahoma,
     Black,
     &TMainPages::MemoChangeFontSize},
};

struct TButtonSpec {
    TPageMember Parent; // a page, or the path's panel
    int Id;
    const wchar_t* Caption;
    TRect Bounds;
    TGlyph Glyph;
    THandleMember Handle;
};
constexpr TButtonSpec Buttons[] = {
    {&TMainPages::tsStart, idBtnCancel, L"Отмена", LeftButton(), TGlyph::Cancel, &TMainPages::BtnCancel},
    {&TMainPages::tsStart, idBtnStartNext, L"Далее", RightButton(), TGlyph::Next, &TMainPages::BtnStartNext},
    {&TMainPages::PnlPath,
     idBtnSelectPath,
     L"Выбрать",
     {TextWidth - 2 - SelectWidth, 2, SelectWidth, 28},
     TGlyph::Browse,
     &TMainPages::BtnSelectPath},
    {&TMainPages::tsInputPath, idBtnCancel2, L"Отмена", LeftButton(), TGlyph::Cancel,
     &TMainPages::BtnCancel2},
    {&TMainPages::tsInputPath, idBtnInputPathNext, L"Далее", RightButton(), TGlyph::Next,
     &TMainPages::BtnInputPathNext},
    {&TMainPages::tsInputComponents, idBtnCancel4, L"Отмена", LeftButton(), TGlyph::Cancel,
     &TMainPages::BtnCancel4},
    {&TMainPages::tsInputComponents, idBtnInsatall, L"Начать установку", RightButton(InstallWidth),
     TGlyph::Install, &TMainPages::BtnInsatall},
    {&TMainPages::tsInputComponents, idBtnInputComponentsBack, L"Назад",
     RightButton(ButtonWidth, InstallWidth + Margin), TGlyph::Back, &TMainPages::BtnInputComponentsBack},
    {&TMainPages::tsProgressInstall, idBtnExit, L"Выход", RightButton(), TGlyph::Exit, &TMainPages::BtnExit},
    {&TMainPages::tsCancel, idBtnExitCancel, L"Выход", RightButton(), TGlyph::Exit,
     &TMainPages::BtnExitCancel},
    {&TMainPages::tsChangeFontSize, idBtnChangeFont, L"Изменить настройки", LeftButton(196), TGlyph::Fonts,
     &TMainPages::BtnChangeFont},
    {&TMainPages::tsChangeFontSize, idBtnExitOnChangefont, L"Выход", RightButton(), TGlyph::Exit,
     &TMainPages::BtnExitOnChangefont},
};

} // namespace

void TMainPages::CreateFirst(HWND window, TScaledLayout& layout) {
    layout.CreateContainer(InsatallPages, window, L"TPageControl", L"", PagesBounds, true);
    layout.CreateContainer(tsStart, InsatallPages.Handle(), L"TTabSheet", L"Приветствие", WholePage, true);
    CreateFromTables(layout, true);
}

void TMainPages::CreateInfoBox(HWND window, TScaledLayout& layout) {
    if (RichEdit1)
        return;
    if (!SystemLibrary(L"Msftedit.dll"))
        ThrowLastError(L"Не удалось загрузить библиотеку Msftedit.dll");
    // The document brings its own fonts; the box's font is only the default for what it leaves open.
    RichEdit1 = layout.CreateControl(MSFTEDIT_CLASS, L"",
                                     WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL,
                                     RichEditBounds, window, idRichEdit1, TFontRole::None);
    // First among the window's children, where it was before it came late: the keyboard's order and the
    // stacking stay those of the design.
    ::SetWindowPos(RichEdit1, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    FRichFont = MakeFont(L"MS Sans Serif", layout.Px(13), RUSSIAN_CHARSET);
    SetWindowFont(RichEdit1, FRichFont.Get());
    if (FControlBrush)
        ::SendMessageW(RichEdit1, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(FControlColour));
}

void TMainPages::CreateRemaining(TScaledLayout& layout) {
    if (FRemainingMade)
        return;
    FRemainingMade = true;
    for (const TPageSpec& page : RemainingPages)
        layout.CreateContainer(this->*page.Page, InsatallPages.Handle(), L"TTabSheet", page.Title, WholePage,
                               false);
    CreateFromTables(layout, false);
    ::EnableWindow(BtnExit, FALSE); // until the run lets the user leave
    // Made after the colours were set (the usual way): they take them now.
    if (FControlBrush)
        ColourRemaining();
}

void TMainPages::CreateFromTables(TScaledLayout& layout, bool welcome) {
    // The welcome page's own, or every other page's.
    const auto wanted = [welcome](TPageMember parent) { return (parent == &TMainPages::tsStart) == welcome; };
    for (const TMemoSpec& memo : Memos) {
        if (!wanted(memo.Page))
            continue;
        std::wstring text;
        for (std::size_t i = 0; i < memo.Count; ++i)
            text += (i ? L"\r\n" : L"") + std::wstring(memo.Lines[i]);
        HWND handle = layout.CreateControl(L"Edit", text.c_str(), WS_VISIBLE | ES_MULTILINE | ES_READONLY,
                                           memo.Bounds, (this->*memo.Page).Handle(), idMemo, memo.Font);
        FTextColours[handle] = memo.Colour;
        this->*memo.Handle = handle;
    }
    if (!welcome)
        CreateFields(layout);
    for (const TButtonSpec& button : Buttons)
        if (wanted(button.Parent))
            this->*button.Handle = layout.CreateButton((this->*button.Parent).Handle(), button.Id,
                                                       button.Caption, button.Bounds, button.Glyph);
}

// What is neither a text block nor a button: the path box on its panel, the options on theirs, the progress
// list and the label of where the run's record went (shown once the run has ended).
void TMainPages::CreateFields(TScaledLayout& layout) {
    layout.CreateContainer(PnlPath, tsInputPath.Handle(), L"TPanel", L"",
                           {Margin, Margin + 60 + 4, TextWidth, 32}, true);
    ePath = layout.CreateControl(L"Edit", InitialPath.c_str(), WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                 {6, 7, TextWidth - 2 - SelectWidth - 10, 20}, PnlPath.Handle(), idePath,
                                 TFontRole::Tahoma);

    layout.CreateContainer(PnlOptions, tsInputComponents.Handle(), L"TPanel", L"",
                           {Margin, OptionsTop, TextWidth, OptionsHeight}, true);
    CbDriverInstal =
        layout.CreateControl(L"Button", L"Устанавливать драйвер", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX,
                             {8, 12, 300, 22}, PnlOptions.Handle(), idCbDriverInstal, TFontRole::Tahoma);
    ::SendMessageW(CbDriverInstal, BM_SETCHECK, BST_CHECKED, 0);
    CBWindows = layout.CreateControl(L"ComboBox", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                     {8, 44, 240, 200}, PnlOptions.Handle(), idCBWindows, TFontRole::Tahoma);
    ::SendMessageW(CBWindows, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Windows 7, Windows 8"));
    ::SendMessageW(CBWindows, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"Windows XP"));
    ::SendMessageW(CBWindows, CB_SETCURSEL, 0, 0);

    LogList = layout.CreateControl(L"ListBox", L"",
                                   WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | LBS_NOSEL,
                                   {Margin, Margin, TextWidth, BarTop - Margin}, tsProgressInstall.Handle(),
                                   idLogList, TFontRole::Tahoma);
    ::SendMessageW(LogList, LB_SETITEMHEIGHT, 0, layout.Px(LogItemHeight));
    LblRunLog = layout.CreateControl(L"Static", L"", SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS,
                                     {Margin, ButtonTop + 5, PageWidth - ButtonWidth - 3 * Margin, 18},
                                     tsProgressInstall.Handle(), idLblRunLog, TFontRole::Tahoma);
    ::ShowWindow(LblRunLog, SW_HIDE);
}

void TMainPages::LoadInfoDocument(int dpi) {
    if (!RichEdit1)
        return; // the box, when it comes, is filled at the resolution of its time
    const std::string_view document = ResourceBytes(L"INFO");
    if (document.empty())
        throw TError(L"В программе нет документа INFO");
    // The document's lengths are points and twips, which the box turns into pixels at the resolution it draws
    // at; where the window is laid out at another (fitted to a small screen, or moved to a monitor of another
    // resolution), the document is scaled to make up the difference, so that it keeps its lines.
    TWindowDC dc(RichEdit1);
    const int drawnAt = dc.Get() ? ::GetDeviceCaps(dc.Get(), LOGPIXELSY) : dpi;
    const std::string scaled =
        drawnAt > 0 && drawnAt != dpi ? ScaleRtfLengths(document, dpi, drawnAt) : std::string(document);
    TResourceReader reader{reinterpret_cast<const BYTE*>(scaled.data()), static_cast<DWORD>(scaled.size()),
                           0};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&reader), 0, ReadResourceChunk};
    ::SendMessageW(RichEdit1, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

void TMainPages::SetColours(COLORREF controlColour) {
    FControlColour = controlColour;
    FControlBrush.Reset(::CreateSolidBrush(FControlColour));
    ::SendMessageW(RichEdit1, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(FControlColour));
    InsatallPages.SetColours(FControlColour, 0, 0);
    tsStart.SetColours(FControlColour, 0, 0);
    if (FRemainingMade)
        ColourRemaining();
}

void TMainPages::ColourRemaining() {
    for (TContainer* page :
         {&tsInputPath, &tsInputComponents, &tsProgressInstall, &tsCancel, &tsChangeFontSize, &PnlOptions})
        page->SetColours(FControlColour, 0, 0);
    // The path panel: a frame in the pages' colour around a white field.
    PnlPath.SetColours(RGB(255, 255, 255), 2, FControlColour);
}

TContainer& TMainPages::PageWindow(TPage page) {
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

LRESULT TMainPages::ControlColours(HDC dc, HWND control) const {
    const auto colour = FTextColours.find(control);
    ::SetTextColor(dc, colour != FTextColours.end() ? colour->second : Black);
    ::SetBkColor(dc, FControlColour);
    return reinterpret_cast<LRESULT>(FControlBrush ? FControlBrush.Get() : ::GetSysColorBrush(COLOR_BTNFACE));
}

HWND TMainPages::ForwardButton(TPage page) const {
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

HWND TMainPages::CancelButton(TPage page) const {
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
