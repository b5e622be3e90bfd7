// The relative names the suite's folder's gateway works with, shared by its two halves (TargetFolder.cpp: the
// folders held and checked; TargetFiles.cpp: the files in them). Not for use elsewhere.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace TargetNames {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

inline bool IsMissing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

inline std::wstring Bare(std::wstring_view relative) {
    while (!relative.empty() && relative.back() == L'\\')
        relative.remove_suffix(1);
    return std::wstring(relative);
}

// "backup\R010321\Files" as "backup\R010321" and "Files".
inline std::pair<std::wstring, std::wstring> Split(std::wstring_view relative) {
    const std::wstring bare = Bare(relative);
    const std::size_t slash = bare.rfind(L'\\');
    if (slash == std::wstring::npos)
        return {L"", bare};
    return {bare.substr(0, slash), bare.substr(slash + 1)};
}

inline std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() ? name : folder + L"\\" + name;
}

} // namespace TargetNames
