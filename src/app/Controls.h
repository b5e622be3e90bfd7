// The wizard's building blocks over standard controls: containers that take the skin's colour and pass
// their children's notifications up to the main window, and owner-drawn skin buttons.
#pragma once

#include <windows.h>

#include "app/Skin.h"
#include "common/HandlesWin.h"
#include "win/Window.h"

// A plain child window that holds other controls: the page control, its pages and the path panel.
class TContainer : public TWindow {
public:
    // `className` is the window class ("TPageControl", "TTabSheet", "TPanel"), `text` its window text.
    void Create(HWND parent, const wchar_t* className, const wchar_t* text, TRect bounds, bool visible);
    void SetColours(COLORREF background, int borderWidth, COLORREF border);
    HBRUSH Brush() const noexcept { return FBrush.Get(); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    TUniqueBrush FBrush;
    int FBorderWidth = 0;
    COLORREF FBorderColour = 0;
};

enum class TGlyph { None, Next, Back, Cancel, Exit, Install, Browse, Fonts };

// Creates a skin button: a standard "Button" whose window text is its caption, drawn by its owner.
HWND CreateSkinButton(HWND parent, int id, const wchar_t* caption, TRect bounds, TGlyph glyph);
// Draws a skin button for WM_DRAWITEM, its frame, glyph and margins at the window's resolution.
void DrawSkinButton(const DRAWITEMSTRUCT& item, int pixelsPerInch);

// Skin button colours (Windows colour values).
inline constexpr COLORREF ButtonFrameColour = 7617536;
inline constexpr COLORREF ButtonFaceColour = 15791348;

// A font by face name and character height in pixels.
TUniqueFont MakeFont(const wchar_t* face, int pixelHeight, BYTE charset = DEFAULT_CHARSET,
                     int weight = FW_NORMAL);
