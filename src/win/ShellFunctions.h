// The shell's functions the program calls, taken from System32's shell32.dll at their first call. Imported
// the usual way, shell32 and its own imports would be looked for before the program's first instruction could
// restrict the library search (see SystemLibrary.h); Wine then takes a shcore.dll planted beside Setup.exe.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

// SHFileOperationW; ERROR_MOD_NOT_FOUND when the shell cannot be loaded.
int ShellFileOperation(SHFILEOPSTRUCTW* Operation);
// SHBrowseForFolderW; null when the shell cannot be loaded.
PIDLIST_ABSOLUTE ShellBrowseForFolder(BROWSEINFOW* Info);
// SHGetPathFromIDListW; false when the shell cannot be loaded.
bool ShellPathFromIdList(PCIDLIST_ABSOLUTE List, wchar_t* Path);
// SHGetFolderPathW (`Path` holds MAX_PATH characters); false when the shell cannot be loaded or has none.
bool ShellFolderPath(int Folder, wchar_t* Path);
