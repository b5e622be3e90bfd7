// Copies of single files and of folder trees, the installation run's and everyone's: each file is written
// beside its destination and takes its name only when whole (see FileReplaceWin.h); the run's copies also
// hash what they write and leave the flush of new files to the run's end (see RunCopies.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class TRunCopies;

// Copies Source to Dest. Raises TError naming the file when Source cannot be opened or Dest cannot be
// created (or replaced; TFileInUse where another program may hold it); returns false when reading, writing
// or flushing fails after both were opened, with the system's reason in Failure. Dest is replaced only once
// the whole copy succeeded: on false it is exactly as before. `Hash`, where given, receives the content hash
// of what was written (ContentHash.h).
bool CopyFileStream(const std::wstring& Source, const std::wstring& Dest, DWORD* Failure = nullptr,
                    std::string* Hash = nullptr);

// CopyFileStream for the installation run, which does not wait for each copy to reach the disk: a Dest that
// was not there takes its name as soon as its content is written, and `Run` flushes it later (a Dest that is
// replaced is flushed before, as by CopyFileStream). With Remember, the content's hash, taken as it is
// written, goes into `Run` for the run's record. No folder is written into through a foreign link
// (TForeignLink).
bool CopyForRun(const std::wstring& Source, const std::wstring& Dest, TRunCopies& Run, bool Remember,
                DWORD* Failure = nullptr);

// Decides about a copy that failed with `Code`, which may mean that another program holds `File`: true to
// try the same file again; false to go on as with any failed copy. May throw to stop.
using TInUseRetry = std::function<bool(const std::wstring& File, DWORD Code)>;

// A file a tree's copy could not bring over: the destination, and why in the system's words.
struct TCopyFailure {
    std::wstring Path;
    std::wstring Reason; // why, as it reads after the file's name and a colon
    std::wstring
        Detail; // the whole account of the failure (which call, which file) for the run log; may be empty
};

// Copies the tree Source into Dest (created with its parents), replacing files of the same name, each as
// CopyFileStream does (with Run, as CopyForRun does, hashes remembered), with the file's read-only, hidden
// and system attributes. Foreign links in Source are passed over (and named to the run). A file held by
// another program (or a read-only one, which Windows refuses alike) goes to InUse first. Returns the files
// that did not arrive; the others are copied all the same.
std::vector<TCopyFailure> CopyDirTree(const std::wstring& Source, const std::wstring& Dest,
                                      const TInUseRetry& InUse = {}, TRunCopies* Run = nullptr);

// Copies the folder Source onto Dest through the shell; true when the shell reported success. With Quiet the
// shell shows nothing (no progress, no question before replacing a file, no error box).
bool ShellCopyDir(const std::wstring& Source, const std::wstring& Dest, HWND Owner, bool Quiet = false);
