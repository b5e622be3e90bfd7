// The suite's folder as the installation run and the removal write into it: the one way every write, rename,
// attribute or list change and deletion below the folder goes, and the home of what the run keeps of its
// writes (the undo's record, the new files' flushes on a second thread, the copies' hashes).
//
// An elevated run works in a folder where every user may write "DTAfb\" and "Settings\" (links, hard links,
// folders swapped at any moment included), so nothing below the folder is ever looked up by a path after a
// check by a path: every folder written into is opened level by level, each relative to the handle of the one
// above, none followed where it is a link ("DTAfb" alone may be one an administrator made, TrustedLinkFault),
// each checked on its handle to be a folder where its name says, and held sharing reading alone while the run
// works there, so that no one renames it, deletes it, or renames anything into it meanwhile. Files are opened
// relative to those handles, made new under random names, renamed within their folder through their own
// handles; a file written through, renamed or given a list has one name only. After every pause (a held
// file's box, a question) the held folders are checked again on their handles.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "install/files/DelayedFlushes.h"
#include "install/files/FileState.h"
#include "install/files/HeldFolders.h"

class IInstallHost;
struct TAccessList;

// What a write below the folder leaves for the run's undo. Outside a run nothing is kept.
class IUndoRecord {
public:
    virtual ~IUndoRecord() = default;
    // `Relative` is about to be replaced: the name (relative) its predecessor is kept under, written down for
    // the undo before it is renamed; empty where nothing is kept (the run's own file already: its first
    // predecessor stays).
    virtual std::wstring Keeping(const std::wstring& Relative) = 0;
    // The predecessor kept by the last Keeping of `Relative` has its name back, or never lost it.
    virtual void NotKept(const std::wstring& Relative) = 0;
    // The run made the file or folder.
    virtual void Added(const std::wstring& Relative, bool Folder) = 0;
};

// Why the gateway refuses a file: a link in its place, or a file with other names (a hard link) that is to be
// written through, renamed or given a list.
inline constexpr DWORD LinkInPlace = ERROR_CANT_RESOLVE_FILENAME;
inline constexpr DWORD OtherNames = ERROR_TOO_MANY_LINKS;
// The reason in words, to follow a file's name and a colon.
std::wstring TargetErrorText(DWORD Code);

class TTargetFolder {
public:
    // Holds the existing folder `Path` (opened without following a link: TForeignLink where it is one),
    // with `Access` beyond reading (the take-over's rights to change its list and owner). TSystemError where
    // it cannot be opened.
    explicit TTargetFolder(const std::wstring& Path, DWORD Access = 0);
    TTargetFolder(const TTargetFolder&) = delete;
    TTargetFolder& operator=(const TTargetFolder&) = delete;
    ~TTargetFolder();

    // Ending in "\".
    const std::wstring& Path() const noexcept { return FPath; }
    std::wstring Full(std::wstring_view Relative) const { return FPath + std::wstring(Relative); }
    HANDLE Root() const noexcept;

    // The held folder `Relative` ("" for the folder itself, "udf", "backup\R010321\Files"). Null where a
    // level is missing. Throws TForeignLink (a link, or a level found elsewhere than its name says),
    // TFileInUse (a program holds it for writing), TSystemError.
    HANDLE FolderIfThere(std::wstring_view Relative);
    // The same; a missing level throws TSystemError.
    HANDLE Folder(std::wstring_view Relative);
    // The same, every missing level made and told to the undo record.
    HANDLE MakeFolder(std::wstring_view Relative);
    // Makes the folder `Name` of the suite's folder with `List` from its first moment; null with the
    // system's code where it cannot (ERROR_ALREADY_EXISTS where anything has the name).
    HANDLE MakeFolderWithAccess(const std::wstring& Name, const TAccessList& List, DWORD* Error);
    // Lets go of the held folders below the suite's folder (before a program of the suite's works there: it
    // may rename files into them), or of `Relative` and what lies below it; they are taken again, and checked
    // again, when next used.
    void Release(std::wstring_view Relative = {});
    // Whether every held folder is still where its name says; TForeignLink where one is not (swapped for a
    // link or another folder meanwhile). Such a folder is lost for good: nothing below it is opened, written
    // or removed any more (what the run left there stays for the next run's recovery), and everything else
    // goes on through the handles the run holds.
    void Recheck();

    // How a file is opened: to be read (a link refused); to be removed, when it must also lie where its name
    // says (Wine follows a Unix link without saying so: only where it ends up tells); or to be written
    // through, renamed or given a list, when it must also have one name only.
    enum class TUse { Read, Remove, Change };
    // An existing file (no folder, no link) below the folder; invalid with the system's code (LinkInPlace,
    // OtherNames, ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND...) in `Error`. A folder on the way that is a
    // link throws TForeignLink.
    TUniqueFile Open(std::wstring_view Relative, DWORD Access, DWORD Share, TUse Use, DWORD* Error = nullptr,
                     TObjectInfo* Info = nullptr);
    // Whether a plain file, or a folder, is there (the folder not held for it).
    bool IsFile(std::wstring_view Relative);
    bool IsFolder(std::wstring_view Relative);
    // A file made new under `Relative` (its folder made where missing); invalid with the code where the name
    // is taken or it cannot be made. Not told to the undo record.
    TUniqueFile CreateNew(std::wstring_view Relative, DWORD Access, DWORD* Error = nullptr);
    // A file made new beside `Relative` under a name no one can guess ("<name>.~tessaro-<16 hex>.tmp"),
    // shared with everyone; its relative name in `Temporary`. Throws TSystemError naming `Relative`.
    TUniqueFile CreateBeside(std::wstring_view Relative, std::wstring& Temporary);
    // Gives the open `File`, which lies in the folder of `NewRelative`, that name (over a file of that name
    // with `Replace`), or a second name; 0 or the system's code.
    DWORD Rename(HANDLE File, std::wstring_view NewRelative, bool Replace);
    DWORD AlsoName(HANDLE File, std::wstring_view NewRelative);
    // Removes a file, its read-only attribute cleared first; a link goes as the link; a read-only file with
    // other names stays (OtherNames). 0 also where nothing is there.
    DWORD Remove(std::wstring_view Relative);
    // Removes a folder when it is empty (a link is left alone), letting go of it first. 0 or the code.
    DWORD RemoveFolder(std::wstring_view Relative);
    // Moves the file or folder `Relative` aside, beside itself under a new name ("<name>.~tessaro-<8 hex>"),
    // a link as the link, letting go of it first; the new relative name, or empty with the code.
    std::wstring MoveAside(std::wstring_view Relative, DWORD* Error = nullptr);
    // Sets or clears the read-only attribute of a file, every other attribute unchanged; 0 or the code.
    DWORD SetReadOnly(std::wstring_view Relative, bool ReadOnly);
    // The whole file; NotFound where it or its folder is missing.
    TFileBytes Read(std::wstring_view Relative, TUse Use = TUse::Read);
    // Replaces the file's content safely: a file beside it, on the disk, then renamed over it, the rename
    // brought to the disk too. The handle of the new file, still open for writing. Throws TError naming it.
    TUniqueFile Replace(std::wstring_view Relative, std::string_view Bytes);
    // Writes the file anew in its place, keeping its list (a file the users may write); TError naming it.
    void Rewrite(std::wstring_view Relative, std::string_view Bytes);

    // The entries of the folder `Relative` (none where it is missing).
    std::vector<TFolderEntry> Entries(std::wstring_view Relative);
    // Every file below `Relative` with its path relative to the suite's folder; hidden and system folders
    // left out, and links (each named to OnPassedOver) not followed. `Into` says whether a folder
    // (relative) is walked at all.
    using TVisit = std::function<void(const std::wstring& Relative, const TFolderEntry& Found)>;
    void WalkFiles(std::wstring_view Relative, const TVisit& Visit,
                   const std::function<bool(const std::wstring&)>& Into = {});

    // After a failure with `Code` on the file `Path` (full): whether to try it again (RetryInUse), the
    // folders checked again after the pause.
    bool RetryInUse(IInstallHost& Host, const std::wstring& Path, DWORD Code);

    // The run's attachments. Without SetUndo nothing is kept; without DelayFlushes every new file is on the
    // disk before its copy returns.
    void SetUndo(IUndoRecord* Undo) noexcept { FUndo = Undo ? Undo : &FNoUndo; }
    IUndoRecord& Undo() noexcept { return *FUndo; }
    void DelayFlushes(bool Delay) noexcept { FDelay = Delay; }
    bool FlushesDelayed() const noexcept { return FDelay; }
    TDelayedFlushes& Flushes() noexcept { return FFlushes; }
    // Waits for the delayed flushes; throws TError naming every file whose content did not reach the disk,
    // removed by then: the run must not count as installed.
    void FinishFlushes();
    TKnownHashes& Hashes() noexcept { return FHashes; }
    // A link on the medium or in the folder that a copy or a walk passed over; the run's record names it.
    std::function<void(const std::wstring& Link)> OnPassedOver;
    void PassedOver(const std::wstring& Link) const {
        if (OnPassedOver)
            OnPassedOver(Link);
    }

private:
    struct THeld {
        TUniqueFile Handle;
        std::wstring Relative; // as first asked for
        std::wstring Final;    // where it is, as the system named it when it was taken
        TObjectInfo Info;
        TUniqueFile Link; // "DTAfb" as the trusted link itself, held while its destination is
        TObjectInfo LinkInfo;
    };
    class TNoUndo : public IUndoRecord {
    public:
        std::wstring Keeping(const std::wstring&) override { return {}; }
        void NotKept(const std::wstring&) override {}
        void Added(const std::wstring&, bool) override {}
    };

    const THeld* Held(std::wstring_view Relative, bool Make);
    THeld OpenLevel(const THeld& Parent, const std::wstring& Relative, const std::wstring& Name, bool Make,
                    DWORD Share, bool& Missing);
    THeld ThroughTrustedLink(const THeld& Parent, const std::wstring& Relative, TUniqueFile Link);
    void CheckPlace(const std::wstring& Final, const std::wstring& Expected,
                    const std::wstring& Relative) const;
    void Walk(const THeld& Folder, const std::wstring& Relative, std::size_t Depth, const TVisit& Visit,
              const std::function<bool(const std::wstring&)>& Into);

    std::wstring FPath;
    std::map<std::wstring, THeld> FHeld; // by relative path, its letters folded; "" the folder itself
    std::vector<std::wstring> FLost;     // folders found swapped, as FHeld's keys
    TNoUndo FNoUndo;
    IUndoRecord* FUndo = &FNoUndo;
    bool FDelay = false;
    TDelayedFlushes FFlushes;
    TKnownHashes FHashes;
};

// Runs `Operation` until it gets through, asking the host each time a file turns out to be held, and
// checking the held folders again after each pause.
template <typename F>
decltype(auto) RetryWhileInUse(TTargetFolder& Target, IInstallHost& Host, F&& Operation) {
    for (;;) {
        try {
            return Operation();
        } catch (const TFileInUse& inUse) {
            if (!Target.RetryInUse(Host, inUse.Path(), static_cast<DWORD>(inUse.Code())))
                throw TError(inUse.Message());
        }
    }
}
