// Stands in for a program of the suite that is still running while the medium is installed again: it holds
// a file open as a running program holds its library or a server its database (others may read it, nobody
// may replace or rename it) until the test lets it go.
//   e2e_holdfile.exe <file> <control folder>
// Once the file is held it creates "<control folder>\opened"; it lets go and ends when "<control
// folder>\hold" is gone (after three minutes at the latest). Ends with 2 when the file cannot be opened.
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!arguments || count < 3)
        return 1;
    const std::wstring file = arguments[1];
    const std::wstring control = arguments[2];
    ::LocalFree(arguments);
    HANDLE held =
        ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return 2;
    HANDLE opened = ::CreateFileW((control + L"\\opened").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (opened != INVALID_HANDLE_VALUE)
        ::CloseHandle(opened);
    const std::wstring hold = control + L"\\hold";
    for (int i = 0; i < 9000 && ::GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        ::Sleep(20);
    ::CloseHandle(held);
    return 0;
}
