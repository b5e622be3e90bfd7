// Shell links (".lnk") to a program in one of the user's shell folders or in a given folder.
#pragma once

#include <cstdint>
#include <string>

// Location: 0 desktop, 1 quick launch, 2 send-to, 3 start menu, 4 the folder SubFolder; any other makes no
// link. LinkPath receives the link's path when a destination folder was found. COM must be initialised.
void CreateShortcut(const std::wstring& FileName, std::uint8_t Location, const std::wstring& SubFolder,
                    const std::wstring& WorkingDir, const std::wstring& Arguments,
                    const std::wstring& Description, const std::wstring& LinkName, std::wstring& LinkPath);

// Where CreateShortcut puts the link to FileName for Location (see there); empty when the folder is unknown.
std::wstring ShortcutPath(const std::wstring& FileName, std::uint8_t Location, const std::wstring& SubFolder,
                          const std::wstring& LinkName);
// The program a link leads to; empty when the link cannot be read. COM must be initialised.
std::wstring ShortcutTarget(const std::wstring& LinkPath);
