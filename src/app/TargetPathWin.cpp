#include "app/TargetPath.h"

#include <windows.h>

#include "common/TH_Common_Const.h"
#include "install/Folders.h"
#include "install/InstallRun.h"
#include "install/Registration.h"
#include "resources/ResourceIds.h"
#include "win/Resources.h"

namespace {

std::wstring SystemFullPath(const std::wstring& path) {
    const DWORD needed = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    full.resize(length);
    return full;
}

} // namespace

TPathCheck CheckTargetPath(std::wstring_view entry) {
    return CheckTargetPath(entry, SystemFullPath);
}

void CreateTargetFolders(const std::wstring& path) {
    EnsureDir(path);
    EnsureDir(path + std::wstring(SettingsDir));
}

std::wstring DefaultTargetFolder() {
    if (const auto registered = FindRegistration(ProcessIsElevated()))
        return registered->InstallLocation;
    return L"C:\\" + GetResText(IDS_APP_NAME);
}
