// A stand-in for the programs the installer starts: writes, as UTF-16, its own path, the command line it
// was given and its current folder, one to a line, to the file named by TESSARO_PROBE_OUT, and ends with the
// number that follows "exit=" on its command line (0 without one), after the milliseconds that follow
// "sleep=", if any.
#include <windows.h>

#include <cwchar>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t out[MAX_PATH];
    if (::GetEnvironmentVariableW(L"TESSARO_PROBE_OUT", out, MAX_PATH) - 1u >= MAX_PATH - 1u)
        return 99;
    wchar_t self[MAX_PATH] = L"";
    wchar_t folder[MAX_PATH] = L"";
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ::GetCurrentDirectoryW(MAX_PATH, folder);
    const wchar_t* commandLine = ::GetCommandLineW();
    const std::wstring text = std::wstring(self) + L"\n" + commandLine + L"\n" + folder + L"\n";
    HANDLE file =
        ::CreateFileW(out, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 98;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written, nullptr);
    ::CloseHandle(file);
    if (const wchar_t* sleep = std::wcsstr(commandLine, L"sleep="))
        ::Sleep(static_cast<DWORD>(_wtoi(sleep + 6)));
    const wchar_t* code = std::wcsstr(commandLine, L"exit=");
    return code ? _wtoi(code + 5) : 0;
}
