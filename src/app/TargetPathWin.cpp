#include "app/TargetPath.h"

#include "common/TH_Common_Const.h"
#include "install/Folders.h"
#include "install/InstallRun.h"
#include "install/Registration.h"
#include "resources/ResourceIds.h"
#include "win/Resources.h"

void CreateTargetFolders(const std::wstring& path) {
    EnsureDir(path);
    EnsureDir(path + std::wstring(SettingsDir));
}

std::wstring DefaultTargetFolder() {
    if (const auto registered = FindRegistration(ProcessIsElevated()))
        return registered->InstallLocation;
    return L"C:\\" + GetResText(IDS_APP_NAME);
}
