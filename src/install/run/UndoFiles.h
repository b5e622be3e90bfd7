// The file operations of a run's commit, its undo and the recovery of a killed run, in one place, all through
// the suite's folder's gateway (TargetFolder.h): a kept file given its name back, two names told apart from
// one file with two names, and the clinic's database and the medium's copy of it changing places at the
// commit and back in an undo. At every moment "DTAfb\T12.FDB" holds a whole database: the clinic's until the
// commit, the medium's after it; and no undo ever puts a database over one the suite has written to since.
// Paths are relative to the suite's folder.
#pragma once

#include <windows.h>

#include <string>

#include "common/LocalTime.h"
#include "install/run/InstallHost.h"
#include "install/run/RunJournal.h"

class TTargetFolder;

// Gives a kept file its name back, over whatever the run put there. False with the system's code.
bool PutBack(TTargetFolder& Target, const std::wstring& Kept, const std::wstring& Dest, DWORD& Code);
// Whether both names lead to one file (a second name made with AlsoName).
bool SameFile(TTargetFolder& Target, const std::wstring& A, const std::wstring& B);

// The commit's part of the database: the clinic's database at `Dest`, where there is one, gets the name
// `Kept` as well (a second name: the file itself is not touched), then the medium's copy at `Copy` takes
// `Dest`'s name in one rename brought to the disk; where the disk keeps no second names, the clinic's
// database is renamed to `Kept` first. A database the server holds is named to the host, which retries or
// stops (TCancelled, TFileInUse); on any failure the clinic's database is at `Dest` as before and `Kept` is
// gone. A database with other names (a hard link anyone could have made in "DTAfb") is not renamed.
void SwapInDatabase(IInstallHost& Host, TTargetFolder& Target, const std::wstring& Dest,
                    const std::wstring& Copy, const std::wstring& Kept);

// What an undo did with the run's database step.
struct TDatabaseUndo {
    enum class TOutcome {
        Untouched,   // the clinic's database never left its name: at most the run's copy was removed
        Restored,    // the clinic's database has its name back, over the run's untouched copy
        BothKept,    // the suite had written to the database at the name: kept under `Changed`, the clinic's
                     // back at the name
        KeptInPlace, // a first installation's database the suite has written to stays at the name
        Stayed,      // something could not be moved (a program holds it): `Code`
    };
    TOutcome Outcome = TOutcome::Untouched;
    std::wstring Dest;    // "DTAfb\T12.FDB" in the target
    std::wstring Kept;    // the clinic's dated name, where it was kept
    std::wstring Changed; // BothKept: where the database the suite wrote to went
    DWORD Code = 0;
    bool CopyLeft = false; // the run's copy could not be removed: the next run's recovery removes it
};
// Undoes the database step of run `Run` as its journal has it: the run's copy removed, the clinic's database
// given its name back when the commit had swapped them. A database at the name that is no longer the run's
// copy (another size or hash, or a copy not known) is never overwritten: it gets a new dated name of `Now`
// beside the restored one (or stays, on a first installation). The outcome's paths are full.
TDatabaseUndo UndoDatabase(IProgress& Host, TTargetFolder& Target, const std::wstring& Run,
                           const TJournalDatabase& Database, const TLocalTime& Now);
// The lines of an undo of the database (none for Untouched), and whether it is worth a box.
std::wstring DatabaseUndoText(const TDatabaseUndo& Undo);

// The first dated name of the database (`Dest`, relative) at `Now` that is free in its folder.
std::wstring FreeDatedName(TTargetFolder& Target, const std::wstring& Dest, const TLocalTime& Now);
