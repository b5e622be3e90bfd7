#include "app/MainLayout.h"

#include <algorithm>
#include <string>

#include "support/PlacementWin.h"
#include "win/Window.h"

namespace {

// The pages' fonts, heights in pixels at the design resolution.
constexpr const wchar_t* TimesFace = L"Times New Roman";
constexpr int TimesHeight = 20;
constexpr const wchar_t* TahomaFace = L"Tahoma";
constexpr int TahomaHeight = 15;

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
    SetWindowFont(box, font);
    RECT format{};
    RECT client{};
    ::SendMessageW(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    ::GetClientRect(box, &client);
    return (client.right - client.left) - (format.right - format.left);
}

TSize FrameSizeOfMain() {
    const SIZE frame = FrameSize(MainStyle, 0);
    return {frame.cx, frame.cy};
}

} // namespace

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

HFONT TScaledLayout::Font(TFontRole role) const noexcept {
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

void TScaledLayout::SetDpi(int pixelsPerInch) {
    FDpi = pixelsPerInch;
    // The controls take the new fonts before the old ones go (PlaceAll or the fitting hands them over).
    TUniqueFont times = MakeFont(TimesFace, Px(TimesHeight));
    TUniqueFont tahoma = MakeFont(TahomaFace, Px(TahomaHeight)); // the pages' own font
    std::swap(FTimesFont, times);
    std::swap(FTahomaFont, tahoma);
    if (!FPlaced.empty())
        PlaceAll();
}

TPoint TScaledLayout::DesignOrigin(HWND parent) const {
    for (const TPlaced& placed : FPlaced)
        if (placed.Window == parent)
            return {placed.Origin.Left + placed.Design.Left, placed.Origin.Top + placed.Design.Top};
    return {0, 0}; // the main window's own client area
}

HWND TScaledLayout::Remember(HWND window, TRect design, TFontRole font) {
    FPlaced.push_back({window, design, DesignOrigin(::GetParent(window)), font});
    if (font != TFontRole::None)
        SetWindowFont(window, Font(font));
    return window;
}

HWND TScaledLayout::CreateControl(const wchar_t* className, const wchar_t* text, DWORD style, TRect design,
                                  HWND parent, int id, TFontRole font) {
    return Remember(
        CreateChildWindow(className, text, style, Scaled(design, FDpi, DesignOrigin(parent)), parent, id),
        design, font);
}

HWND TScaledLayout::CreateButton(HWND parent, int id, const wchar_t* caption, TRect design, TGlyph glyph) {
    return Remember(CreateSkinButton(parent, id, caption, Scaled(design, FDpi, DesignOrigin(parent)), glyph),
                    design, TFontRole::Tahoma);
}

void TScaledLayout::CreateContainer(TContainer& container, HWND parent, const wchar_t* className,
                                    const wchar_t* text, TRect design, bool visible) {
    container.Create(parent, className, text, Scaled(design, FDpi, DesignOrigin(parent)), visible);
    Remember(container.Handle(), design, TFontRole::None);
}

void TScaledLayout::PlaceAll() {
    for (const TPlaced& placed : FPlaced) {
        const TRect bounds = Scaled(placed.Design, FDpi, placed.Origin);
        ::SetWindowPos(placed.Window, nullptr, bounds.Left, bounds.Top, bounds.Width, bounds.Height,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        if (placed.Font != TFontRole::None)
            ::SendMessageW(placed.Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font(placed.Font)), TRUE);
    }
}

bool TScaledLayout::TextLinesFit(TFontRole role, HFONT font, HFONT designFont,
                                 const std::function<bool(HWND)>& isTextBox) {
    for (const TPlaced& placed : FPlaced) {
        if (placed.Font != role || !isTextBox(placed.Window))
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

void TScaledLayout::FitTextFont(TFontRole role, const wchar_t* face, int designHeight, TUniqueFont& font,
                                const std::function<bool(HWND)>& isTextBox) {
    const TUniqueFont designFont = MakeFont(face, designHeight);
    std::vector<TUniqueFont> tried;
    const int height = FittingFontHeight(designHeight, FDpi, [&](int candidate) {
        tried.push_back(MakeFont(face, candidate));
        return TextLinesFit(role, tried.back().Get(), designFont.Get(), isTextBox);
    });
    // Every window of the role takes the font before the ones tried, and the one it had, go.
    TUniqueFont previous = std::move(font);
    font = MakeFont(face, height);
    for (const TPlaced& placed : FPlaced)
        if (placed.Font == role)
            ::SendMessageW(placed.Window, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
}

void TScaledLayout::FitTextFonts(const std::function<bool(HWND)>& isTextBox) {
    if (FDpi == DesignPixelsPerInch)
        return;
    FitTextFont(TFontRole::Times, TimesFace, TimesHeight, FTimesFont, isTextBox);
    FitTextFont(TFontRole::Tahoma, TahomaFace, TahomaHeight, FTahomaFont, isTextBox);
}

TSize TScaledLayout::WindowSize() const {
    const TSize frame = FrameSizeOfMain();
    return {Px(ClientWidth) + frame.Width, Px(ClientHeight) + frame.Height};
}

int TScaledLayout::FittedDpi(int pixelsPerInch, const TRect& workArea) {
    return FitPixelsPerInch(pixelsPerInch, {ClientWidth, ClientHeight}, FrameSizeOfMain(),
                            {workArea.Width, workArea.Height});
}
