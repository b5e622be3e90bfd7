// The main window's scaled layout: every control it places with its design bounds (at 96 pixels per inch),
// the pages' fonts, and what changes when the window moves to another resolution.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "app/Controls.h"
#include "app/WindowScale.h"
#include "common/Geometry.h"
#include "common/HandlesWin.h"

// The monitor the main window opens on, as far as its layout is concerned.
struct TDisplay {
    int PixelsPerInch = 96;
    TRect WorkArea;
};
// The primary monitor, where the window opens centred.
TDisplay PrimaryDisplay();

// The main window's client area at the design resolution, and its frame style.
inline constexpr int ClientWidth = 972;
inline constexpr int ClientHeight = 583;
inline constexpr DWORD MainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

// The fonts the pages' controls take.
enum class TFontRole { None, Times, Tahoma };

class TScaledLayout {
public:
    int Dpi() const noexcept { return FDpi; }
    int Px(int design) const { return Scaled(design, FDpi); }
    TRect Px(const TRect& design) const { return Scaled(design, FDpi); }
    HFONT Font(TFontRole role) const noexcept;

    // The fonts at `pixelsPerInch`; the controls placed so far keep the ones they have.
    void SetDpi(int pixelsPerInch);

    // Controls placed inside `parent` at design bounds given in the parent's client area, and remembered
    // with them, so that another resolution lays them out anew.
    HWND CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, TRect design, HWND parent,
                       int id, TFontRole font);
    HWND CreateButton(HWND parent, int id, const wchar_t* caption, TRect design, TGlyph glyph);
    void CreateContainer(TContainer& container, HWND parent, const wchar_t* className, const wchar_t* text,
                         TRect design, bool visible);

    // Every remembered control at its place and with its font at the current resolution.
    void PlaceAll();
    // At a resolution other than the design one, the largest font of each role (at most the scaled one)
    // with which every text box of the role keeps the lines it keeps at the design size.
    void FitTextFonts(const std::function<bool(HWND)>& isTextBox);

    // The size of the whole window, its frame included, at the current resolution.
    TSize WindowSize() const;
    // The resolution the window is laid out at on a monitor of `pixelsPerInch` with `workArea`.
    static int FittedDpi(int pixelsPerInch, const TRect& workArea);

private:
    // A window of the layout with its design bounds and its font.
    struct TPlaced {
        HWND Window;
        TRect Design;  // in the parent's client area
        TPoint Origin; // where the parent's client area starts in the window's design coordinates
        TFontRole Font;
    };

    TPoint DesignOrigin(HWND parent) const;
    HWND Remember(HWND window, TRect design, TFontRole font);
    bool TextLinesFit(TFontRole role, HFONT font, HFONT designFont,
                      const std::function<bool(HWND)>& isTextBox);
    void FitTextFont(TFontRole role, const wchar_t* face, int designHeight, TUniqueFont& font,
                     const std::function<bool(HWND)>& isTextBox);

    int FDpi = DesignPixelsPerInch;
    TUniqueFont FTimesFont, FTahomaFont;
    std::vector<TPlaced> FPlaced;
};
