// Stand-in for the suite's shell program, put in place by the demo release packages: it names the release
// that installed it (the first line of "version.txt" beside it) and ends.
#include <windows.h>

#include <string>

namespace {

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// The release's name is plain ASCII; anything past the first line is ignored.
std::wstring ReleaseName(const std::wstring& folder) {
    HANDLE file = ::CreateFileW((folder + L"version.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return L"неизвестен";
    char buffer[64];
    DWORD read = 0;
    BOOL ok = ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
    ::CloseHandle(file);
    std::wstring name;
    for (DWORD i = 0; ok && i < read && buffer[i] != '\r' && buffer[i] != '\n'; ++i)
        name += static_cast<wchar_t>(static_cast<unsigned char>(buffer[i]));
    return name.empty() ? L"неизвестен" : name;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring text =
        L"Демонстрационная оболочка комплекса «Тессаро-Холтер».\r\nВыпуск: " + ReleaseName(OwnFolder());
    ::MessageBoxW(nullptr, text.c_str(), L"Тессаро - Холтер", MB_OK | MB_ICONINFORMATION);
    return 0;
}
