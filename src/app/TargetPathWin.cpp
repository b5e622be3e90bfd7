#include "app/TargetPath.h"

#include "common/TH_Common_Const.h"
#include "install/FileUtils.h"

void CreateTargetFolders(const std::wstring& path) {
    EnsureDir(path);
    EnsureDir(path + std::wstring(SettingsDir));
}
