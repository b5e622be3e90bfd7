// Where a shell link goes and what it is called: the rules of CreateShortcut that need no shell.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The location kind whose SubFolder is the whole destination folder.
inline constexpr std::uint8_t LinkLocationFolder = 4;

// The link file's own name: LinkName, or FileName when LinkName is empty, with its extension (from the last
// full stop of the name part) replaced by ".lnk" and any folder part dropped.
std::wstring LinkFileName(std::wstring_view FileName, std::wstring_view LinkName);

// The link file's full path in Folder: below SubFolder when one is given for a shell folder (kinds 0 to 3);
// for kind 4 Folder already is the caller's folder.
std::wstring LinkFilePath(std::wstring_view Folder, std::uint8_t Location, std::wstring_view SubFolder,
                          std::wstring_view LinkFile);

// The link's working folder: WorkingDir, or the folder part of FileName with its backslash.
std::wstring LinkWorkingDir(std::wstring_view WorkingDir, std::wstring_view FileName);
