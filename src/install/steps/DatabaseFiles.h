// The database and its server's files: where each lies on the medium, where it goes in the target folder,
// which failures end the deployment, and the name under which an existing database is kept.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "common/LocalTime.h"

struct TDeployFile {
    std::wstring Name;   // as the progress line shows it
    std::wstring Source; // relative to the medium's folder
    std::wstring Dest;   // relative to the target folder
};

struct TDeployGroup {
    std::wstring Folder; // target subfolder made first when missing; empty for none
    std::vector<TDeployFile> Files;
    bool FailureStops = true; // false: a copy that fails is marked and the next file follows
};

// The database file itself, "DTAfb\T12.FDB" on both sides.
TDeployFile DatabaseFile();

// The folder of the database in the target folder, without a trailing backslash.
inline constexpr wchar_t DatabaseFolder[] = L"DTAfb";

// The server's files for the chosen Windows (0: "Windows 7, Windows 8", any other: "Windows XP"), its
// international-character files, its function libraries and the suite's own ones, in copying order.
std::vector<TDeployGroup> ServerFileGroups(int WindowsIndex);

// "Копирование файла <name>....".
std::wstring CopyStepText(const std::wstring& Name);

// The name an existing database is renamed to before the medium's copy takes its place:
// "T12.FDB.YYYYMMDD-HHMMSS.bak"; Attempt n > 0 (the name was taken) gives "...-HHMMSS-<n+1>.bak".
std::wstring BackupFileName(const std::wstring& FileName, const TLocalTime& Time, int Attempt = 0);

// The local time that names the copy of an existing database; tests fix it.
using TDeployClock = TLocalTime (*)();
TDeployClock& DeployClock() noexcept;

// Whether `Name` is a name BackupFileName makes of `FileName` (any time, any attempt).
bool IsDatedBackupName(std::wstring_view Name, std::wstring_view FileName);
