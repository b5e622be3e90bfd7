#include "app/TestSeams.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/LargeFonts.h"
#include "app/Main.h"
#include "install/CopyFileApi.h"

namespace {
std::wstring Environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

std::wstring GRecordFile;

void Record(const std::string& line) {
    if (GRecordFile.empty())
        return;
    if (std::FILE* file = ::_wfopen(GRecordFile.c_str(), L"ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

std::string Narrow(const wchar_t* text) {
    if (!text)
        return "(null)";
    std::string narrow;
    for (; *text; ++text)
        narrow += *text < 128 ? static_cast<char>(*text) : '?';
    return narrow;
}

BOOL WINAPI RecordedChangeFontSize(HWND window, const wchar_t* pixelsPerInch) {
    Record(std::string("SetupChangeFontSize ") + (window ? "window" : "null") + " " + Narrow(pixelsPerInch));
    return TRUE;
}

// Stands in for every call the large-font page makes of the system.
class TRecordingCalls : public TSystemCalls {
public:
    TRecordingCalls(bool functionPresent, bool restartRefused)
        : FFunctionPresent(functionPresent), FRestartRefused(restartRefused) {}

    HMODULE LoadSystemLibrary(const wchar_t* name) override {
        Record("LoadLibrary " + Narrow(name));
        return FFunctionPresent ? ::GetModuleHandleW(nullptr) : nullptr;
    }
    FARPROC FindExport(HMODULE, const char* name) override {
        Record(std::string("GetProcAddress ") + name);
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&RecordedChangeFontSize));
    }
    DWORD PlatformId() override { return VER_PLATFORM_WIN32_NT; }
    bool EnableShutdownPrivilege() override {
        Record("EnableShutdownPrivilege");
        return true;
    }
    BOOL ExitSystem(UINT flags, DWORD reason) override {
        char line[64];
        std::snprintf(line, sizeof(line), "ExitWindowsEx 0x%02X %lu", flags,
                      static_cast<unsigned long>(reason));
        Record(line);
        return FRestartRefused ? FALSE : TRUE;
    }

private:
    bool FFunctionPresent;
    bool FRestartRefused;
};
std::wstring GFailingName;

bool NamesFailingFile(HANDLE file) {
    const DWORD needed = ::GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0)
        return false;
    std::vector<wchar_t> path(needed + 1);
    const DWORD length =
        ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= path.size())
        return false;
    const std::wstring full(path.data(), length);
    const std::size_t slash = full.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? full : full.substr(slash + 1);
    return ::CompareStringOrdinal(name.c_str(), -1, GFailingName.c_str(), -1, TRUE) == CSTR_EQUAL;
}

BOOL WINAPI FailingRead(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got, LPOVERLAPPED overlapped) {
    if (!NamesFailingFile(file))
        return ::ReadFile(file, buffer, wanted, got, overlapped);
    LARGE_INTEGER position{};
    if (::SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT) && position.QuadPart == 0 &&
        wanted > 1)
        return ::ReadFile(file, buffer, wanted / 2, got, overlapped);
    if (got)
        *got = 0;
    ::SetLastError(ERROR_CRC);
    return FALSE;
}

} // namespace

void ApplyTestSeams(TFMain& main) {
    const std::wstring calls = Environment(L"TESSARO_E2E_SYSTEM_CALLS");
    if (!calls.empty()) {
        GRecordFile = Environment(L"TESSARO_E2E_SYSTEM_RECORD");
        static TRecordingCalls recording(calls != L"absent", calls == L"restart-refused");
        SetSystemCalls(&recording);
    }
    if (Environment(L"TESSARO_E2E_LARGE_FONTS_PAGE") == L"1")
        main.ShowLargeFontAdvice();
    GFailingName = Environment(L"TESSARO_E2E_FAIL_READ");
    if (!GFailingName.empty())
        CopyFileApi().Read = &FailingRead;
}
