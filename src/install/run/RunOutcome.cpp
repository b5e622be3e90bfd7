#include "install/run/RunOutcome.h"

std::wstring UnexpectedErrorText(const char* what) {
    std::wstring text = L"Непредвиденная ошибка программы установки";
    // The library's own words are Latin ("bad_alloc"); anything else is left out rather than shown garbled.
    if (what && *what) {
        std::wstring detail;
        for (const char* c = what; *c && detail.size() < 200; ++c)
            detail += (*c >= 0x20 && *c < 0x7F) ? static_cast<wchar_t>(*c) : L'?';
        text += L": " + detail;
    }
    return text;
}
