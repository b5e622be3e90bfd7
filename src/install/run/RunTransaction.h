// An installation run is a transaction up to its commit, which comes when every file it copied is on the
// disk, before the package's script starts: every file the run replaces keeps its predecessor beside it,
// renamed (which costs neither space nor time) and listed in the journal before it is renamed, every file and
// folder it adds is listed, the settings keys it writes are journaled with what they held, and the medium's
// database waits under a name of the run's until the commit gives it the database's name. A run that stops
// before its commit puts the suite back exactly as it was: only the suite's files and the run's own keys go
// back; the clinic's data and whatever the user or the suite's programs wrote meanwhile stay as they are, and
// nothing the run did not add is removed. Everything goes through the suite's folder's gateway
// (TargetFolder.h), whose undo record the transaction is.
// A run killed before its commit leaves a journal (see RunJournal.h), from which the next run puts back
// exactly the predecessors it lists before anything else. One run at a time works in a target (RunLock.h):
// whatever a killed run left there, the next finds as it was left.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/files/TargetFolder.h"
#include "install/run/InstallHost.h"
#include "install/run/RunJournal.h"

// What a rollback achieved, as its undo line says it.
enum class TUndo {
    Restored,      // everything is as it was before the run, the files it replaced back under their names
    CopiesRemoved, // a first installation that replaced nothing: its copies and folders are gone
    NotWhole,      // something stayed: a predecessor under its kept name, a file the run added, or its keys
};

class TRunTransaction : public IUndoRecord {
public:
    // Becomes the undo record of `Target` for as long as it lives.
    TRunTransaction(IInstallHost& Host, TTargetFolder& Target);
    TRunTransaction(const TRunTransaction&) = delete;
    TRunTransaction& operator=(const TRunTransaction&) = delete;
    ~TRunTransaction() override;

    // The journal in the target before the run writes there (the uninstaller's folder is made for it: with an
    // administrator's rights one of the administrators', see TargetAccess.h). Throws TError.
    void Begin(bool Elevated);
    bool Open() const noexcept { return FOpen; }
    const std::wstring& Run() const noexcept { return FJournal.Run; }

    // Whether the target held an installation before the run: a package copied in part then stops the run
    // before its commit rather than leave two releases side by side.
    void SetReplacesInstallation(bool Replaces) noexcept { FReplaces = Replaces; }
    bool ReplacesInstallation() const noexcept { return FReplaces; }

    // The gateway's undo record: a predecessor is listed in the journal, on the disk, before it is renamed; a
    // file the run has replaced or added already is its own (its first predecessor stays); a file of the
    // clinic's folders keeps none. What the run adds is listed for the undo.
    std::wstring Keeping(const std::wstring& Relative) override;
    void NotKept(const std::wstring& Relative) override;
    void Added(const std::wstring& Relative, bool Folder) override;

    // Where the medium's database is copied until the commit (relative), and the journal's account of it:
    // before the copy begins, and once it is on the disk with its size and content hash.
    std::wstring DatabaseCopy() const;
    void DatabaseCopyBegins();
    void DatabaseCopied(std::uint64_t Size, std::string Hash);

    // The keys about to be written into the settings file `File` (relative to the target: one of
    // RunSettingKeys' files) with what they hold now; `Added` when the run makes the file. Journaled before
    // the file is written. Throws TError.
    void ChangingSettings(const std::wstring& File, bool Added, const std::vector<TJournalSetting>& Keys);

    // Everything the run copied is on the disk: the medium's database takes the database's name and the
    // clinic's its dated one (a held database is named to the host, which retries or stops), then the
    // predecessors go. What cannot be removed (a running program's file) is listed in the journal for the
    // next run and, with an administrator's rights, removed at the next restart. A stop asked for before it
    // (RunStop.h), or a folder swapped since the run took hold of it, undoes the run instead.
    void Commit();
    // The run's end after its commit: the journal goes, unless leftovers keep it for the next run.
    void Finish() noexcept;
    // The commit has come (and Finish not yet): from then on nothing is undone.
    bool Committed() const noexcept { return FCommitted; }

    // Undoes what the run did, in reverse order: the predecessors back under their names, the settings keys
    // the run wrote back to what they held where they still hold what it wrote, the clinic's database back
    // under its name where the commit had swapped it (UndoFiles.h), the files and folders the run added
    // removed. The undo line says which of the three it was (UndoText); where something could not be put
    // back, the lines under it name each file, a box says where the predecessors stayed (under their kept
    // names), and the journal stays for the next run, as it does where anything else could not be undone
    // (keys or a copy in a folder swapped meanwhile): its recovery tries again.
    TUndo RollBack();

private:
    enum class TKind { Kept, File, Folder };
    struct TStep {
        TKind Kind;
        std::wstring Path; // relative to the target
    };
    void Save();
    // What one step's undo left: nothing, a predecessor under its kept name (in `Stayed`), or a copy the
    // run added that is still there.
    enum class TStepUndo { Done, PutBack, Stayed, NotRemoved };
    TStepUndo RollBackStep(const TStep& Step, std::vector<std::pair<std::wstring, std::wstring>>& Stayed);

    IInstallHost& FHost;
    TTargetFolder& FTarget;
    TRunJournal FJournal;
    TUniqueFile FJournalFile; // the journal as last written, open for the kept files' lines
    std::vector<TStep> FSteps;
    bool FOpen = false;
    bool FCommitted = false;
    bool FElevated = false;
    bool FReplaces = false;
};

// Before anything else of a run or a removal: a journal left by a run that never reached its commit has the
// predecessors it lists, its settings keys and the clinic's database put back (a database the suite has
// written to since is kept under a new dated name beside it, named in a line and, interactively, a box); one
// that committed has its predecessors and leftovers removed; either way the half-made copies it left go.
// Said in the run's record. False, with the files that stayed named, when something could not be put back
// (a predecessor, the database, or the settings keys): the journal then stays. With `Verified` (an elevated
// run) the journal is read only from an uninstaller's folder of the administrators' (TError otherwise).
bool RecoverInterruptedRun(IInstallHost& Host, TTargetFolder& Target, bool Verified = false);

// The undo line, after a rollback, in its three forms.
namespace UndoText {
inline constexpr wchar_t Restored[] = L"Установка прервана: прежние файлы комплекса восстановлены.";
// A first installation: nothing was there to restore, only the run's own copies to remove.
inline constexpr wchar_t CopiesRemoved[] = L"Установка прервана: скопированные файлы удалены.";
// Followed by a line for each file that stayed.
inline constexpr wchar_t NotWhole[] =
    L"Установка прервана: не всё удалось вернуть как было, файлы названы ниже.";
} // namespace UndoText
// The line of a file the run added that the rollback could not remove.
std::wstring NotRemovedLine(const std::wstring& file);
// The line of a settings file (full) whose keys the run wrote and an undo could not put back.
std::wstring SettingsNotBackLine(const std::wstring& file);
// A predecessor that could not be put back: for the box (where it stayed, beside its file), and the
// list's line.
std::wstring NotRestoredText(const std::wstring& file, const std::wstring& kept);
std::wstring NotRestoredLine(const std::wstring& file);
