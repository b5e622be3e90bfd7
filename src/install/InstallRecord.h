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

// Where the record lies in the target, with the uninstaller beside it.
inline constexpr wchar_t UninstallFolder[] = L"Uninstall";
inline constexpr wchar_t InstallRecordName[] = L"Uninstall\\installed.txt";
inline constexpr wchar_t UninstallerName[] = L"Uninstall\\Setup.exe";

// The clinic's folders: the database with every copy of it, and the settings.
std::vector<std::wstring> ClinicDataFolders();

// UTF-8 text: a heading line, then "data<TAB>folder" and "file<TAB>size<TAB>hash<TAB>path" lines.
std::string FormatInstallRecord(const TInstallRecord& record);
// The record a text holds; a line that is not one of its forms is passed over, so that a damaged record
// loses only what it lost. Paths that climb out of the target (".." parts, drive letters, rooted paths) are
// refused: the uninstaller must never reach outside the folder it removes.
TInstallRecord ParseInstallRecord(std::string_view text);

// Adds the files a run put there, replacing the entries of the same path (letter case aside), and the data
// folders not listed yet.
void MergeInstallRecord(TInstallRecord& record, const std::vector<TRecordedFile>& files,
                        const std::vector<std::wstring>& dataFolders);

// Whether `path` (relative) lies in one of the record's data folders, or is one.
bool InDataFolder(const TInstallRecord& record, std::wstring_view path);

// Whether a relative path stays inside the folder it is relative to.
bool IsContainedPath(std::wstring_view path);
