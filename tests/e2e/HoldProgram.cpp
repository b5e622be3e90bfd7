// Stands in for the driver installer where a test must look at the wizard in the middle of its run: the run
// waits for the installer, so while this program waits the wizard shows the progress page as the run left
// it. Each start appends its command line (UTF-8) to "<own name>.ran" beside itself; then it waits while a
// file named "hold" lies beside it, at most a minute, and ends with 0.
#include <windows.h>

#include <string>

namespace {

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void AppendLine(const std::wstring& file, const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string line(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), line.data(), size, nullptr,
                          nullptr);
    line += "\r\n";
    HANDLE handle = ::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    ::WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(handle);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring self = ModulePath();
    const size_t slash = self.find_last_of(L'\\');
    const size_t dot = self.find_last_of(L'.');
    if (slash == std::wstring::npos)
        return 1;
    const std::wstring stem = dot != std::wstring::npos && dot > slash ? self.substr(0, dot) : self;
    AppendLine(stem + L".ran", ::GetCommandLineW());
    const std::wstring hold = self.substr(0, slash + 1) + L"hold";
    for (int i = 0; i < 3000 && ::GetFileAttributesW(hold.c_str()) != INVALID_FILE_ATTRIBUTES; ++i)
        ::Sleep(20);
    return 0;
}
