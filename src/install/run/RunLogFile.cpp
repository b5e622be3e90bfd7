#include "install/run/RunLogFile.h"

#include <windows.h>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/StrUtils.h"
#include "install/trust/AccessRules.h"
#include "install/trust/FolderAccess.h"
#include "install/files/Folders.h"
#include "install/run/RunLog.h"
#include "install/trust/TargetAccess.h"
#include "win/ShellFunctions.h"

namespace {
// Enough for every run of a day's deployment to the same name.
constexpr unsigned MaxNumber = 1000;
} // namespace

TRunLogFile::TRunLogFile(std::wstring fileName) {
    DWORD code = ERROR_FILE_EXISTS;
    for (unsigned number = 1;
         number <= MaxNumber && (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS); ++number) {
        FFileName = NumberedLogPath(fileName, number);
        FFile.Reset(::CreateFileW(FFileName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        code = FFile ? 0 : ::GetLastError();
    }
    if (!FFile) {
        FFileName = std::move(fileName);
        ::SetLastError(code);
        ThrowLastError(L"Не удалось создать журнал " + Quoted(FFileName));
    }
    Write("\xEF\xBB\xBF");
}

void TRunLogFile::Write(std::string_view utf8) noexcept {
    DWORD written = 0;
    ::WriteFile(FFile.Get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

namespace {
// "%ProgramData%\Tessaro-Holter\Logs\", each level the administrators'; empty where it cannot be had.
std::wstring SystemLogFolder() {
    wchar_t data[MAX_PATH] = L"";
    if (!ShellFolderPath(CSIDL_COMMON_APPDATA, data))
        return {};
    std::wstring folder = WithoutTrailingBackslash(data);
    try {
        for (const wchar_t* level : {L"Tessaro-Holter", L"Logs"}) {
            folder += L"\\";
            folder += level;
            EnsureAdminFolder(folder);
        }
    } catch (const TError&) {
        return {};
    }
    return folder + L"\\";
}
} // namespace

std::wstring DefaultRunLogPath(const TLocalTime& t) {
    const std::wstring name = L"TessaroSetup-" + DateTimeStamp(t) + L".log";
    if (CurrentUserSid() == AccountSid::System)
        if (const std::wstring folder = SystemLogFolder(); !folder.empty())
            return folder + name;
    return TempFolder() + name;
}
