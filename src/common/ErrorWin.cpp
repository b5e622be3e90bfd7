#include "common/ErrorWin.h"

#include "common/HandlesWin.h"
#include "common/StrUtils.h"

std::wstring SystemMessage(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const TUniqueLocal memory(buffer);
    std::wstring text;
    if (length && buffer)
        text.assign(buffer, length);
    while (!text.empty() &&
           (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    return text;
}

std::wstring SystemErrorText(DWORD code) {
    wchar_t number[32];
    if (code > 0xFFFF)
        ::wsprintfW(number, L"0x%08lX", static_cast<unsigned long>(code));
    else
        ::wsprintfW(number, L"%lu", static_cast<unsigned long>(code));
    const std::wstring system = SystemMessage(code);
    return system.empty() ? L"ошибка " + std::wstring(number)
                          : LowerFirst(system) + L" (код " + number + L")";
}

static std::wstring Compose(std::wstring_view what, DWORD code) {
    return std::wstring(what) + L": " + SystemErrorText(code);
}

void ThrowLastError(std::wstring_view what) {
    const DWORD code = ::GetLastError();
    throw TSystemError(Compose(what, code), code);
}

void ThrowHResult(HRESULT result, std::wstring_view what) {
    throw TSystemError(Compose(what, static_cast<DWORD>(result)), static_cast<DWORD>(result));
}
