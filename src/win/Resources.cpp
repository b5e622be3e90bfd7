#include "win/Resources.h"

#include <windows.h>

#include <iterator>

std::wstring GetResText(unsigned Id) {
    wchar_t buffer[255] = L"";
    const int length =
        ::LoadStringW(::GetModuleHandleW(nullptr), Id, buffer, static_cast<int>(std::size(buffer)));
    return std::wstring(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

std::string_view ResourceBytes(const wchar_t* name) {
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, name, MAKEINTRESOURCEW(10)); // RT_RCDATA
    HGLOBAL loaded = info ? ::LoadResource(module, info) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        return {};
    return {static_cast<const char*>(data), ::SizeofResource(module, info)};
}
