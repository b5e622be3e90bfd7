// Folders held open while an elevated run works in them, and what lies in such a folder opened relative to
// its handle: nothing is looked up by a path again once the folder is held, no link is followed, and a held
// folder can be neither renamed, deleted nor written through by anyone else while it is held.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/FileIO.h"
#include "common/HandlesWin.h"

// Opens the folder `Path` itself (a link as the link) for `Access` and reading its entries, sharing nothing
// but reading: no one may write into it, rename or delete it while it is held, and one that someone holds for
// writing is refused (ERROR_SHARING_VIOLATION). Invalid, with the system's code in `Error`, when it cannot.
TUniqueFile HoldFolder(const std::wstring& Path, DWORD Access, DWORD* Error = nullptr);

// Opens the entry `Name` (one part of a path) of the held `Folder`, as a folder or as a file, without
// following it where it is a link, sharing `Share`. Invalid, with the system's code in `Error`, when it
// cannot. Wine follows a link all the same (a Unix symbolic link): only where the entry ends up tells.
TUniqueFile OpenInFolder(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share, bool Directory,
                         DWORD* Error = nullptr);
// The same for an entry that may be a folder or a file.
TUniqueFile OpenEntryInFolder(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share,
                              DWORD* Error = nullptr);
// The same, following the entry where it is a link: for a link already found trusted.
TUniqueFile OpenThroughLink(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share,
                            DWORD* Error = nullptr);
// Makes the entry `Name` of the held folder anew, as a folder or as a file: refused where the name is taken
// by anything at all, a link or a link that leads nowhere included, so that nothing prepared there is
// written through. `Descriptor`, where given, is the new entry's from its first moment.
TUniqueFile CreateInFolder(HANDLE Folder, const std::wstring& Name, DWORD Access, DWORD Share, bool Directory,
                           PSECURITY_DESCRIPTOR Descriptor = nullptr, DWORD* Error = nullptr);

// Gives the open `Entry`, which lies in the held `Folder`, the name `Name` in that same folder (over a file
// of that name with `Replace`); with `AlsoName` a second name instead (a hard link), the first one staying.
// Nothing is looked up by a path: the entry stays in its folder. 0 or the system's code.
DWORD RenameInFolder(HANDLE Entry, HANDLE Folder, const std::wstring& Name, bool Replace);
DWORD AlsoNameInFolder(HANDLE Entry, HANDLE Folder, const std::wstring& Name);

// What the system reports of an open file or folder: its attributes, its names' count, and which object it
// is (the volume and the file's index): two handles of one object report the same.
struct TObjectInfo {
    DWORD Attributes = 0;
    DWORD Names = 0;
    DWORD Volume = 0;
    unsigned long long Index = 0;
    bool SameObject(const TObjectInfo& other) const noexcept {
        return Volume == other.Volume && Index == other.Index;
    }
};
// False with the system's code where it cannot say.
bool InfoOf(HANDLE Object, TObjectInfo& Info, DWORD* Error = nullptr);

// The entries of a held folder ("." and ".." left out).
struct TFolderEntry {
    std::wstring Name;
    DWORD Attributes = 0;
    DWORD ReparseTag = 0; // for an entry with FILE_ATTRIBUTE_REPARSE_POINT
    unsigned long long Size = 0;
    unsigned long long WriteTime = 0; // as a FILETIME's two halves
};
// False with the system's code when the folder cannot be listed.
bool ListFolder(HANDLE Folder, std::vector<TFolderEntry>& Entries, DWORD* Error = nullptr);

// The whole content of the file `Name` of the held folder, which must be no link and no folder.
TFileBytes ReadInFolder(HANDLE Folder, const std::wstring& Name);

// The whole content of an open file, read from its start; false with the system's code.
bool ReadOpenFile(HANDLE File, std::string& Bytes, DWORD* Error = nullptr);

// Whether the open object is a link (a junction, a symbolic link or another reparse point that names a
// place).
bool IsLinkObject(HANDLE Object);
// Whether the open object is a folder.
bool IsFolderObject(HANDLE Object);

// Removes the entry `Name` of the held folder (a file, or an empty folder) through a handle opened without
// following it; a link is removed as the link. 0 or the system's code.
DWORD DeleteInFolder(HANDLE Folder, const std::wstring& Name, bool Directory);
