#include "install/files/Walks.h"

#include <cwchar>

#include "common/HandlesWin.h"
#include "install/trust/Links.h"

bool IsDots(const wchar_t* Name) noexcept {
    return std::wcscmp(Name, L".") == 0 || std::wcscmp(Name, L"..") == 0;
}

bool IsVisibleFolder(const WIN32_FIND_DATAW& Found) noexcept {
    const DWORD attributes = Found.dwFileAttributes;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && !IsDots(Found.cFileName);
}

bool ForEachEntry(const std::wstring& Folder, const TVisitEntry& Visit) {
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((Folder + L"\\*").c_str(), &found));
    if (!search)
        return false;
    do {
        if (!IsDots(found.cFileName) && !Visit(found))
            break;
    } while (::FindNextFileW(search.Get(), &found));
    return true;
}

namespace {
void WalkFilesBelow(const std::wstring& Root, const std::wstring& Relative, const TVisitFile& Visit,
                    const TLinkReport& OnForeignLink) {
    ForEachEntry(Relative.empty() ? Root : Root + L"\\" + Relative, [&](const WIN32_FIND_DATAW& found) {
        const std::wstring path =
            Relative.empty() ? std::wstring(found.cFileName) : Relative + L"\\" + found.cFileName;
        if (LinkKindOf(Root + L"\\" + path, found) == TLinkKind::Foreign) {
            if (OnForeignLink)
                OnForeignLink(Root + L"\\" + path);
        } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            Visit(path, found);
        } else if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
            WalkFilesBelow(Root, path, Visit, OnForeignLink);
        }
        return true;
    });
}
} // namespace

void WalkFiles(const std::wstring& Folder, const TVisitFile& Visit, const TLinkReport& OnForeignLink) {
    WalkFilesBelow(Folder, L"", Visit, OnForeignLink);
}

void GetSubDirList(const std::wstring& Folder, std::vector<std::wstring>& List) {
    WIN32_FIND_DATAW found;
    TUniqueFind search(::FindFirstFileW((Folder + L"*").c_str(), &found));
    if (!search)
        return;
    do {
        if (IsVisibleFolder(found) && std::wcscmp(found.cFileName, L"WithOutAnswer") != 0 &&
            LinkKindOf(Folder + found.cFileName, found) != TLinkKind::Foreign)
            List.push_back(Folder + found.cFileName);
    } while (::FindNextFileW(search.Get(), &found));
}
