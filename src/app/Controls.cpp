#include "app/Controls.h"

#include <algorithm>
#include <string>

#include "app/WindowScale.h"
#include "common/Error.h"
#include "win/ComCtlFunctions.h"

namespace {
const wchar_t HoverProperty[] = L"TessaroHover";
const wchar_t GlyphProperty[] = L"TessaroGlyph";

// Tracks the mouse over a skin button so that it can light up under it.
LRESULT CALLBACK ButtonSubclassProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR) {
    switch (message) {
    case WM_MOUSEMOVE:
        if (!::GetPropW(button, HoverProperty)) {
            ::SetPropW(button, HoverProperty, reinterpret_cast<HANDLE>(1));
            TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, button, 0};
            ::TrackMouseEvent(&track);
            ::InvalidateRect(button, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        ::RemovePropW(button, HoverProperty);
        ::InvalidateRect(button, nullptr, FALSE);
        break;
    case WM_NCDESTROY:
        ::RemovePropW(button, HoverProperty);
        ::RemovePropW(button, GlyphProperty);
        ComCtl::RemoveWindowSubclass(button, ButtonSubclassProc, 0);
        break;
    }
    return ComCtl::DefSubclassProc(button, message, wParam, lParam);
}

void FillPolygon(HDC dc, const POINT* points, int count, COLORREF colour) {
    TUniqueBrush brush(::CreateSolidBrush(colour));
    TUniquePen pen(::CreatePen(PS_SOLID, 1, colour));
    TSelectObject selectBrush(dc, brush.Get());
    TSelectObject selectPen(dc, pen.Get());
    ::Polygon(dc, points, count);
}

void ThickLine(HDC dc, POINT from, POINT to, int width, COLORREF colour) {
    TUniquePen pen(::CreatePen(PS_SOLID, width, colour));
    TSelectObject selectPen(dc, pen.Get());
    ::MoveToEx(dc, from.x, from.y, nullptr);
    ::LineTo(dc, to.x, to.y);
}

// The small glyph at the left of a caption, 16 by 16 design pixels with its top-left corner at (x, y).
void DrawGlyph(HDC dc, TGlyph glyph, int x, int y, bool enabled, int pixelsPerInch) {
    const COLORREF grey = RGB(160, 160, 160);
    auto colour = [&](COLORREF normal) { return enabled ? normal : grey; };
    auto s = [&](int length) { return Scaled(length, pixelsPerInch); };
    auto at = [&](int dx, int dy) { return POINT{x + s(dx), y + s(dy)}; };
    switch (glyph) {
    case TGlyph::None:
        break;
    case TGlyph::Next: {
        const POINT p[] = {at(4, 2), at(13, 8), at(4, 14)};
        FillPolygon(dc, p, 3, colour(RGB(0, 128, 64)));
        break;
    }
    case TGlyph::Back: {
        const POINT p[] = {at(12, 2), at(3, 8), at(12, 14)};
        FillPolygon(dc, p, 3, colour(RGB(0, 128, 64)));
        break;
    }
    case TGlyph::Cancel:
        ThickLine(dc, at(3, 3), at(13, 13), s(3), colour(RGB(192, 0, 0)));
        ThickLine(dc, at(13, 3), at(3, 13), s(3), colour(RGB(192, 0, 0)));
        break;
    case TGlyph::Exit: {
        ThickLine(dc, at(2, 8), at(10, 8), s(3), colour(RGB(0, 59, 116)));
        const POINT p[] = {at(9, 3), at(15, 8), at(9, 13)};
        FillPolygon(dc, p, 3, colour(RGB(0, 59, 116)));
        break;
    }
    case TGlyph::Install:
        ThickLine(dc, at(2, 8), at(6, 13), s(3), colour(RGB(0, 128, 64)));
        ThickLine(dc, at(6, 13), at(14, 3), s(3), colour(RGB(0, 128, 64)));
        break;
    case TGlyph::Browse: {
        const POINT p[] = {at(1, 4), at(6, 4), at(8, 6), at(15, 6), at(15, 14), at(1, 14)};
        FillPolygon(dc, p, 6, colour(RGB(214, 160, 32)));
        break;
    }
    case TGlyph::Fonts: {
        const POINT p[] = {at(2, 14), at(8, 1), at(14, 14), at(11, 14), at(8, 6), at(5, 14)};
        FillPolygon(dc, p, 6, colour(RGB(0, 59, 116)));
        break;
    }
    }
}
} // namespace

void TContainer::Create(HWND parent, const wchar_t* className, const wchar_t* text, TRect bounds,
                        bool visible) {
    RegisterWindowClass(className);
    CreateHandle(WS_EX_CONTROLPARENT, className, text,
                 WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (visible ? WS_VISIBLE : 0), bounds.Left,
                 bounds.Top, bounds.Width, bounds.Height, parent);
}

void TContainer::SetColours(COLORREF background, int borderWidth, COLORREF border) {
    FBrush.Reset(::CreateSolidBrush(background));
    FBorderWidth = borderWidth;
    FBorderColour = border;
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

LRESULT TContainer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
        // The main window owns every control's behaviour and colour.
        return ::SendMessageW(::GetAncestor(Handle(), GA_ROOT), message, wParam, lParam);
    case WM_ERASEBKGND: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT client;
        ::GetClientRect(Handle(), &client);
        if (FBorderWidth > 0) {
            TUniqueBrush border(::CreateSolidBrush(FBorderColour));
            ::FillRect(dc, &client, border.Get());
            ::InflateRect(&client, -FBorderWidth, -FBorderWidth);
        }
        ::FillRect(dc, &client, FBrush ? FBrush.Get() : ::GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    }
    return DefaultHandler(message, wParam, lParam);
}

HWND CreateSkinButton(HWND parent, int id, const wchar_t* caption, TRect bounds, TGlyph glyph) {
    HWND button =
        CreateChildWindow(L"Button", caption, WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW, bounds, parent, id);
    ::SetPropW(button, GlyphProperty, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(glyph)));
    ComCtl::SetWindowSubclass(button, ButtonSubclassProc, 0, 0);
    return button;
}

void DrawSkinButton(const DRAWITEMSTRUCT& item, int pixelsPerInch) {
    auto s = [&](int length) { return Scaled(length, pixelsPerInch); };
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    const bool enabled = !(item.itemState & ODS_DISABLED);
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool hover = enabled && ::GetPropW(item.hwndItem, HoverProperty) != nullptr;

    const COLORREF face = pressed ? RGB(214, 226, 240) : hover ? RGB(255, 255, 255) : ButtonFaceColour;
    TUniqueBrush frame(::CreateSolidBrush(enabled ? ButtonFrameColour : RGB(160, 160, 160)));
    TUniqueBrush fill(::CreateSolidBrush(face));
    ::FillRect(dc, &rect, frame.Get());
    RECT inner = rect;
    const int frameWidth = s(hover || pressed ? 2 : 1);
    ::InflateRect(&inner, -frameWidth, -frameWidth);
    ::FillRect(dc, &inner, fill.Get());

    wchar_t caption[128] = L"";
    ::GetWindowTextW(item.hwndItem, caption, static_cast<int>(std::size(caption)));
    const auto glyph =
        static_cast<TGlyph>(reinterpret_cast<INT_PTR>(::GetPropW(item.hwndItem, GlyphProperty)));
    const int shift = pressed ? s(1) : 0;

    SIZE textSize{};
    ::GetTextExtentPoint32W(dc, caption, static_cast<int>(::wcslen(caption)), &textSize);
    const int glyphWidth = glyph == TGlyph::None ? 0 : s(16 + 6);
    const int contentWidth = glyphWidth + textSize.cx;
    const int left =
        rect.left + std::max(s(4), static_cast<int>(rect.right - rect.left - contentWidth) / 2) + shift;
    const int middle = (rect.top + rect.bottom) / 2 + shift;
    if (glyph != TGlyph::None)
        DrawGlyph(dc, glyph, left, middle - s(8), enabled, pixelsPerInch);

    RECT textRect{left + glyphWidth, rect.top + shift, rect.right - s(2) + shift, rect.bottom + shift};
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, enabled ? RGB(0, 0, 0) : ::GetSysColor(COLOR_GRAYTEXT));
    ::DrawTextW(dc, caption, -1, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = rect;
        ::InflateRect(&focus, -s(3), -s(3));
        ::DrawFocusRect(dc, &focus);
    }
}

TUniqueFont MakeFont(const wchar_t* face, int pixelHeight, BYTE charset, int weight) {
    return TUniqueFont(::CreateFontW(-pixelHeight, 0, 0, 0, weight, FALSE, FALSE, FALSE, charset,
                                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                                     DEFAULT_PITCH | FF_DONTCARE, face));
}
