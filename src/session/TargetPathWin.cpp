#include "session/TargetPath.h"

#include <windows.h>

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/TH_Common_Const.h"
#include "install/trust/AccessRules.h"
#include "install/trust/FolderAccess.h"
#include "install/files/Folders.h"
#include "install/files/TargetFolder.h"
#include "install/trust/Elevation.h"
#include "install/trust/Links.h"
#include "install/trust/TargetAccess.h"

TPathCheck CheckTargetPath(std::wstring_view entry) {
    return CheckTargetPath(entry, FullPathOf);
}

std::wstring TargetFolderRefusal(const std::wstring& path) {
    if (const std::wstring foreign = ForeignLevelOfTarget(path); !foreign.empty())
        return ForeignTargetText(foreign);
    return ProcessIsElevated() ? TargetRefusal(path) : std::wstring();
}

void CreateTargetFolders(const std::wstring& path) {
    // With an administrator's rights the suite's folder is the administrators' from its first moment: never
    // made first and closed after (the run takes over one that is there already).
    if (ProcessIsElevated() && !FolderExists(path))
        CreateFolderWithAccess(path, SuiteFolderAccess());
    else
        EnsureDir(path);
    // Below the folder, as everything the wizard makes there, through its gateway. What cannot be made the
    // run finds again and says so.
    try {
        TTargetFolder(path).MakeFolder(SettingsDir);
    } catch (const TError&) {
    }
}
