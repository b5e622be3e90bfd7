// Links (junctions, symbolic links) in and above the suite's folder as the system reports them, and the guard
// that keeps the run from writing through a link anyone could have made. The decisions are LinkPolicy's.
#pragma once

#include <windows.h>

#include <string>

#include "common/Error.h"
#include "install/trust/LinkPolicy.h"

// The owner of a directory entry itself (a link's own, not its destination's) as a SID string ("S-1-5-18");
// empty when it cannot be read.
std::wstring OwnerOfEntry(const std::wstring& Path);
// Who owns an entry, as the link checks ask it; tests stand in for it.
using TOwnerLookup = std::wstring (*)(const std::wstring& Path);
TOwnerLookup& LinkOwnerLookup() noexcept;

// The kind of the entry `Path` (no final "\") without following it; NotALink for one that does not exist.
TLinkKind LinkKindOf(const std::wstring& Path);
// The same from what a folder's search found of the entry at `Path`.
TLinkKind LinkKindOf(const std::wstring& Path, const WIN32_FIND_DATAW& Found);

// Where an open file or folder is in the end, in plain form ("C:\..."); empty when the system cannot say.
std::wstring FinalPathOf(HANDLE File);
// The same for a path, every link on the way followed; empty when it cannot be opened.
std::wstring FinalPathOfPath(const std::wstring& Path);

// A folder the run was to write into, or the suite's folder itself, is a link that anyone could have made,
// or was swapped for something else while the run worked in it.
class TForeignLink : public TError {
public:
    TForeignLink(std::wstring message, std::wstring link, std::wstring line = {})
        : TError(std::move(message)), FLink(std::move(link)), FLine(std::move(line)) {}
    const std::wstring& Link() const noexcept { return FLink; }
    // The run's line for it.
    std::wstring Line() const;

private:
    std::wstring FLink;
    std::wstring FLine;
};

// "Папка «<link>» — ссылка на «<where it leads>», ..." for the box that stops a run.
std::wstring ForeignLinkText(const std::wstring& Link);
// The same for the suite's folder, which the user chose: another one is to be chosen.
std::wstring ForeignTargetText(const std::wstring& Link);
// The same for a removal, which removes nothing through it.
std::wstring ForeignRemovalText(const std::wstring& Link);
// The run's line for such a link: short enough for the list, the box says the rest.
std::wstring ForeignLinkLine(const std::wstring& Link);

// The run's record of a link a walk or a copy passed over.
std::wstring PassedOverLinkText(const std::wstring& Link);

// The first level of the suite's folder's own path (below its drive) that is a foreign link; empty when there
// is none. Before anything is written into a folder any user may have prepared.
std::wstring ForeignLevelOfTarget(const std::wstring& Target);

// A folder of the suite's found elsewhere than its name says after a pause (swapped for a link or another
// folder meanwhile): the box's text and the list's line.
std::wstring SwappedFolderText(const std::wstring& Folder);
std::wstring SwappedFolderLine(const std::wstring& Folder);
