#include "install/RunLogFile.h"

#include <windows.h>

#include "common/ErrorWin.h"
#include "common/StrUtils.h"
#include "install/Folders.h"

TRunLogFile::TRunLogFile(std::wstring fileName) : FFileName(std::move(fileName)) {
    FFile.Reset(::CreateFileW(FFileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!FFile)
        ThrowLastError(L"Не удалось создать журнал " + Quoted(FFileName));
    Write("\xEF\xBB\xBF");
}

void TRunLogFile::Write(std::string_view utf8) noexcept {
    DWORD written = 0;
    ::WriteFile(FFile.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

std::wstring DefaultRunLogPath(const TLocalTime& t) {
    return TempFolder() + L"TessaroSetup-" + DateTimeStamp(t) + L".log";
}
