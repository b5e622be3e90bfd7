#include "win/ShellFunctions.h"

#include "win/ComFunctions.h"
#include "win/SystemLibrary.h"

namespace {
template <typename T> T ShellFunction(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(SystemExport(L"shell32.dll", name)));
}
} // namespace

int ShellFileOperation(SHFILEOPSTRUCTW* Operation) {
    static const auto function = ShellFunction<int(WINAPI*)(SHFILEOPSTRUCTW*)>("SHFileOperationW");
    Ole::TComOnDemand::Ensure();
    return function ? function(Operation) : ERROR_MOD_NOT_FOUND;
}

PIDLIST_ABSOLUTE ShellBrowseForFolder(BROWSEINFOW* Info) {
    static const auto function = ShellFunction<PIDLIST_ABSOLUTE(WINAPI*)(BROWSEINFOW*)>("SHBrowseForFolderW");
    return function ? function(Info) : nullptr;
}

bool ShellPathFromIdList(PCIDLIST_ABSOLUTE List, wchar_t* Path) {
    static const auto function =
        ShellFunction<BOOL(WINAPI*)(PCIDLIST_ABSOLUTE, wchar_t*)>("SHGetPathFromIDListW");
    return function && function(List, Path);
}

bool ShellFolderPath(int Folder, wchar_t* Path) {
    static const auto function =
        ShellFunction<HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, wchar_t*)>("SHGetFolderPathW");
    return function && SUCCEEDED(function(nullptr, Folder, nullptr, SHGFP_TYPE_CURRENT, Path));
}
