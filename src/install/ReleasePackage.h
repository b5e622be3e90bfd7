// The release packages: copied from the medium with the updater's files, the newest one's script run, and
// the installed level recorded in "ReleaseInfo".
#pragma once

#include <string>

// Source and Target end in a backslash; TrimmedPath is the target folder as the path box gives it.
// Raises TError when a part fails.
void InstallReleasePackage(const std::wstring& Source, const std::wstring& Target,
                           const std::wstring& TrimmedPath);

// Sets "/ROOT/Level" of Folder + "ReleaseInfo" to Level; raises TError on failure.
void WriteReleaseLevel(const std::wstring& Folder, const std::wstring& Level);
