// The main window's controls: the information box and the page control with its six pages, built with
// their texts, colours and first state.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "app/Controls.h"
#include "app/MainLayout.h"
#include "app/WizardState.h"
#include "common/HandlesWin.h"

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

// The progress list's line height at the design resolution.
inline constexpr int LogItemHeight = 18;

class TMainPages {
public:
    // The page control with the welcome page, in `window`'s client area.
    void CreateFirst(HWND window, TScaledLayout& layout);
    // The information box beside the pages, empty, in the skin's colour once the pages have theirs. Made
    // after the window's first paint (TFMain::CreateInfoBox): the rich-edit library and OLE below it are
    // the largest part of a start. Does nothing once it exists; until then RichEdit1 is null.
    void CreateInfoBox(HWND window, TScaledLayout& layout);
    // The pages after the welcome page, with their controls in their first state. Made when one of them is
    // first shown or read (at once where the fonts are fitted to every page, at another resolution): the
    // window opens sooner without them, as a property sheet does. Does nothing once they exist; until then
    // their handles are null.
    void CreateRemaining(TScaledLayout& layout);
    // The path box's text when it is made: the folder the start resolved.
    std::wstring InitialPath;
    bool RemainingMade() const noexcept { return FRemainingMade; }

    // The information document, its lengths scaled for a box drawn at another resolution than `dpi`; nothing
    // before the box exists.
    void LoadInfoDocument(int dpi);
    // The pages, the information box and the panels in the skin's colour.
    void SetColours(COLORREF controlColour);
    COLORREF ControlColour() const noexcept { return FControlColour; }
    // WM_CTLCOLORSTATIC and WM_CTLCOLORBTN: the text boxes' own colours on the skin's.
    LRESULT ControlColours(HDC dc, HWND control) const;
    // The text blocks, whose fonts are fitted to their lines.
    bool IsTextBox(HWND window) const { return FTextColours.contains(window); }

    TContainer& PageWindow(TPage page);
    // The button Enter presses on the page, and the one Esc presses (null where there is none).
    HWND ForwardButton(TPage page) const;
    HWND CancelButton(TPage page) const;

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

private:
    // The text blocks and buttons of the tables (MainPages.cpp): the welcome page's, or the others' with
    // their fields between.
    void CreateFromTables(TScaledLayout& layout, bool welcome);
    void CreateFields(TScaledLayout& layout);
    void ColourRemaining();

    // Declared before the controls' windows go (with the main window) so that they outlive them.
    TUniqueFont FRichFont;
    TUniqueBrush FControlBrush;
    COLORREF FControlColour = RGB(236, 236, 235);
    std::map<HWND, COLORREF> FTextColours;
    bool FRemainingMade = false;
};
