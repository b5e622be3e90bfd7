// The file and process operations the installation run rests on: folders, single-file and tree copies,
// starting programs, the read-only attribute, the screen's font size. Stateless; paths are full wide paths.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Creates the folder Path when it does not exist (one level only); failure is silent.
void EnsureDir(const std::wstring& Path);

// The user's temporary folder, with its final backslash; empty when the system names none that fits.
std::wstring TempFolder();

// Creates the folder Path with every missing parent; a drive or share root is taken as there. Returns 0, or
// the system's error code of the level that could not be made (its path in FailedLevel).
DWORD ForceDirectories(const std::wstring& Path, std::wstring* FailedLevel = nullptr);

// Called after every chunk of a copy, so that the caller can keep its window responsive.
using TCopyProgress = std::function<void()>;

class TRunCopies;

// Copies Source to Dest. Raises TError naming the file when Source cannot be opened or Dest cannot be
// created (or replaced; TFileInUse where another program may hold it); returns false when reading, writing
// or flushing fails after both were opened, with the system's reason in Failure. Dest is replaced only once
// the whole copy succeeded: on false it is exactly as before.
bool CopyFileStream(const std::wstring& Source, const std::wstring& Dest, const TCopyProgress& Progress = {},
                    DWORD* Failure = nullptr);

// CopyFileStream for the installation run, which does not wait for each copy to reach the disk: a Dest that
// was not there takes its name as soon as its content is written, and `Run` flushes it meanwhile (a Dest that
// is replaced is flushed before, as by CopyFileStream). With Remember, the content's hash, taken as it is
// written, goes into `Run` for the run's record.
bool CopyForRun(const std::wstring& Source, const std::wstring& Dest, TRunCopies& Run, bool Remember,
                const TCopyProgress& Progress = {}, DWORD* Failure = nullptr);

// Decides about a copy that failed with `Code`, which may mean that another program holds `File`: true to
// try the same file again; false to go on as with any failed copy. May throw to stop.
using TInUseRetry = std::function<bool(const std::wstring& File, DWORD Code)>;

// A file a tree's copy could not bring over: the destination, and why in the system's words.
struct TCopyFailure {
    std::wstring Path;
    std::wstring Reason;
};

// Copies the tree Source into Dest (created with its parents), replacing files of the same name, each as
// CopyFileStream does (with Run, as CopyForRun does, hashes remembered, and no folder written into through
// a foreign link: TForeignLink), with the file's read-only, hidden and system attributes. Foreign links in
// Source are passed over (and named to the run). A file held by another program (or a read-only one, which Windows refuses alike)
// goes to InUse first. Returns the files that did not arrive; the others are copied all the same. Progress
// (when given) runs between the chunks and the files.
std::vector<TCopyFailure> CopyDirTree(const std::wstring& Source, const std::wstring& Dest,
                                      const TInUseRetry& InUse = {}, TRunCopies* Run = nullptr,
                                      const TCopyProgress& Progress = {});

// Calls Visit for every file below Folder (no trailing backslash) with its path relative to Folder and what
// the search found of it; hidden and system folders are left out, as CopyDirTree leaves them. A link that
// anyone could have made (see Links.h) is passed over, file or folder, and named to OnForeignLink (when
// given) with its full path: a walk never leads out of the folder it was given, nor round in a loop.
using TVisitFile = std::function<void(const std::wstring& Relative, const WIN32_FIND_DATAW& Found)>;
using TLinkReport = std::function<void(const std::wstring& Link)>;
void WalkFiles(const std::wstring& Folder, const TVisitFile& Visit, const TLinkReport& OnForeignLink = {});

// Appends Folder + name for every visible subfolder of Folder (ending in a backslash) but "WithOutAnswer" and
// foreign links.
void GetSubDirList(const std::wstring& Folder, std::vector<std::wstring>& List);

// Copies the folder Source onto Dest through the shell; true when the shell reported success. With Quiet the
// shell shows nothing (no progress, no question before replacing a file, no error box).
bool ShellCopyDir(const std::wstring& Source, const std::wstring& Dest, HWND Owner, bool Quiet = false);

// Starts FileName (enclosed in quotes) with Params in FileName's folder, waits for its end and returns its
// exit code; raises TError "не смог создать процесс: " + FileName when it cannot be started. WhileWaiting
// (when given) runs every few milliseconds until the program ends.
std::int32_t ExecAndWait(const std::wstring& FileName, const std::wstring& Params, std::uint16_t ShowCmd,
                         const TCopyProgress& WhileWaiting = {});

// Starts CommandLine as it stands; returns -1 when it cannot be started, otherwise (with Wait) the exit code,
// running WhileWaiting (when given) every few milliseconds until then.
std::int32_t ExecProgram(const std::wstring& CommandLine, std::uint16_t ShowCmd, bool Wait,
                         const TCopyProgress& WhileWaiting = {});

// Sets or clears the read-only attribute of FileName, every other attribute unchanged; silent on failure.
void SetReadOnlyAttr(const std::wstring& FileName, bool ReadOnly);

// True when the screen runs below 100 dots per inch.
bool IsSmallFonts();
