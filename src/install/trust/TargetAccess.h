// The suite's folder as a run with an administrator's rights makes it the administrators' (the lists:
// AccessRules.h): the levels above it checked, the folder made with its list or taken over from whoever made
// it, the folders and files the suite's programs write given to the users; and the folders such a run reads
// from or runs from (the uninstaller's, the run logs', the private copies in the temporary folder) made with
// their lists or verified on their handles before anything in them is read.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/FileIO.h"
#include "install/run/InstallHost.h"
#include "install/trust/AccessRules.h"

class TTargetFolder;

// Makes `Folder` with every missing level above it, each with the suite's folder's list from its first
// moment. 0, or the system's code with the level that could not be made in `FailedLevel`; `Made` receives the
// levels made, shallowest first.
DWORD MakeAdminFolders(const std::wstring& Folder, std::wstring* FailedLevel = nullptr,
                       std::vector<std::wstring>* Made = nullptr);

// Why an elevated run cannot protect the suite's folder `Target`: its volume keeps no access lists, or an
// ordinary user could rename or delete a level above it (or the folder itself through its parent). Empty
// when it can.
std::wstring TargetRefusal(const std::wstring& Target);
// The list's line of that refusal: short, for the reason takes a box and the log.
std::wstring TargetRefusalLine(const std::wstring& Target);

// An existing suite's folder that is not the machine's alone yet is taken over through handles that follow no
// link: the administrators made its owner, its list replaced, and every entry below made to inherit it
// ("DTAfb" and "Settings" with lists of their own), each opened relative to its folder; links are left as
// they are and those anyone could have made named in the run's record. The owners of the entries stay: a
// user's package stays a user's. Says in the record what it took over. Throws TError when a list cannot be
// replaced. `Target` holds the folder with the rights to change its list and owner (EnableOwnershipPrivileges
// first).
void TakeOverTarget(IProgress& Host, TTargetFolder& Target);

// Why a file below the suite's folder keeps the list it has: it has another name too (a hard link), which may
// lie anywhere on the disk, and a list given to one name is the file's.
inline constexpr wchar_t HardLinkedText[] = L"у файла есть и другие имена (жёсткие ссылки)";

// How deep below the suite's folder a take-over and the users' folders' lists go: deeper than the suite's own
// folders ever are, while any user may nest folders without end in "DTAfb" and "Settings", and a walk that
// followed them all would run out of stack. What lies deeper keeps its lists; the folder at the limit is
// named.
inline constexpr std::size_t MaxFolderDepth = 64;
inline constexpr wchar_t TooDeepText[] = L"папка вложена слишком глубоко: то, что в ней, не обойдено";

// Gives "DTAfb", "Settings" (and what they hold) and the files the suite's programs write their lists, so
// that the suite keeps working for every user. What fails is named in the record.
void GrantUsersTheirFiles(IProgress& Host, TTargetFolder& Target);

// A folder an elevated run reads from or runs from (the uninstaller's, the run logs'): made with the suite's
// folder's list where it is missing; an existing one that is not the machine's alone (a user's, a link, one
// others may change) is moved aside under a new name beside itself and made anew, never given the list in
// place. `Name` is one of `Parent`'s; made and moved through its gateway. Throws TError when neither can be
// done.
struct TAdminFolder {
    bool Made = false;
    std::wstring MovedAside;               // where the folder found there went (relative to the parent)
    TTrustFault Fault = TTrustFault::None; // why it went
};
TAdminFolder EnsureAdminFolder(TTargetFolder& Parent, const std::wstring& Name);
// The same for a folder given by its path (the run logs' outside the suite's folder).
TAdminFolder EnsureAdminFolder(const std::wstring& Folder);
// What became of a folder moved aside, and why, for the log; and the list's short line of it.
std::wstring FolderMovedAsideText(const std::wstring& Folder, TTrustFault Fault, const std::wstring& Aside);
std::wstring FolderMovedAsideLine(const std::wstring& Folder);

// The file `Name` of the folder `Folder` of `Parent`, read once the folder is held and found the machine's.
// NotFound where either is missing; throws TError (FolderNotTrustedText) where the folder is not the
// machine's.
TFileBytes ReadFromAdminFolder(TTargetFolder& Parent, const std::wstring& Folder, const std::wstring& Name);
std::wstring FolderNotTrustedText(const std::wstring& Folder, TTrustFault Fault);

// Why the open object is not the machine's alone; TTrustFault::None when it is.
TTrustFault AdminFault(HANDLE Object, const std::wstring& Path);

// A new folder in the temporary folder named `Prefix` and 16 random hex digits, made with the private list
// (the system, the administrators and, without an administrator's rights, this user) and refused where the
// name is taken, so that no one can have prepared it. Ends in "\"; empty, with the reason in `Why`, when it
// cannot.
std::wstring MakePrivateFolder(const std::wstring& Prefix, bool Elevated, std::wstring& Why);

// Copies what the open `Source` holds, from its start, into the new file `Dest` (refused where the name is
// taken). False with the reason in `Why`; what was written is removed.
bool CopyIntoNewFile(HANDLE Source, const std::wstring& Dest, std::wstring& Why);
// A copy of the folder `Source` (its files and visible folders, no link followed) in a new private folder
// (MakePrivateFolder), every file made new there. Ends in "\"; empty, with the reason in `Why`, when it
// cannot.
std::wstring PrivateCopyOf(const std::wstring& Source, const std::wstring& Prefix, bool Elevated,
                           std::wstring& Why);
// Removes a private folder with what it holds (a link as the link); what a program still holds goes at the
// next restart where the system lets it.
void RemovePrivateFolder(const std::wstring& Folder);
