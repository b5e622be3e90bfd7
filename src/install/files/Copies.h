// Copies of single files and of folder trees from the medium into a folder held as a TTargetFolder (the
// suite's folder for the run, any folder for everyone else): each file is written beside its destination
// under a name of its own and takes its name only when whole; for the run, what it replaces is kept for the
// undo, and what it adds is flushed beside the next copies and hashed for the record as it is written.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class TTargetFolder;

// How one file is copied.
struct TCopyHow {
    bool Remember = true;        // its hash kept in the folder's Hashes() for the record
    bool FlushNow = false;       // on the disk before the copy returns even where the folder delays flushes
    DWORD Attributes = 0;        // the read-only, hidden and system attributes the copy carries
    std::string* Hash = nullptr; // receives the content hash of what was written
};

// Copies `Source` to `Relative` below `Target`. A file that is there already as the medium has it is left
// alone: nothing is written, flushed or kept. Otherwise the content is written beside it and replaces it only
// once on the disk, its predecessor kept for the undo (Target's undo record); a file that was not there takes
// its name at once, its flush left to a second thread where Target delays flushes. Raises TError naming the
// file when Source cannot be opened or the file cannot be created or replaced (TFileInUse where another
// program may hold it; a link or a file with other names at its place is never replaced); false, with the
// system's reason in `Failure`, when reading, writing or flushing fails after both were opened: the file is
// then as before.
bool CopyInto(TTargetFolder& Target, const std::wstring& Source, const std::wstring& Relative,
              DWORD* Failure = nullptr, const TCopyHow& How = {});

// CopyInto for a file anywhere, outside a run: Dest's folder is held for the copy, which is on the disk when
// it returns. The errors name Source or Dest.
bool CopyFileStream(const std::wstring& Source, const std::wstring& Dest, DWORD* Failure = nullptr,
                    std::string* Hash = nullptr);

// Whether the file at `Relative` below `Target` holds what `Source` holds, compared piece by piece.
bool SameContentAs(TTargetFolder& Target, const std::wstring& Source, const std::wstring& Relative);

// Decides about a copy of the file `Relative` that failed with `Code`, which may mean that another program
// holds it: true to try the same file again; false to go on as with any failed copy. May throw to stop.
using TInUseRetry = std::function<bool(const std::wstring& Relative, DWORD Code)>;

// A file a tree's copy could not bring over: the destination, and why in the system's words.
struct TCopyFailure {
    std::wstring Path;
    std::wstring Reason; // why, as it reads after the file's name and a colon
    std::wstring
        Detail; // the whole account of the failure (which call, which file) for the run log; may be empty
};

// Copies the medium's tree Source into `Relative` below `Target` (made with its missing levels), each file as
// CopyInto does, with its read-only, hidden and system attributes; hidden and system folders stay behind.
// Links anyone could have made in Source are passed over (named to Target.OnPassedOver). A file held by
// another program (or a read-only one, which Windows refuses alike) goes to InUse first. Returns the files
// that did not arrive; the others are copied all the same.
std::vector<TCopyFailure> CopyDirTree(TTargetFolder& Target, const std::wstring& Source,
                                      const std::wstring& Relative, const TInUseRetry& InUse = {});

// Copies the folder Source onto Dest through the shell; true when the shell reported success. With Quiet the
// shell shows nothing (no progress, no question before replacing a file, no error box).
bool ShellCopyDir(const std::wstring& Source, const std::wstring& Dest, HWND Owner, bool Quiet = false);
