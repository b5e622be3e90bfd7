// Stand-in for the FTDI driver installer of the demo medium. It installs nothing: each start appends one
// line to "FTDIDriverInstall.ran" beside the program (or to the file that the environment variable
// TESSARO_DEMO_DRIVER_RECORD names: the wizard starts a copy of it that it removes afterwards), so that tests
// can tell whether, how often and how it was started. The line, in UTF-8: the command line, a tab, the show
// command the starter asked for (-1 when it asked for none), a tab, the current folder.
#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring CurrentFolder() {
    DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring folder(size, L'\0');
    DWORD length = ::GetCurrentDirectoryW(size, folder.data());
    folder.resize(length < size ? length : 0);
    return folder;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                          nullptr, nullptr);
    return result;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring record = ModulePath();
    size_t slash = record.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return 1;
    record.replace(slash + 1, std::wstring::npos, L"FTDIDriverInstall.ran");
    wchar_t named[MAX_PATH] = L"";
    const DWORD length = ::GetEnvironmentVariableW(L"TESSARO_DEMO_DRIVER_RECORD", named, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        record = named;

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    ::GetStartupInfoW(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    std::string line =
        ToUtf8(::GetCommandLineW()) + "\t" + std::to_string(show) + "\t" + ToUtf8(CurrentFolder()) + "\r\n";

    HANDLE file = ::CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    return ok && written == line.size() ? 0 : 1;
}
