// Turning a failed Win32 or COM call into a TError with the system's own text.
#pragma once

#include <windows.h>
#include <string>
#include <string_view>

#include "common/Error.h"

// The system's message for an error code, without the trailing line break; empty when it has none.
std::wstring SystemMessage(DWORD code);
// The system's text followed by the code, "<text> (код N)"; "ошибка N" when the system has no text. The text
// is for the user, the code for whoever reads the run log or looks it up. It always follows a colon, and
// reads so: "отказано в доступе (код 5)" (LowerFirst; the English of a system in English keeps its case).
std::wstring SystemErrorText(DWORD code);

// Throws TSystemError "<what>: <system text>" with the code of GetLastError().
[[noreturn]] void ThrowLastError(std::wstring_view what);
[[noreturn]] void ThrowHResult(HRESULT result, std::wstring_view what);

inline void CheckHResult(HRESULT result, std::wstring_view what) {
    if (FAILED(result))
        ThrowHResult(result, what);
}
