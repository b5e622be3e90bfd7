// Walks of folders: every file below one, and the release packages' folders. Neither follows a link anyone
// could have made (see Links.h), so no walk leads out of the folder it was given, nor round in a loop.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Calls Visit for every file below Folder (no trailing backslash) with its path relative to Folder and what
// the search found of it; hidden and system folders are left out, as CopyDirTree leaves them. A foreign link,
// file or folder, is passed over and named to OnForeignLink (when given) with its full path.
using TVisitFile = std::function<void(const std::wstring& Relative, const WIN32_FIND_DATAW& Found)>;
using TLinkReport = std::function<void(const std::wstring& Link)>;
void WalkFiles(const std::wstring& Folder, const TVisitFile& Visit, const TLinkReport& OnForeignLink = {});

// Appends Folder + name for every visible subfolder of Folder (ending in a backslash) but "WithOutAnswer" and
// foreign links.
void GetSubDirList(const std::wstring& Folder, std::vector<std::wstring>& List);

// Whether a search's entry is a folder a copy or a walk goes into: visible, and neither "." nor "..".
bool IsVisibleFolder(const WIN32_FIND_DATAW& Found) noexcept;

// Whether a search's entry is "." or "..".
bool IsDots(const wchar_t* Name) noexcept;

// Calls Visit for each entry of Folder (no trailing backslash) but "." and "..", as the search finds it,
// until Visit returns false. False where the folder could not be listed (the system's code in the last
// error).
using TVisitEntry = std::function<bool(const WIN32_FIND_DATAW& Found)>;
bool ForEachEntry(const std::wstring& Folder, const TVisitEntry& Visit);
