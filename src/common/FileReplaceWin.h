// Replacing a file so that a failure at any point leaves either the old file or the complete new one: the
// content goes to a temporary file beside it, and only a complete, flushed copy takes the file's place.
#pragma once

#include <windows.h>

#include <string>

#include "common/HandlesWin.h"

class TFileReplacement {
public:
    // Refuses a destination that cannot be replaced (read-only, or held open without leave to delete it) and
    // creates a temporary file of a random name beside it. What a run killed half-way left beside a file of
    // the suite's is removed by the next run, which alone works in the folder then (RunTransaction.h).
    // Errors are TError "<failure> \"<dest>\": <the system's reason>", a TFileInUse where another program
    // may hold the destination.
    explicit TFileReplacement(std::wstring dest, const wchar_t* failure = L"Не удалось создать файл");
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;
    // The temporary file goes unless it was committed.
    ~TFileReplacement();

    // Where the new content is written.
    HANDLE Handle() const noexcept { return FFile.Get(); }
    const std::wstring& Dest() const noexcept { return FDest; }
    const std::wstring& TempPath() const noexcept { return FTemp; }

    // Whether a destination was there when the replacement began.
    bool Replaces() const noexcept { return FReplaces; }

    // Closes the temporary file and moves it over the destination, written through. The caller brings the
    // content to the disk first. Throws like the constructor; the destination is then as it was.
    void Commit();

    // For a destination that was not there: gives the temporary file the destination's name at once and
    // hands its handle, still open, to `file`, through which the content is brought to the disk later. A
    // file that was not there loses nothing if a power cut comes first, and a second run copies it again.
    // False, with nothing changed, when the destination has appeared meanwhile: the caller then flushes and
    // commits. Throws like Commit.
    bool PlaceNew(TUniqueFile& file);

private:
    std::wstring FDest;
    std::wstring FTemp;
    const wchar_t* FFailure;
    TUniqueFile FFile;
    bool FReplaces = false;
    bool FCommitted = false;
};

// Whether a failure with `code` may mean that another program holds the file: a sharing or lock violation,
// a file mapped by a running program, or a refused access (a running program's own file refuses to be
// replaced so; only the programs that hold it tell that case from a file we may not write).
bool MayBeInUse(DWORD code) noexcept;

// The temporary name of a replacement of `dest` with the random `id`.
std::wstring ReplacementTempPath(const std::wstring& dest, const std::wstring& id);
