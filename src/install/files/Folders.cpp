#define _CRT_RAND_S // rand_s: random numbers from the system, for names no one can guess
#include "install/files/Folders.h"

#include <cstdlib>
#include <cwchar>

#include "common/FileIO.h"
#include "common/StrUtils.h"

namespace {
bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}
} // namespace

void EnsureDir(const std::wstring& Path) {
    if (!FolderExists(Path))
        ::CreateDirectoryW(Path.c_str(), nullptr);
}

DWORD ForceDirectories(const std::wstring& Path, std::wstring* FailedLevel, std::vector<std::wstring>* Made) {
    std::wstring path = Path;
    while (path.size() > 1 && IsSeparator(path.back()))
        path.pop_back();
    if (path.empty() || FolderExists(path))
        return 0;
    const std::wstring parent = ExtractFilePath(path);
    if (!parent.empty() && parent.size() < path.size() && parent.back() != L':' &&
        !(parent.size() == 3 && parent[1] == L':'))
        if (const DWORD code = ForceDirectories(parent, FailedLevel, Made))
            return code;
    if (::CreateDirectoryW(path.c_str(), nullptr)) {
        if (Made)
            Made->push_back(path);
        return 0;
    }
    const DWORD code = ::GetLastError();
    // Made meanwhile by someone else is made all the same.
    if (code == ERROR_ALREADY_EXISTS && FolderExists(path))
        return 0;
    if (FailedLevel)
        *FailedLevel = path;
    return code ? code : ERROR_PATH_NOT_FOUND;
}

std::wstring TempFolder() {
    wchar_t folder[MAX_PATH + 1] = L"";
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, folder);
    return length > 0 && length <= MAX_PATH ? WithTrailingBackslash(std::wstring(folder, length))
                                            : std::wstring();
}

void RemoveFolderUnlessLink(const std::wstring& Folder) {
    const std::wstring bare = WithoutTrailingBackslash(Folder);
    const DWORD attributes = ::GetFileAttributesW(bare.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        ::RemoveDirectoryW(bare.c_str());
}

std::wstring RandomHex(std::size_t Digits) {
    std::wstring digits;
    while (digits.size() < Digits) {
        unsigned int value = 0;
        if (rand_s(&value) != 0)
            return {};
        wchar_t part[9];
        std::swprintf(part, 9, L"%08x", value);
        digits += part;
    }
    return digits.substr(0, Digits);
}
