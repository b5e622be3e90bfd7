#include "install/RunLogFile.h"

#include <windows.h>

#include <cstdio>

#include "common/ErrorWin.h"

TRunLogFile::TRunLogFile(std::wstring fileName) : FFileName(std::move(fileName)) {
    FFile.Reset(::CreateFileW(FFileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FFile)
        ThrowLastError(L"Не удалось создать журнал установки \"" + FFileName + L"\"");
    Write("\xEF\xBB\xBF");
}

void TRunLogFile::Write(std::string_view utf8) noexcept {
    DWORD written = 0;
    ::WriteFile(FFile.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring DefaultRunLogPath(const TLocalTime& t) {
    wchar_t folder[MAX_PATH + 1] = L"";
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    std::wstring path = length > 0 && length <= MAX_PATH ? std::wstring(folder, length) : std::wstring();
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    wchar_t name[64];
    std::swprintf(name, std::size(name), L"TessaroSetup-%04d%02d%02d-%02d%02d%02d.log", t.Year, t.Month,
                  t.Day, t.Hour, t.Minute, t.Second);
    return path + name;
}
