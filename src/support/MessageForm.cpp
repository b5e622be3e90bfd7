#include "support/MessageForm.h"

#include <chrono>
#include <cwchar>
#include <initializer_list>
#include <vector>

#include "common/ErrorWin.h"
#include "support/PlacementWin.h"
#include "win/Application.h"

namespace {
constexpr const wchar_t* FormClassName = L"TFMessageform";
constexpr const wchar_t* StripClassName = L"TMessageStrip";
constexpr UINT_PTR StayUpTimerId = 1;
constexpr UINT_PTR StopTimerId = 2;
constexpr UINT StayUpTimerInterval = 1000;
constexpr int idBtnStop = 100;
constexpr DWORD FormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD FormExStyle = WS_EX_TOPMOST | WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
// Indices in ImageList1.
constexpr int CancelGlyph = 0;
constexpr int OkGlyph = 2;

// A monotonic clock in days: a change of the system time must not jump the count-down.
double NowDays() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count() / (24.0 * 60.0 * 60.0);
}

TUniqueFont TahomaPoints(int points, int pixelsPerInch) {
    LOGFONTW font{};
    font.lfHeight = -FontPixels(points, pixelsPerInch);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    std::wcsncpy(font.lfFaceName, L"Tahoma", LF_FACESIZE - 1);
    TUniqueFont made(::CreateFontIndirectW(&font));
    if (!made)
        ThrowLastError(L"Не удалось создать шрифт Tahoma");
    return made;
}

HWND CreateChild(const wchar_t* className, const wchar_t* text, DWORD style, TRect bounds, HWND parent,
                 int id, HFONT font) {
    HWND control = CreateChildWindow(className, text, WS_VISIBLE | style, bounds, parent, id);
    SetWindowFont(control, font);
    return control;
}

// Draws one glyph on white, which the image list takes as transparent.
template <typename F> void AddGlyph(HIMAGELIST list, HDC screen, int size, F&& draw) {
    TUniqueMemoryDC dc(::CreateCompatibleDC(screen));
    TUniqueBitmap bitmap(::CreateCompatibleBitmap(screen, size, size));
    if (!dc || !bitmap)
        return;
    {
        TSelectObject select(dc.Get(), bitmap.Get());
        RECT all{0, 0, size, size};
        ::FillRect(dc.Get(), &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        draw(dc.Get());
    }
    ComCtl::ImageList_AddMasked(list, bitmap.Get(), RGB(255, 255, 255));
}

// A line through points given at the design resolution, drawn at `pixelsPerInch`.
void DrawLines(HDC dc, COLORREF colour, int pixelsPerInch, std::initializer_list<POINT> points) {
    auto scaled = [&](LONG length) {
        return static_cast<LONG>(ScaleSize(length, pixelsPerInch, MessageFormDesignPixelsPerInch));
    };
    std::vector<POINT> at;
    for (const POINT& point : points)
        at.push_back({scaled(point.x), scaled(point.y)});
    TUniquePen pen(::CreatePen(PS_SOLID, static_cast<int>(scaled(2)), colour));
    TSelectObject select(dc, pen.Get());
    ::Polyline(dc, at.data(), static_cast<int>(at.size()));
}
} // namespace

void TMessageStrip::Create(HWND parent, const wchar_t* name) {
    RegisterWindowClass(StripClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateHandle(WS_EX_CONTROLPARENT, StripClassName, name, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0,
                 0, parent);
}

LRESULT TMessageStrip::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return ::SendMessageW(::GetParent(Handle()), message, wParam, lParam);
    }
    return DefaultHandler(message, wParam, lParam);
}

TFMessageform::TFMessageform() {
    RegisterWindowClass(FormClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // Laid out at the resolution of the monitor it is shown on.
    FDpi = ChosenScreenOrPrimary().PixelsPerInch;
    FSizes = ScaledMessageFormSizes(FDpi);
    RECT frame{0, 0, FSizes.ClientWidth, FSizes.DesignClientHeight};
    ::AdjustWindowRectEx(&frame, FormStyle, FALSE, FormExStyle);
    // Owned by the main window, so that it stays above it and the main window waits while it is up.
    HWND owner = Application().MainWindow();
    CreateHandle(FormExStyle, FormClassName, L"", FormStyle, 0, 0, frame.right - frame.left,
                 frame.bottom - frame.top, owner && ::IsWindow(owner) ? owner : nullptr);
    FFont = TahomaPoints(FSizes.FormFontPoints, FDpi);
    FMessageFont = TahomaPoints(FSizes.MessageFontPoints, FDpi);
    CreateControls();
    CreateGlyphs();
}

TFMessageform::~TFMessageform() {
    DestroyHandle();
}

void TFMessageform::CreateControls() {
    const TMessageFormSizes& s = FSizes;
    HFONT font = FFont.Get();
    lblMessage = CreateChild(
        L"Static", L"", SS_LEFT | SS_NOPREFIX,
        {0, 0, s.ClientWidth, s.DesignClientHeight - s.ButtonsHeight - s.CloseGap - s.CloseHeight}, Handle(),
        -1, FMessageFont.Get());

    pnlButtons.Create(Handle(), L"");
    btnCancel = CreateChild(L"Button", L"Отмена", WS_TABSTOP | BS_PUSHBUTTON, {}, pnlButtons.Handle(),
                            IDCANCEL, font);
    btnOK = CreateChild(L"Button", L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, {}, pnlButtons.Handle(), IDOK, font);

    pnlClose.Create(Handle(), L"");
    btnStop = CreateChild(L"Button", L"остановить", WS_TABSTOP | BS_PUSHBUTTON, {}, pnlClose.Handle(),
                          idBtnStop, font);
    lblClose = CreateChild(L"Static", L"Окно закроется через", SS_CENTER | SS_NOPREFIX, {}, pnlClose.Handle(),
                           -1, font);
    lblSec = CreateChild(L"Static", CountdownInitialText, SS_LEFTNOWORDWRAP | SS_NOPREFIX, {},
                         pnlClose.Handle(), -1, font);
    PlaceStripControls();
}

void TFMessageform::PlaceStripControls() {
    const TMessageFormSizes& s = FSizes;
    ::MoveWindow(btnCancel, 0, 0, s.CancelWidth, s.ButtonsHeight, TRUE);
    ::MoveWindow(btnOK, s.ClientWidth - s.OkWidth, 0, s.OkWidth, s.ButtonsHeight, TRUE);
    ::MoveWindow(btnStop, 0, 0, s.StopWidth, s.CloseHeight, TRUE);
    ::MoveWindow(lblClose, s.StopWidth, 0, s.CloseLabelWidth, s.CloseHeight, TRUE);
    ::MoveWindow(lblSec, s.StopWidth + s.CloseLabelWidth, 0, s.SecondsWidth, s.CloseHeight, TRUE);
}

void TFMessageform::CreateGlyphs() {
    const int size = FSizes.GlyphSize;
    const int dpi = FDpi;
    ImageList1.Reset(ComCtl::ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 3, 0));
    if (!ImageList1)
        return; // the buttons work without their pictures
    TWindowDC screen(nullptr);
    AddGlyph(ImageList1.Get(), screen.Get(), size, [dpi](HDC dc) { // 0: Cancel, a red cross
        DrawLines(dc, RGB(192, 0, 0), dpi, {{4, 4}, {12, 12}});
        DrawLines(dc, RGB(192, 0, 0), dpi, {{12, 4}, {4, 12}});
    });
    AddGlyph(ImageList1.Get(), screen.Get(), size, [](HDC) {});    // 1: unused
    AddGlyph(ImageList1.Get(), screen.Get(), size, [dpi](HDC dc) { // 2: OK, a green tick
        DrawLines(dc, RGB(0, 128, 0), dpi, {{3, 8}, {6, 11}, {13, 4}});
    });
    FOkGlyph.Reset(ComCtl::ImageList_GetIcon(ImageList1.Get(), OkGlyph, ILD_NORMAL));
    FCancelGlyph.Reset(ComCtl::ImageList_GetIcon(ImageList1.Get(), CancelGlyph, ILD_NORMAL));
    // With the common controls of version 6 a push button shows its picture beside its caption.
    ::SendMessageW(btnOK, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(FOkGlyph.Get()));
    ::SendMessageW(btnCancel, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(FCancelGlyph.Get()));
}

bool TFMessageform::Showmes(const std::wstring& Text, TMessageType tip, const std::wstring& CaptionText,
                            bool smodal) {
    FShowResult = false;
    FMessageTtype = tip;
    FMessageText = Text;
    FCaptionText = CaptionText;
    Fsmodal = smodal;
    ::ShowWindow(btnCancel, tip == mtDialog ? SW_SHOW : SW_HIDE);
    ::ShowWindow(btnOK, SW_SHOW);
    if (!smodal) {
        ::ShowWindow(btnOK, SW_HIDE);
        ::ShowWindow(btnStop, SW_HIDE);
        ::ShowWindow(btnCancel, SW_HIDE);
    }
    FormShow();
    if (!smodal) {
        ::ShowWindow(Handle(), SW_SHOW);
        return false;
    }
    RunModal();
    return FShowResult;
}

void TFMessageform::RunModal() {
    HWND owner = ::GetWindow(Handle(), GW_OWNER);
    const bool ownerDisabled = owner && ::IsWindowEnabled(owner);
    if (ownerDisabled)
        ::EnableWindow(owner, FALSE);
    FModalDone = false;
    ::ShowWindow(Handle(), SW_SHOW);
    ::SetFocus(btnOK);
    MSG message;
    while (!FModalDone && Handle()) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // The program is ending: leave the request for the main loop.
            ::PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (!::IsDialogMessageW(Handle(), &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    if (!FModalDone)
        FormClose();
    // The owner first, so that the activation goes back to it when this window disappears.
    if (ownerDisabled)
        ::EnableWindow(owner, TRUE);
    if (Handle())
        ::ShowWindow(Handle(), SW_HIDE);
}

int TFMessageform::MessageTextHeight() const {
    // An empty label still takes one line.
    const std::wstring text = FMessageText.empty() ? std::wstring(L" ") : FMessageText;
    TWindowDC dc(lblMessage);
    TSelectObject font(dc.Get(), FMessageFont.Get());
    RECT rect{0, 0, FSizes.ClientWidth, 0};
    ::DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &rect,
                DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    return rect.bottom - rect.top;
}

void TFMessageform::FormShow() {
    if (Fsmodal) {
        SetStayUpTimer(true);
        SetStopTimer(true);
    } else {
        SetStayUpTimer(false);
        SetStopTimer(false);
        ::ShowWindow(lblClose, SW_HIDE);
        ::ShowWindow(lblSec, SW_HIDE);
    }

    ::SendMessageW(lblMessage, WM_SETFONT, reinterpret_cast<WPARAM>(FMessageFont.Get()), FALSE);
    ::SetWindowTextW(lblMessage, FMessageText.c_str());
    ::SetWindowTextW(Handle(), FCaptionText.c_str());
    ::ShowWindow(pnlClose.Handle(), SW_SHOW);

    const SIZE size = LayOut();
    const TPoint place = MessageWindowPlace(ChosenScreenOrPrimary(), size.cx, size.cy);
    ::SetWindowPos(Handle(), HWND_TOPMOST, place.Left, place.Top, size.cx, size.cy, SWP_NOACTIVATE);
    tt = NowDays();
}

SIZE TFMessageform::LayOut() {
    const TMessageFormSizes& s = FSizes;
    // The text, the buttons right below it, the count-down a small gap below the buttons.
    const int messageHeight = MessageTextHeight();
    ::MoveWindow(lblMessage, 0, 0, s.ClientWidth, messageHeight, TRUE);
    ::MoveWindow(pnlButtons.Handle(), 0, messageHeight, s.ClientWidth, s.ButtonsHeight, TRUE);
    ::MoveWindow(pnlClose.Handle(), 0, messageHeight + s.ButtonsHeight + s.CloseGap, s.ClientWidth,
                 s.CloseHeight, TRUE);

    return {s.ClientWidth + FrameSize(FormStyle, FormExStyle).cx, MessageWindowHeight(messageHeight, s)};
}

void TFMessageform::OnDpiChanged(int pixelsPerInch, const RECT& suggested) {
    FDpi = pixelsPerInch;
    FSizes = ScaledMessageFormSizes(FDpi);
    // The controls take the new fonts and pictures before the old ones go.
    TUniqueFont oldFont = std::move(FFont), oldMessageFont = std::move(FMessageFont);
    TUniqueIcon oldOk = std::move(FOkGlyph), oldCancel = std::move(FCancelGlyph);
    FFont = TahomaPoints(FSizes.FormFontPoints, FDpi);
    FMessageFont = TahomaPoints(FSizes.MessageFontPoints, FDpi);
    for (HWND control : {btnCancel, btnOK, btnStop, lblClose, lblSec})
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FFont.Get()), TRUE);
    ::SendMessageW(lblMessage, WM_SETFONT, reinterpret_cast<WPARAM>(FMessageFont.Get()), TRUE);
    CreateGlyphs();
    PlaceStripControls();
    const SIZE size = LayOut();
    ::SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, size.cx, size.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void TFMessageform::SetStayUpTimer(bool enabled) {
    FStayUpEnabled = enabled;
    if (enabled)
        ::SetTimer(Handle(), StayUpTimerId, StayUpTimerInterval, nullptr);
    else
        ::KillTimer(Handle(), StayUpTimerId);
}

void TFMessageform::SetStopTimer(bool enabled) {
    FStopEnabled = enabled;
    if (enabled)
        ::SetTimer(Handle(), StopTimerId, static_cast<UINT>(FStopInterval), nullptr);
    else
        ::KillTimer(Handle(), StopTimerId);
}

void TFMessageform::FormClose() {
    SetStayUpTimer(false);
    SetStopTimer(false);
}

void TFMessageform::Close() {
    FormClose();
    FModalDone = true;
    if (!Fsmodal)
        ::ShowWindow(Handle(), SW_HIDE);
    // A close that arrived as a sent message leaves the modal loop asleep in GetMessage: wake it.
    ::PostMessageW(Handle(), WM_NULL, 0, 0);
}

void TFMessageform::btnOKClick() {
    FShowResult = true;
    Close();
}

void TFMessageform::btnCancelClick() {
    FShowResult = false;
    Close();
}

void TFMessageform::btnStopClick() {
    SetStopTimer(false);
    ::ShowWindow(pnlClose.Handle(), SW_HIDE);
}

void TFMessageform::StayUpTimerTimer() {
    if (!::IsWindowVisible(Handle()))
        return;
    ::SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::SetWindowTextW(lblSec, CountdownText(RemainingSeconds(FStopInterval, NowDays() - tt)).c_str());
}

void TFMessageform::StopTimerTimer() {
    // Cancel, even when the window has no Cancel button to show.
    btnCancelClick();
}

LRESULT TFMessageform::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return 0;
        switch (LOWORD(wParam)) {
        case IDOK:
            // Enter reaches here too; it means OK only where OK is offered.
            if (::GetWindowLongW(btnOK, GWL_STYLE) & WS_VISIBLE)
                btnOKClick();
            break;
        case IDCANCEL:
            btnCancelClick();
            break;
        case idBtnStop:
            btnStopClick();
            break;
        }
        return 0;
    case WM_TIMER:
        if (wParam == StayUpTimerId)
            StayUpTimerTimer();
        else if (wParam == StopTimerId)
            StopTimerTimer();
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    }
    return DefaultHandler(message, wParam, lParam);
}

bool ShowTimedMessage(const std::wstring& text, TMessageType type, const std::wstring& caption,
                      std::int64_t seconds) {
    const int interval = StopIntervalMs(seconds);
    TFMessageform form;
    form.SetStopTimerInterval(interval);
    return form.Showmes(text, type, caption, true);
}
