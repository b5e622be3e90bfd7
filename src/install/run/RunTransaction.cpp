#include "install/run/RunTransaction.h"

#include <windows.h>

#include <algorithm>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/FileReplaceWin.h"
#include "common/IniFile.h"
#include "common/StrUtils.h"
#include "install/steps/DatabaseFiles.h"
#include "install/steps/DatabaseServer.h"
#include "install/files/Folders.h"
#include "install/record/InstallRecord.h"
#include "install/run/RunStop.h"
#include "install/trust/TargetAccess.h"
#include "install/run/UndoFiles.h"
#include "install/files/Walks.h"

namespace {

// The run's id: random, so that no name of one run is another's.
std::wstring NewRunId() {
    std::wstring id = RandomHex(16);
    return id.empty() ? std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64())
                      : id;
}

// Where the clinic's database goes at the commit: its dated name of now, the first that is free.
std::wstring FreeKeptName(const std::wstring& dest) {
    const std::wstring folder = ExtractFilePath(dest);
    const std::wstring name = dest.substr(folder.size());
    const TLocalTime now = DeployClock()();
    std::wstring kept;
    int attempt = 0;
    do
        kept = folder + BackupFileName(name, now, attempt++);
    while (PathExists(kept) && attempt < 100);
    return kept;
}

// Puts back the keys the run wrote, in each settings file as it is now: a key that still holds what the run
// wrote gets what it held before (or goes, where it was not there); one the suite or the user has changed
// since stays as they left it. A file the run made goes when no key is left in it.
void UndoSettings(IProgress& host, const std::wstring& target, const TRunJournal& journal) {
    std::vector<std::wstring> files;
    for (const TJournalSetting& setting : journal.Settings)
        if (std::find(files.begin(), files.end(), setting.File) == files.end())
            files.push_back(setting.File);
    for (const std::wstring& file : files) {
        const std::wstring path = target + file;
        try {
            if (!FileExists(path))
                continue;
            TIniFile ini(path);
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
                RemoveFileNoFollow(path);
            else if (changed)
                ini.UpdateFile();
        } catch (const TError& error) {
            host.Trace(L"Настройки в " + Quoted(path) + L" не возвращены: " + error.Message());
        }
    }
}

// The undo of the database step: its line, and a box where the suite's database was kept beside the
// clinic's, for whoever is there to read it. False where something stayed, named in a line; `putBack` is set
// where the clinic's database went back under its name.
bool UndoDatabaseStep(IInstallHost& host, const std::wstring& target, const TRunJournal& journal,
                      std::vector<std::pair<std::wstring, std::wstring>>& stayed, bool* putBack = nullptr) {
    if (!journal.Database)
        return true;
    const TDatabaseUndo undo = UndoDatabase(host, target, journal.Run, *journal.Database, DeployClock()());
    if (putBack && (undo.Outcome == TDatabaseUndo::TOutcome::Restored ||
                    undo.Outcome == TDatabaseUndo::TOutcome::BothKept))
        *putBack = true;
    if (undo.Outcome == TDatabaseUndo::TOutcome::Stayed) {
        host.Trace(L"Прежняя база данных не возвращена: " + Quoted(undo.Dest) + L": " +
                   SystemErrorText(undo.Code));
        stayed.emplace_back(undo.Dest, undo.Kept);
        return false;
    }
    const std::wstring text = DatabaseUndoText(undo);
    if (!text.empty())
        host.AddLine(text);
    if (undo.Outcome == TDatabaseUndo::TOutcome::BothKept && !host.Unattended())
        host.ShowError(text);
    return true;
}

// The predecessors a commit could not remove, the journal's lines for the next run; with an administrator's
// rights the system removes them at the next restart too.
void RemoveOrList(IProgress& host, const std::wstring& target, const std::vector<std::wstring>& kept,
                  bool elevated, std::vector<std::wstring>& leftovers) {
    for (const std::wstring& relative : kept) {
        const std::wstring path = target + relative;
        if (RemoveFileNoFollow(path))
            continue;
        host.Trace(L"Прежний файл " + Quoted(path) + L" не удалён: " + SystemErrorText(::GetLastError()));
        leftovers.push_back(relative);
        if (elevated)
            ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

} // namespace

std::wstring NotRestoredText(const std::wstring& file, const std::wstring& kept) {
    return L"Прежний файл " + Quoted(file) + L" не удалось вернуть на место: он сохранён рядом как " +
           Quoted(ExtractFileName(kept)) + L".";
}

std::wstring NotRestoredLine(const std::wstring& file) {
    return L"Прежний файл " + Quoted(file) + L" не возвращён на место.";
}

std::wstring NotRemovedLine(const std::wstring& file) {
    return L"Скопированный файл " + Quoted(file) + L" не удалён.";
}

TRunTransaction::TRunTransaction(IInstallHost& Host, std::wstring Target)
    : FHost(Host), FTarget(WithTrailingBackslash(std::move(Target))) {
    FJournal.Run = NewRunId();
}

std::wstring TRunTransaction::Relative(const std::wstring& Path) const {
    return PathInFolder(Path, FTarget) ? Path.substr(FTarget.size()) : Path;
}

void TRunTransaction::Save() {
    ReplaceFileContents(FTarget + RunJournalName, FormatRunJournal(FJournal));
}

void TRunTransaction::Begin(bool Elevated) {
    FElevated = Elevated;
    const std::wstring folder = FTarget + UninstallFolder;
    if (Elevated) {
        if (EnsureAdminFolder(folder).Made)
            FSteps.push_back({TKind::Folder, UninstallFolder, {}});
    } else if (!FolderExists(folder)) {
        if (const DWORD code = ForceDirectories(folder)) {
            ::SetLastError(code);
            ThrowLastError(L"Не удалось создать папку " + Quoted(folder));
        }
        FSteps.push_back({TKind::Folder, UninstallFolder, {}});
    }
    FOpen = true;
    Save();
}

bool TRunTransaction::KeepPredecessor(const std::wstring& Dest) {
    const std::wstring relative = Relative(Dest);
    // Replaced twice in one run (the same name in two trees of the medium): what is there is the run's own.
    for (const TStep& step : FSteps)
        if ((step.Kind == TKind::Kept || step.Kind == TKind::File) && SameText(step.Path, relative))
            return false;
    const std::wstring kept = KeptName(Dest, FJournal.Run);
    // Not written through: the new file's own rename, which is, brings this one to the disk before it.
    if (!::MoveFileExW(Dest.c_str(), kept.c_str(), 0)) {
        const DWORD code = ::GetLastError();
        const std::wstring message =
            L"Не удалось создать файл " + Quoted(Dest) + L": " + SystemErrorText(code);
        if (MayBeInUse(code))
            throw TFileInUse(message, Dest, code);
        throw TSystemError(message, code);
    }
    FSteps.push_back({TKind::Kept, relative, Relative(kept)});
    return true;
}

void TRunTransaction::GiveBack(const std::wstring& Dest) noexcept {
    try {
        const std::wstring relative = Relative(Dest);
        for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step) {
            if (step->Kind != TKind::Kept || !SameText(step->Path, relative))
                continue;
            DWORD code = 0;
            if (!PathExists(Dest) && PutBack(FTarget + step->Kept, Dest, code))
                FSteps.erase(std::next(step).base());
            return;
        }
    } catch (...) {
        // Left as it is, the predecessor goes back with the rollback or stays kept for the next run.
    }
}

void TRunTransaction::AddedFile(const std::wstring& Path) {
    FSteps.push_back({TKind::File, Relative(Path), {}});
}

void TRunTransaction::AddedFolder(const std::wstring& Path) {
    FSteps.push_back({TKind::Folder, Relative(WithoutTrailingBackslash(Path)), {}});
}

std::wstring TRunTransaction::DatabaseCopy() const {
    return FTarget + DatabaseCopyName(FJournal.Run);
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
    if (FJournal.Database && PathExists(DatabaseCopy())) {
        const std::wstring dest = FTarget + DatabaseFile().Dest;
        const std::wstring kept = FileExists(dest) ? FreeKeptName(dest) : std::wstring();
        // In the journal before either name changes: a run killed between them is undone by the next.
        FJournal.Database->Stage = TJournalDatabase::TStage::Swapping;
        FJournal.Database->Kept = kept.empty() ? std::wstring() : Relative(kept);
        Save();
        SwapInDatabase(FHost, dest, DatabaseCopy(), kept);
        PassRunPoint(L"database-swapped");
        if (!kept.empty())
            FHost.AddLine(L"Прежняя база данных сохранена: " + Quoted(kept));
    }
    // Marked first: a run killed while it removes the predecessors must not have the next put them back.
    FJournal.Committed = true;
    Save();
    FOpen = false;
    FCommitted = true;
    std::vector<std::wstring> kept;
    for (const TStep& step : FSteps)
        if (step.Kind == TKind::Kept)
            kept.push_back(step.Kept);
    RemoveOrList(FHost, FTarget, kept, FElevated, FJournal.Leftovers);
    if (!FJournal.Leftovers.empty())
        Save();
    PassRunPoint(L"committed");
}

void TRunTransaction::Finish() noexcept {
    if (!FCommitted || !FJournal.Leftovers.empty())
        return;
    RemoveFileNoFollow(FTarget + RunJournalName);
    FCommitted = false;
}

TUndo TRunTransaction::RollBack() {
    if (!FOpen)
        return TUndo::Restored;
    FOpen = false;
    std::vector<std::pair<std::wstring, std::wstring>> stayed;
    std::vector<std::wstring> notRemoved;
    bool putBack = false; // a predecessor, or the clinic's database, went back under its name
    for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step) {
        const std::wstring path = FTarget + step->Path;
        DWORD code = 0;
        switch (step->Kind) {
        case TKind::File:
            if (!RemoveFileNoFollow(path) && PathExists(path)) {
                FHost.Trace(L"Добавленный файл " + Quoted(path) + L" не удалён: " +
                            SystemErrorText(::GetLastError()));
                notRemoved.push_back(path);
            }
            break;
        case TKind::Kept:
            // Given back already, or never kept.
            if (!PathExists(FTarget + step->Kept))
                break;
            if (!PutBack(FTarget + step->Kept, path, code)) {
                FHost.Trace(L"Прежний файл " + Quoted(path) + L" не возвращён, он остался под именем " +
                            Quoted(FTarget + step->Kept) + L": " + SystemErrorText(code));
                stayed.emplace_back(path, FTarget + step->Kept);
            } else {
                putBack = true;
            }
            break;
        case TKind::Folder:
            break;
        }
    }
    UndoSettings(FHost, FTarget, FJournal);
    // The database's own line, where the commit had swapped it, comes before the undo line.
    UndoDatabaseStep(FHost, FTarget, FJournal, stayed, &putBack);
    // The journal stays for the next run where something stayed kept; the folders go last, once empty.
    if (stayed.empty()) {
        RemoveFileNoFollow(FTarget + RunJournalName);
        for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step)
            if (step->Kind == TKind::Folder)
                RemoveFolderUnlessLink(FTarget + step->Path);
    }
    if (stayed.empty() && notRemoved.empty()) {
        // "Restored" only where there was something before the run: a first installation had its copies
        // removed and nothing more.
        const bool restored = putBack || FReplaces;
        FHost.AddLine(restored ? UndoText::Restored : UndoText::CopiesRemoved);
        return restored ? TUndo::Restored : TUndo::CopiesRemoved;
    }
    FHost.AddLine(UndoText::NotWhole);
    std::wstring text;
    for (const auto& [file, kept] : stayed) {
        FHost.AddLine(NotRestoredLine(file));
        text += (text.empty() ? L"" : L"\r\n") + NotRestoredText(file, kept);
    }
    for (const std::wstring& file : notRemoved)
        FHost.AddLine(NotRemovedLine(file));
    if (!text.empty())
        FHost.ShowError(text);
    return TUndo::NotWhole;
}

bool RecoverInterruptedRun(IInstallHost& Host, const std::wstring& Target, bool Verified) {
    const std::wstring target = WithTrailingBackslash(Target);
    const std::wstring name = target + RunJournalName;
    const TFileBytes bytes =
        Verified ? ReadFromAdminFolder(target + UninstallFolder, RunJournalFile) : ReadWholeFile(name);
    if (bytes.Status == TReadStatus::NotFound)
        return true;
    const std::optional<TRunJournal> journal =
        bytes.Status == TReadStatus::Ok ? ParseRunJournal(bytes.Bytes) : std::nullopt;
    if (!journal) {
        Host.Trace(L"Журнал прерванной установки " + Quoted(name) + L" не прочитан и оставлен");
        return true;
    }
    // The predecessors of that run lie beside their files under names of that run, and the half-made copies
    // of any run beside theirs: no other run works in the folder now. No link is followed.
    std::vector<std::pair<std::wstring, std::wstring>> kept;
    std::vector<std::wstring> temporaries;
    WalkFiles(WithoutTrailingBackslash(target), [&](const std::wstring& relative,
                                                    const WIN32_FIND_DATAW& found) {
        const std::wstring original = OriginalOfKept(relative, journal->Run);
        if (!original.empty())
            kept.emplace_back(original, relative);
        else if (IsRunTemporaryName(found.cFileName) && !(!journal->Committed && journal->Database &&
                                                          SameText(relative, DatabaseCopyName(journal->Run))))
            temporaries.push_back(relative);
    });
    std::size_t restored = 0;
    std::vector<std::pair<std::wstring, std::wstring>> stayed;
    if (journal->Committed) {
        std::vector<std::wstring> remove = journal->Leftovers;
        for (const auto& [original, keptName] : kept)
            if (std::find(remove.begin(), remove.end(), keptName) == remove.end())
                remove.push_back(keptName);
        std::vector<std::wstring> left;
        RemoveOrList(Host, target, remove, Verified, left);
        restored = remove.size() - left.size();
    } else {
        for (const auto& [original, keptName] : kept) {
            DWORD code = 0;
            if (PutBack(target + keptName, target + original, code))
                ++restored;
            else
                stayed.emplace_back(target + original, target + keptName);
        }
        UndoSettings(Host, target, *journal);
        UndoDatabaseStep(Host, target, *journal, stayed);
    }
    for (const std::wstring& relative : temporaries)
        if (!RemoveFileNoFollow(target + relative))
            Host.Trace(L"Незаконченная копия не удалена: " + Quoted(target + relative));
    for (const auto& [file, keptName] : stayed) {
        Host.Trace(NotRestoredText(file, keptName));
        Host.AddLine(NotRestoredLine(file));
    }
    Host.Trace(journal->Committed
                   ? L"Прежних файлов прерванной установки удалено: " + std::to_wstring(restored)
                   : L"Прежних файлов прерванной установки возвращено на место: " +
                         std::to_wstring(restored));
    if (!stayed.empty())
        return false;
    RemoveFileNoFollow(name);
    return true;
}
