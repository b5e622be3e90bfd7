// The record of an installation, kept in the target: every file the runs put there with its size and a hash
// of its content, and the folders that hold the clinic's data. The uninstaller removes a recorded file only
// when it is unchanged, and never touches a data folder. Portable: the text form is tested natively.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct TRecordedFile {
    std::wstring Path; // relative to the target, "\" between the parts
    std::uint64_t Size = 0;
    std::string Hash; // of the content, in hex
};

struct TInstallRecord {
    std::vector<std::wstring> DataFolders; // relative to the target, no trailing "\"
    std::vector<TRecordedFile> Files;
};

// Where the record lies in the target, with the uninstaller beside it: the folder, and each file's own name.
inline constexpr wchar_t UninstallFolder[] = L"Uninstall";
inline constexpr wchar_t InstallRecordFile[] = L"installed.txt";
inline constexpr wchar_t UninstallerFile[] = L"Setup.exe";
inline constexpr wchar_t InstallRecordName[] = L"Uninstall\\installed.txt";
inline constexpr wchar_t UninstallerName[] = L"Uninstall\\Setup.exe";

// The clinic's folders: the database with every copy of it, and the settings. The uninstaller keeps them
// whatever a record says: a record is read as hostile (a run without an administrator's rights leaves it in a
// folder its user may write).
std::vector<std::wstring> ClinicDataFolders();

// UTF-8 text: a heading line, then "data<TAB>folder" and "file<TAB>size<TAB>hash<TAB>path" lines.
std::string FormatInstallRecord(const TInstallRecord& record);
// The record a text holds; a line that is not one of its forms is passed over, so that a damaged record
// loses only what it lost. A path that is not IsRecordablePath is refused with its line, and so is a file in
// a clinic data folder or the Uninstall folder (NeverRecorded): the uninstaller must never reach outside the
// folder it removes nor into the clinic's data, however the record was edited.
TInstallRecord ParseInstallRecord(std::string_view text);

// Adds the files a run put there, replacing the entries of the same path (letter case aside), and the data
// folders not listed yet.
void MergeInstallRecord(TInstallRecord& record, const std::vector<TRecordedFile>& files,
                        const std::vector<std::wstring>& dataFolders);

// Whether `path` (relative) lies in a clinic data folder (ClinicDataFolders, whatever the record lists) or in
// one of the record's own data folders, or is one. Names compare as the file system tells them apart: letter
// case aside, "/" as "\", a name's final dots and blanks dropped. A path with a ".." part, or a part of dots
// and blanks that the system may read as one, counts as inside: where it leads is not certain.
bool InDataFolder(const TInstallRecord& record, std::wstring_view path);

// Whether the run leaves `path` (relative) out of the record: it lies in a clinic data folder or in the
// Uninstall folder, or is one, compared as InDataFolder compares.
bool NeverRecorded(std::wstring_view path);

// Whether a relative path stays inside the folder it is relative to: not rooted, no drive or ":", no empty
// part and no part of dots and blanks alone (".", "..", and "...", ". " which the system may read as them).
bool IsContainedPath(std::wstring_view path);

// Whether a relative path is one the record may hold: IsContainedPath, "\" alone between the parts, and
// every part a name the system takes as it is written. Refused: a part ending in a dot or a blank (the system
// drops them and reaches another name), a device's name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9,
// LPT0-LPT9, COM and LPT with a superscript digit; also with an extension or blanks after it), a short
// name's "NAME~1" form (the run records long names), control characters and <>"|?*.
bool IsRecordablePath(std::wstring_view path);
