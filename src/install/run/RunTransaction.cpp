#include "install/run/RunTransaction.h"

#include <windows.h>

#include <algorithm>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/IniFile.h"
#include "common/StrUtils.h"
#include "install/files/Folders.h"
#include "install/record/InstallRecord.h"
#include "install/run/RunStop.h"
#include "install/run/UndoFiles.h"
#include "install/steps/DatabaseFiles.h"
#include "install/trust/Links.h"
#include "install/trust/TargetAccess.h"

namespace {

using TStayed = std::vector<std::pair<std::wstring, std::wstring>>;

// The run's id: random, so that no name of one run is another's.
std::wstring NewRunId() {
    std::wstring id = RandomHex(16);
    return id.empty() ? std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64())
                      : id;
}

// Puts back the keys the run wrote, in one settings file as it is now: a key that still holds what the run
// wrote gets what it held before (or goes, where it was not there); one the suite or the user has changed
// since stays as they left it. A file the run made goes when no key is left in it. A file with other names,
// or a link in its place, is not read, written or removed.
void UndoSettingsFile(TTargetFolder& target, const std::wstring& file, const TRunJournal& journal) {
    const TFileBytes bytes = target.Read(file, TTargetFolder::TUse::Change);
    if (bytes.Status == TReadStatus::NotFound)
        return;
    if (bytes.Status != TReadStatus::Ok)
        throw TError(bytes.Error);
    TIniFile ini = TIniFile::FromBytes(bytes.Bytes);
    bool changed = false;
    for (const TJournalSetting& setting : journal.Settings) {
        if (setting.File != file || ini.RawValue(setting.Section, setting.Key) != setting.Written)
            continue;
        if (setting.Before)
            ini.WriteString(setting.Section, setting.Key, *setting.Before);
        else
            ini.DeleteKey(setting.Section, setting.Key);
        changed = true;
    }
    const bool added = std::find(journal.AddedSettingsFiles.begin(), journal.AddedSettingsFiles.end(),
                                 file) != journal.AddedSettingsFiles.end();
    if (added && !ini.HasKeys())
        target.Remove(file);
    else if (changed)
        target.Replace(file, ini.ToBytes());
}

// The settings files whose keys could not be put back (full paths): the journal then stays for the next run.
std::vector<std::wstring> UndoSettings(IProgress& host, TTargetFolder& target, const TRunJournal& journal) {
    std::vector<std::wstring> files;
    for (const TJournalSetting& setting : journal.Settings)
        if (std::find(files.begin(), files.end(), setting.File) == files.end())
            files.push_back(setting.File);
    std::vector<std::wstring> notBack;
    for (const std::wstring& file : files) {
        try {
            UndoSettingsFile(target, file, journal);
        } catch (const TError& error) {
            host.Trace(L"Настройки в " + Quoted(target.Full(file)) + L" не возвращены: " + error.Message());
            notBack.push_back(target.Full(file));
        }
    }
    return notBack;
}

// The undo of the database step: its line, and a box where the suite's database was kept beside the
// clinic's, for whoever is there to read it. What stayed is named in a line; false also where the run's copy
// could not be removed: the journal then stays for the next run. `putBack` is set where the clinic's database
// went back under its name.
bool UndoDatabaseStep(IInstallHost& host, TTargetFolder& target, const TRunJournal& journal, TStayed& stayed,
                      bool& putBack) {
    if (!journal.Database)
        return true;
    TDatabaseUndo undo;
    try {
        undo = UndoDatabase(host, target, journal.Run, *journal.Database, DeployClock()());
    } catch (const TError& error) {
        // The database's folder swapped meanwhile: nothing there is touched, and the journal stays. Where the
        // commit had given the clinic's database its dated name, that database is named as not put back.
        host.Trace(error.Message());
        if (journal.Database->Kept.empty())
            return false;
        undo.Outcome = TDatabaseUndo::TOutcome::Stayed;
        undo.Dest = target.Full(DatabaseFile().Dest);
        undo.Kept = target.Full(journal.Database->Kept);
    }
    if (undo.Outcome == TDatabaseUndo::TOutcome::Restored ||
        undo.Outcome == TDatabaseUndo::TOutcome::BothKept)
        putBack = true;
    if (undo.Outcome == TDatabaseUndo::TOutcome::Stayed) {
        host.Trace(L"Прежняя база данных не возвращена: " + Quoted(undo.Dest) + L": " +
                   TargetErrorText(undo.Code));
        stayed.emplace_back(undo.Dest, undo.Kept);
        return false;
    }
    const std::wstring text = DatabaseUndoText(undo);
    if (!text.empty())
        host.AddLine(text);
    if (undo.Outcome == TDatabaseUndo::TOutcome::BothKept && !host.Unattended())
        host.ShowError(text);
    return !undo.CopyLeft;
}

// The predecessors a commit could not remove (relative kept names), the journal's lines for the next run;
// with an administrator's rights the system removes them at the next restart too (they lie where only
// administrators write, outside the clinic's folders, so the name the restart goes by cannot be redirected).
void RemoveOrList(IProgress& host, TTargetFolder& target, const std::vector<std::wstring>& kept,
                  bool elevated, std::vector<std::wstring>& leftovers) {
    for (const std::wstring& relative : kept) {
        DWORD code = 0;
        try {
            code = target.Remove(relative);
        } catch (const TError&) {
            code = ERROR_ACCESS_DENIED;
        }
        if (code == 0)
            continue;
        const std::wstring path = target.Full(relative);
        host.Trace(L"Прежний файл " + Quoted(path) + L" не удалён: " + TargetErrorText(code));
        leftovers.push_back(relative);
        if (elevated)
            ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

// The kept names of the files a run lists, or, for an earlier wizard's journal that lists none, of the files
// found kept under that run's names; and the half-made copies any run left, which no run works on now.
struct TLeftBehind {
    std::vector<std::wstring> Kept; // the originals' relative paths
    std::vector<std::wstring> Temporaries;
};
TLeftBehind LeftBehind(TTargetFolder& target, const TRunJournal& journal) {
    TLeftBehind left;
    if (journal.KeptListed)
        left.Kept = journal.Kept;
    target.WalkFiles(L"", [&](const std::wstring& relative, const TFolderEntry& found) {
        const std::wstring original =
            journal.KeptListed ? std::wstring() : OriginalOfKept(relative, journal.Run);
        if (!original.empty())
            left.Kept.push_back(original);
        else if (IsRunTemporaryName(found.Name) && !(!journal.Committed && journal.Database &&
                                                     SameText(relative, DatabaseCopyName(journal.Run))))
            left.Temporaries.push_back(relative);
    });
    return left;
}

void NameWhatStayed(IInstallHost& host, const TStayed& stayed, bool box) {
    std::wstring text;
    for (const auto& [file, kept] : stayed) {
        host.AddLine(NotRestoredLine(file));
        text += (text.empty() ? L"" : L"\r\n") + NotRestoredText(file, kept);
    }
    if (!box)
        host.Trace(text);
    else if (!text.empty())
        host.ShowError(text);
}

} // namespace

std::wstring NotRestoredText(const std::wstring& file, const std::wstring& kept) {
    return L"Прежний файл " + Quoted(file) + L" не удалось вернуть на место: он сохранён рядом как " +
           Quoted(ExtractFileName(kept)) + L".";
}

std::wstring NotRestoredLine(const std::wstring& file) {
    return L"Прежний файл " + Quoted(file) + L" не возвращён на место.";
}

std::wstring SettingsNotBackLine(const std::wstring& file) {
    return L"Настройки в " + Quoted(file) + L" не возвращены.";
}

std::wstring NotRemovedLine(const std::wstring& file) {
    return L"Скопированный файл " + Quoted(file) + L" не удалён.";
}

TRunTransaction::TRunTransaction(IInstallHost& Host, TTargetFolder& Target) : FHost(Host), FTarget(Target) {
    FJournal.Run = NewRunId();
    FTarget.SetUndo(this);
}

TRunTransaction::~TRunTransaction() {
    FTarget.SetUndo(nullptr);
}

void TRunTransaction::Save() {
    // Renamed over: the file held for the kept files' lines goes first.
    FJournalFile.Reset();
    FJournalFile = FTarget.Replace(RunJournalName, FormatRunJournal(FJournal));
}

void TRunTransaction::Begin(bool Elevated) {
    FElevated = Elevated;
    if (Elevated) {
        const TAdminFolder folder = EnsureAdminFolder(FTarget, UninstallFolder);
        if (!folder.MovedAside.empty())
            FHost.AddLine(FolderMovedAsideText(FTarget.Full(UninstallFolder), folder.Fault,
                                               FTarget.Full(folder.MovedAside)));
    } else {
        FTarget.MakeFolder(UninstallFolder);
    }
    FOpen = true;
    Save();
}

std::wstring TRunTransaction::Keeping(const std::wstring& Relative) {
    // Replaced twice in one run (the same name in two trees of the medium): what is there is the run's own.
    // After the commit nothing is kept; in the clinic's folders never.
    if (!FOpen || NeverRecorded(Relative))
        return {};
    for (const TStep& step : FSteps)
        if ((step.Kind == TKind::Kept || step.Kind == TKind::File) && SameText(step.Path, Relative))
            return {};
    // On the disk before the predecessor is renamed: a run killed between them is undone by the next.
    const std::string line = KeptLine(Relative);
    LARGE_INTEGER end{};
    DWORD put = 0;
    if (!FJournalFile || !::SetFilePointerEx(FJournalFile.Get(), end, nullptr, FILE_END) ||
        !::WriteFile(FJournalFile.Get(), line.data(), static_cast<DWORD>(line.size()), &put, nullptr) ||
        put != line.size() || !::FlushFileBuffers(FJournalFile.Get())) {
        FJournal.Kept.push_back(Relative);
        Save();
    } else {
        FJournal.Kept.push_back(Relative);
    }
    FSteps.push_back({TKind::Kept, Relative});
    return KeptName(Relative, FJournal.Run);
}

void TRunTransaction::NotKept(const std::wstring& Relative) {
    for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step)
        if (step->Kind == TKind::Kept && SameText(step->Path, Relative)) {
            FSteps.erase(std::next(step).base());
            break;
        }
    // Its journal's line stays on the disk: the next run finds no kept file for it, and puts nothing back.
    const auto listed = std::find(FJournal.Kept.rbegin(), FJournal.Kept.rend(), Relative);
    if (listed != FJournal.Kept.rend())
        FJournal.Kept.erase(std::next(listed).base());
}

void TRunTransaction::Added(const std::wstring& Relative, bool Folder) {
    if (!FCommitted)
        FSteps.push_back({Folder ? TKind::Folder : TKind::File, Relative});
}

std::wstring TRunTransaction::DatabaseCopy() const {
    return DatabaseCopyName(FJournal.Run);
}

void TRunTransaction::DatabaseCopyBegins() {
    FJournal.Database = TJournalDatabase{};
    if (FOpen)
        Save();
}

void TRunTransaction::DatabaseCopied(std::uint64_t Size, std::string Hash) {
    if (!FJournal.Database)
        FJournal.Database = TJournalDatabase{};
    FJournal.Database->Size = Size;
    FJournal.Database->Hash = std::move(Hash);
    if (FOpen)
        Save();
}

void TRunTransaction::ChangingSettings(const std::wstring& File, bool Added,
                                       const std::vector<TJournalSetting>& Keys) {
    if (Added)
        FJournal.AddedSettingsFiles.push_back(File);
    FJournal.Settings.insert(FJournal.Settings.end(), Keys.begin(), Keys.end());
    if (FOpen)
        Save();
}

void TRunTransaction::Commit() {
    if (!FOpen)
        return;
    RunStop().Check();
    PassRunPoint(L"commit");
    // The commit renames in the clinic's folder: never in one swapped since the run took hold of it.
    FTarget.Recheck();
    if (FJournal.Database && FTarget.IsFile(DatabaseCopy())) {
        const std::wstring dest = DatabaseFile().Dest;
        const std::wstring kept = FTarget.IsFile(dest) ? FreeDatedName(FTarget, dest, DeployClock()()) : L"";
        // In the journal before either name changes: a run killed between them is undone by the next.
        FJournal.Database->Stage = TJournalDatabase::TStage::Swapping;
        FJournal.Database->Kept = kept;
        Save();
        SwapInDatabase(FHost, FTarget, dest, DatabaseCopy(), kept);
        PassRunPoint(L"database-swapped");
        if (!kept.empty())
            FHost.AddLine(L"Прежняя база данных сохранена: " + Quoted(FTarget.Full(kept)));
    }
    // Marked first: a run killed while it removes the predecessors must not have the next put them back.
    FJournal.Committed = true;
    Save();
    FOpen = false;
    FCommitted = true;
    std::vector<std::wstring> kept;
    for (const std::wstring& relative : FJournal.Kept)
        kept.push_back(KeptName(relative, FJournal.Run));
    RemoveOrList(FHost, FTarget, kept, FElevated, FJournal.Leftovers);
    if (!FJournal.Leftovers.empty())
        Save();
    PassRunPoint(L"committed");
}

void TRunTransaction::Finish() noexcept {
    if (!FCommitted || !FJournal.Leftovers.empty())
        return;
    FJournalFile.Reset();
    try {
        FTarget.Remove(RunJournalName);
    } catch (...) {
        // The next run finds a committed journal and removes what it names.
    }
    FCommitted = false;
}

TRunTransaction::TStepUndo TRunTransaction::RollBackStep(const TStep& Step, TStayed& Stayed) {
    const std::wstring path = FTarget.Full(Step.Path);
    DWORD code = 0;
    if (Step.Kind == TKind::File) {
        if ((code = FTarget.Remove(Step.Path)) == 0)
            return TStepUndo::Done;
        FHost.Trace(L"Добавленный файл " + Quoted(path) + L" не удалён: " + TargetErrorText(code));
        return TStepUndo::NotRemoved;
    }
    const std::wstring kept = KeptName(Step.Path, FJournal.Run);
    // Given back already, or never kept.
    if (Step.Kind != TKind::Kept || !FTarget.IsFile(kept))
        return TStepUndo::Done;
    if (PutBack(FTarget, kept, Step.Path, code))
        return TStepUndo::PutBack;
    FHost.Trace(L"Прежний файл " + Quoted(path) + L" не возвращён, он остался под именем " +
                Quoted(FTarget.Full(kept)) + L": " + TargetErrorText(code));
    Stayed.emplace_back(path, FTarget.Full(kept));
    return TStepUndo::Stayed;
}

TUndo TRunTransaction::RollBack() {
    if (!FOpen)
        return TUndo::Restored;
    FOpen = false;
    TStayed stayed;
    std::vector<std::wstring> notRemoved;
    bool whole = true;
    bool putBack = false; // a predecessor, or the clinic's database, went back under its name
    for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step) {
        try {
            switch (RollBackStep(*step, stayed)) {
            case TStepUndo::Done:
                break;
            case TStepUndo::PutBack:
                putBack = true;
                break;
            case TStepUndo::Stayed:
                whole = false;
                break;
            case TStepUndo::NotRemoved:
                // Named below the undo line; the journal would not help the next run with it.
                notRemoved.push_back(FTarget.Full(step->Path));
                break;
            }
        } catch (const TError& error) {
            // A folder found swapped on the way: what lies behind it is not touched, and the journal stays.
            FHost.Trace(error.Message());
            whole = false;
            if (step->Kind == TKind::Kept)
                stayed.emplace_back(FTarget.Full(step->Path),
                                    FTarget.Full(KeptName(step->Path, FJournal.Run)));
            else if (step->Kind == TKind::File)
                notRemoved.push_back(FTarget.Full(step->Path));
        }
    }
    const std::vector<std::wstring> settingsNotBack = UndoSettings(FHost, FTarget, FJournal);
    whole = settingsNotBack.empty() && whole;
    // The database's own line, where the commit had swapped it, comes before the undo line.
    whole = UndoDatabaseStep(FHost, FTarget, FJournal, stayed, putBack) && whole;
    // The journal stays for the next run where anything could not be undone (a predecessor that stayed kept,
    // keys or a copy in a folder swapped meanwhile); the folders the run made go last, where they are empty.
    FJournalFile.Reset();
    if (whole && stayed.empty())
        FTarget.Remove(RunJournalName);
    for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step) {
        try {
            if (step->Kind == TKind::Folder)
                FTarget.RemoveFolder(step->Path);
        } catch (const TError& error) {
            FHost.Trace(error.Message());
        }
    }
    if (whole && stayed.empty() && notRemoved.empty()) {
        // "Restored" only where there was something before the run: a first installation had its copies
        // removed and nothing more.
        const bool restored = putBack || FReplaces;
        FHost.AddLine(restored ? UndoText::Restored : UndoText::CopiesRemoved);
        return restored ? TUndo::Restored : TUndo::CopiesRemoved;
    }
    FHost.AddLine(UndoText::NotWhole);
    NameWhatStayed(FHost, stayed, true);
    for (const std::wstring& file : notRemoved)
        FHost.AddLine(NotRemovedLine(file));
    for (const std::wstring& file : settingsNotBack)
        FHost.AddLine(SettingsNotBackLine(file));
    return TUndo::NotWhole;
}

bool RecoverInterruptedRun(IInstallHost& Host, TTargetFolder& Target, bool Verified) {
    const TFileBytes bytes =
        Verified ? ReadFromAdminFolder(Target, UninstallFolder, RunJournalFile) : Target.Read(RunJournalName);
    if (bytes.Status == TReadStatus::NotFound)
        return true;
    const std::optional<TRunJournal> journal =
        bytes.Status == TReadStatus::Ok ? ParseRunJournal(bytes.Bytes) : std::nullopt;
    if (!journal) {
        Host.Trace(L"Журнал прерванной установки " + Quoted(Target.Full(RunJournalName)) +
                   L" не прочитан и оставлен");
        return true;
    }
    const TLeftBehind left = LeftBehind(Target, *journal);
    std::size_t restored = 0;
    TStayed stayed;
    bool settingsStayed = false;
    if (journal->Committed) {
        std::vector<std::wstring> remove = journal->Leftovers;
        for (const std::wstring& original : left.Kept) {
            const std::wstring kept = KeptName(original, journal->Run);
            if (Target.IsFile(kept) && std::find(remove.begin(), remove.end(), kept) == remove.end())
                remove.push_back(kept);
        }
        std::vector<std::wstring> still;
        RemoveOrList(Host, Target, remove, Verified, still);
        restored = remove.size() - still.size();
    } else {
        for (const std::wstring& original : left.Kept) {
            const std::wstring kept = KeptName(original, journal->Run);
            DWORD code = 0;
            if (!Target.IsFile(kept))
                continue; // never renamed, or given back before the run was killed
            if (PutBack(Target, kept, original, code))
                ++restored;
            else
                stayed.emplace_back(Target.Full(original), Target.Full(kept));
        }
        bool putBack = false;
        // Keys not put back stay in the journal, with what they held, for a run that can: the run that
        // follows would journal the killed run's values as what they held.
        for (const std::wstring& file : UndoSettings(Host, Target, *journal)) {
            Host.AddLine(SettingsNotBackLine(file));
            settingsStayed = true;
        }
        UndoDatabaseStep(Host, Target, *journal, stayed, putBack);
    }
    for (const std::wstring& relative : left.Temporaries) {
        // Below a folder swapped for a link since the walk found it, nothing is removed.
        DWORD code = 0;
        try {
            code = Target.Remove(relative);
        } catch (const TError&) {
            code = LinkInPlace;
        }
        if (code)
            Host.Trace(L"Незаконченная копия не удалена: " + Quoted(Target.Full(relative)));
    }
    NameWhatStayed(Host, stayed, false);
    Host.Trace(journal->Committed
                   ? L"Прежних файлов прерванной установки удалено: " + std::to_wstring(restored)
                   : L"Прежних файлов прерванной установки возвращено на место: " +
                         std::to_wstring(restored));
    if (!stayed.empty() || settingsStayed)
        return false;
    Target.Remove(RunJournalName);
    return true;
}
