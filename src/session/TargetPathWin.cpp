#include "session/TargetPath.h"

#include <windows.h>

#include "common/FileIO.h"
#include "common/TH_Common_Const.h"
#include "install/Folders.h"

TPathCheck CheckTargetPath(std::wstring_view entry) {
    return CheckTargetPath(entry, FullPathOf);
}

void CreateTargetFolders(const std::wstring& path) {
    EnsureDir(path);
    EnsureDir(path + std::wstring(SettingsDir));
}
