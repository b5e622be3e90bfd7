// Folders: making the target's folders, the temporary folder, random names.
// Stateless; paths are full wide paths.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Creates the folder Path when it does not exist (one level only); failure is silent.
void EnsureDir(const std::wstring& Path);

// Creates the folder Path with every missing parent; a drive or share root is taken as there. Returns 0, or
// the system's error code of the level that could not be made (its path in FailedLevel). Made receives the
// levels made, shallowest first.
DWORD ForceDirectories(const std::wstring& Path, std::wstring* FailedLevel = nullptr,
                       std::vector<std::wstring>* Made = nullptr);

// The user's temporary folder, with its final backslash; empty when the system names none that fits.
std::wstring TempFolder();

// Removes the folder when it is empty, unless it is a link: removing a link to a folder would remove the
// link itself under Windows, and under Wine may reach what it leads to.
void RemoveFolderUnlessLink(const std::wstring& Folder);

// `Digits` random hex digits from the system's generator, for names no one can guess; empty when it fails.
std::wstring RandomHex(std::size_t Digits);
