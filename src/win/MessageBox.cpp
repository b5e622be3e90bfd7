#include "win/MessageBox.h"

#include "win/Application.h"

namespace {
UINT IconFlags(TBoxIcon icon) {
    switch (icon) {
    case TBoxIcon::Error:
        return MB_ICONERROR;
    case TBoxIcon::Warning:
        return MB_ICONWARNING;
    case TBoxIcon::Question:
        return MB_ICONQUESTION;
    case TBoxIcon::Information:
        return MB_ICONINFORMATION;
    }
    return 0;
}

// Standard titles, as the platform's own message dialogs name them in Russian.
const wchar_t* Caption(TBoxIcon icon) {
    switch (icon) {
    case TBoxIcon::Error:
        return L"Ошибка";
    case TBoxIcon::Warning:
        return L"Предупреждение";
    case TBoxIcon::Question:
        return L"Подтверждение";
    case TBoxIcon::Information:
        return L"Сведения";
    }
    return L"";
}
} // namespace

void ShowMessageBox(HWND owner, const std::wstring& text, TBoxIcon icon) {
    ::MessageBoxW(owner, text.c_str(), Caption(icon), MB_OK | IconFlags(icon));
}

bool AskYesNo(HWND owner, const std::wstring& text, TBoxIcon icon) {
    return ::MessageBoxW(owner, text.c_str(), Caption(icon), MB_YESNO | IconFlags(icon)) == IDYES;
}

bool AskRetryCancel(HWND owner, const std::wstring& text) {
    return ::MessageBoxW(owner, text.c_str(), Caption(TBoxIcon::Warning), MB_RETRYCANCEL | MB_ICONWARNING) ==
           IDRETRY;
}
