#include "win/Window.h"

#include <new>
#include <utility>
#include <stdexcept>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "win/Application.h"

TWindow::~TWindow() {
    if (FHandle) {
        // The object goes first: detach it so that late messages reach DefWindowProc only.
        ::SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
        ::DestroyWindow(std::exchange(FHandle, nullptr));
    }
}

void TWindow::DestroyHandle() noexcept {
    if (FHandle)
        ::DestroyWindow(FHandle); // WM_NCDESTROY clears FHandle
}

void TWindow::RegisterWindowClass(const wchar_t* className, UINT style, HBRUSH background, HICON icon) {
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof(existing);
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::GetClassInfoExW(instance, className, &existing))
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = &TWindow::StaticWindowProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.hIcon = icon;
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc))
        throw TError(std::wstring(L"Не удалось зарегистрировать класс окна ") + className);
}

void TWindow::CreateHandle(DWORD exStyle, const wchar_t* className, const wchar_t* caption, DWORD style,
                           int x, int y, int width, int height, HWND parent, HMENU menuOrId) {
    HWND created = ::CreateWindowExW(exStyle, className, caption, style, x, y, width, height, parent,
                                     menuOrId, ::GetModuleHandleW(nullptr), this);
    if (!created)
        throw TError(std::wstring(L"Не удалось создать окно ") + className);
}

HWND CreateChildWindow(const wchar_t* className, const wchar_t* text, DWORD style, const TRect& bounds,
                       HWND parent, int id, DWORD exStyle) {
    HWND control = ::CreateWindowExW(
        exStyle, className, text, WS_CHILD | style, bounds.Left, bounds.Top, bounds.Width, bounds.Height,
        parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
    if (!control)
        ThrowLastError(std::wstring(L"Не удалось создать элемент окна ") + className);
    return control;
}

void SetWindowFont(HWND window, HFONT font) noexcept {
    ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

std::wstring WindowText(HWND window) {
    const int length = ::GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

LRESULT TWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandler(message, wParam, lParam);
}

LRESULT CALLBACK TWindow::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<TWindow*>(create->lpCreateParams);
        self->FHandle = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->FHandle = nullptr;
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    // While long work runs on this thread the hourglass stays, whichever of the program's windows (or their
    // controls, which pass the question up) the mouse is over; the class cursor would take it back.
    if (message == WM_SETCURSOR && Application().Busy() && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        ShowErrorReport(CurrentExceptionText());
        return 0;
    }
}

std::wstring CurrentExceptionText() noexcept {
    try {
        throw;
    } catch (const TError& error) {
        return error.Message();
    } catch (const std::bad_alloc&) {
        return L"Недостаточно памяти для продолжения работы.";
    } catch (const std::exception& error) {
        std::wstring text = L"Внутренняя ошибка программы: ";
        for (const char* p = error.what(); *p; ++p)
            text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
        return text;
    } catch (...) {
        return L"Внутренняя ошибка программы.";
    }
}

void ShowErrorReport(const std::wstring& message) noexcept {
    HWND owner = Application().MainWindow();
    ::MessageBoxW(owner && ::IsWindow(owner) ? owner : nullptr, message.c_str(),
                  Application().Title().c_str(), MB_OK | MB_ICONERROR);
}
