// An installation run is a transaction up to its commit, which comes when every file it copied is on the
// disk, before the package's script starts: every file the run replaces keeps its predecessor beside it,
// renamed (which costs neither space nor time), and every file and folder it adds is listed, so that a run
// that stops before its commit puts the suite back exactly as it was. Only the suite's files go back: the
// clinic's data and whatever the user made stay as they are, and nothing the run did not add is removed.
// A run killed before its commit leaves a journal (see RunJournal.h), from which the next run puts the
// predecessors back before anything else.
#pragma once

#include <string>
#include <vector>

#include "install/InstallHost.h"
#include "install/RunJournal.h"

class TRunTransaction {
public:
    TRunTransaction(IInstallHost& Host, std::wstring Target);
    TRunTransaction(const TRunTransaction&) = delete;
    TRunTransaction& operator=(const TRunTransaction&) = delete;

    // The journal in the target before the run writes there (the uninstaller's folder is made for it: with an
    // administrator's rights one of the administrators', see TargetAccess.h). Throws TError.
    void Begin(bool Elevated);
    bool Open() const noexcept { return FOpen; }

    // `Dest` is about to be replaced: it is renamed beside itself, and the new file may take its name. Throws
    // TFileInUse where another program holds it, TError otherwise; the file is then as it was.
    void KeepPredecessor(const std::wstring& Dest);
    // The new file could not take `Dest`'s name after all: its predecessor has it back at once, as if it had
    // never been kept.
    void GiveBack(const std::wstring& Dest) noexcept;
    // The clinic's database is about to be kept under `Kept` (the database step renames it); it is put back
    // if the run stops, and stays kept after the commit.
    void KeepDatabase(const std::wstring& Dest, const std::wstring& Kept);
    // What the run added; a folder only where the run made it.
    void AddedFile(const std::wstring& Path);
    void AddedFolder(const std::wstring& Path);

    // Everything the run copied is on the disk: the predecessors go (the clinic's database stays kept), and
    // so does the journal. What cannot be removed is named in the run's record and left.
    void Commit();

    // Undoes what the run did, in reverse order: the predecessors and the database back under their names,
    // the files and folders the run added removed. One line says the previous files were restored; a
    // predecessor that cannot be put back stays under its kept name, is named in a line and a box, and the
    // journal stays for the next run. True when everything went back.
    bool RollBack();

private:
    enum class TKind { Kept, Database, File, Folder };
    struct TStep {
        TKind Kind;
        std::wstring Path; // relative to the target
        std::wstring Kept; // relative to the target: where the predecessor or the database was kept
    };
    void Save();
    std::wstring Relative(const std::wstring& Path) const;

    IInstallHost& FHost;
    std::wstring FTarget;
    TRunJournal FJournal;
    std::vector<TStep> FSteps;
    bool FOpen = false;
};

// Before anything else of a run: a journal left by a run that never reached its commit has its predecessors
// (and the clinic's database) put back; one that committed has its predecessors removed. Said in the run's
// record. False, with the files that stayed named, when something could not be put back: the journal then
// stays. With `Verified` (an elevated run) the journal is read only from an uninstaller's folder of the
// administrators' (TError otherwise).
bool RecoverInterruptedRun(IProgress& Host, const std::wstring& Target, bool Verified = false);

// The text of the line after a rollback.
inline constexpr wchar_t RolledBackText[] = L"Установка прервана: прежние файлы комплекса восстановлены.";
// A predecessor that could not be put back: for the box (where it stayed, beside its file), and the
// list's line.
std::wstring NotRestoredText(const std::wstring& file, const std::wstring& kept);
std::wstring NotRestoredLine(const std::wstring& file);
