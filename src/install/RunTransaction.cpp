#include "install/RunTransaction.h"

#include <windows.h>

#include <algorithm>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/FileReplaceWin.h"
#include "common/StrUtils.h"
#include "install/Folders.h"
#include "install/InstallRecord.h"
#include "install/TargetAccess.h"
#include "install/Walks.h"

namespace {

// Gives a kept file its name back, over whatever the run put there.
bool PutBack(const std::wstring& kept, const std::wstring& dest, DWORD& code) {
    SetReadOnlyAttr(dest, false);
    if (::MoveFileExW(kept.c_str(), dest.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    code = ::GetLastError();
    return false;
}

bool RemoveFile(const std::wstring& path) {
    SetReadOnlyAttr(path, false);
    return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

} // namespace

std::wstring NotRestoredText(const std::wstring& file, const std::wstring& kept) {
    return L"Прежний файл " + Quoted(file) + L" не удалось вернуть на место: он сохранён рядом как " +
           Quoted(ExtractFileName(kept)) + L".";
}

std::wstring NotRestoredLine(const std::wstring& file) {
    return L"Прежний файл " + Quoted(file) + L" не возвращён на место.";
}

TRunTransaction::TRunTransaction(IInstallHost& Host, std::wstring Target)
    : FHost(Host), FTarget(WithTrailingBackslash(std::move(Target))) {
    FJournal.Run = std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64());
}

std::wstring TRunTransaction::Relative(const std::wstring& Path) const {
    return PathInFolder(Path, FTarget) ? Path.substr(FTarget.size()) : Path;
}

void TRunTransaction::Save() {
    ReplaceFileContents(FTarget + RunJournalName, FormatRunJournal(FJournal));
}

void TRunTransaction::Begin(bool Elevated) {
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

void TRunTransaction::KeepPredecessor(const std::wstring& Dest) {
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
    FSteps.push_back({TKind::Kept, Relative(Dest), Relative(kept)});
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

void TRunTransaction::KeepDatabase(const std::wstring& Dest, const std::wstring& Kept) {
    FJournal.Database = Relative(Dest);
    FJournal.DatabaseKept = Relative(Kept);
    if (FOpen)
        Save();
    FSteps.push_back({TKind::Database, Relative(Dest), Relative(Kept)});
}

void TRunTransaction::AddedFile(const std::wstring& Path) {
    FSteps.push_back({TKind::File, Relative(Path), {}});
}

void TRunTransaction::AddedFolder(const std::wstring& Path) {
    FSteps.push_back({TKind::Folder, Relative(WithoutTrailingBackslash(Path)), {}});
}

void TRunTransaction::Commit() {
    if (!FOpen)
        return;
    // Marked first: a run killed while it removes the predecessors must not have the next put them back.
    FJournal.Committed = true;
    Save();
    for (const TStep& step : FSteps)
        if (step.Kind == TKind::Kept && !RemoveFile(FTarget + step.Kept))
            FHost.Trace(L"Прежний файл " + Quoted(FTarget + step.Kept) + L" не удалён: " +
                        SystemErrorText(::GetLastError()));
    ::DeleteFileW((FTarget + RunJournalName).c_str());
    FOpen = false;
}

bool TRunTransaction::RollBack() {
    if (!FOpen)
        return true;
    FOpen = false;
    std::vector<std::pair<std::wstring, std::wstring>> stayed;
    for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step) {
        const std::wstring path = FTarget + step->Path;
        DWORD code = 0;
        switch (step->Kind) {
        case TKind::File:
            if (!RemoveFile(path))
                FHost.Trace(L"Добавленный файл " + Quoted(path) + L" не удалён: " +
                            SystemErrorText(::GetLastError()));
            break;
        case TKind::Kept:
        case TKind::Database:
            // Given back already (a database copy that failed), or never kept.
            if (!PathExists(FTarget + step->Kept))
                break;
            if (!PutBack(FTarget + step->Kept, path, code)) {
                FHost.Trace(L"Прежний файл " + Quoted(path) + L" не возвращён, он остался под именем " +
                            Quoted(FTarget + step->Kept) + L": " + SystemErrorText(code));
                stayed.emplace_back(path, FTarget + step->Kept);
            } else if (step->Kind == TKind::Database) {
                FHost.AddLine(L"Прежняя база данных возвращена на место: " + Quoted(path));
            }
            break;
        case TKind::Folder:
            break;
        }
    }
    // The journal stays for the next run where something stayed kept; the folders go last, once empty.
    if (stayed.empty()) {
        ::DeleteFileW((FTarget + RunJournalName).c_str());
        for (auto step = FSteps.rbegin(); step != FSteps.rend(); ++step)
            if (step->Kind == TKind::Folder)
                RemoveFolderUnlessLink(FTarget + step->Path);
    }
    FHost.AddLine(RolledBackText);
    if (stayed.empty())
        return true;
    std::wstring text;
    for (const auto& [file, kept] : stayed) {
        FHost.AddLine(NotRestoredLine(file));
        text += (text.empty() ? L"" : L"\r\n") + NotRestoredText(file, kept);
    }
    FHost.ShowError(text);
    return false;
}

bool RecoverInterruptedRun(IProgress& Host, const std::wstring& Target, bool Verified) {
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
    // The predecessors of that run lie beside their files under names of that run; no link is followed.
    std::vector<std::pair<std::wstring, std::wstring>> kept;
    WalkFiles(WithoutTrailingBackslash(target), [&](const std::wstring& relative, const WIN32_FIND_DATAW&) {
        const std::wstring original = OriginalOfKept(relative, journal->Run);
        if (!original.empty())
            kept.emplace_back(target + original, target + relative);
    });
    std::size_t stayed = 0, restored = 0;
    for (const auto& [file, keptName] : kept) {
        DWORD code = 0;
        if (journal->Committed ? RemoveFile(keptName) : PutBack(keptName, file, code)) {
            ++restored;
            continue;
        }
        ++stayed;
        Host.Trace(NotRestoredText(file, keptName));
        Host.AddLine(NotRestoredLine(file));
    }
    if (!journal->Committed && !journal->Database.empty() && PathExists(target + journal->DatabaseKept)) {
        DWORD code = 0;
        if (PutBack(target + journal->DatabaseKept, target + journal->Database, code)) {
            Host.Trace(L"Прежняя база данных прерванной установки возвращена на место: " +
                       Quoted(target + journal->Database));
        } else {
            ++stayed;
            Host.Trace(NotRestoredText(target + journal->Database, target + journal->DatabaseKept));
            Host.AddLine(NotRestoredLine(target + journal->Database));
        }
    }
    Host.Trace(journal->Committed
                   ? L"Прежних файлов прерванной установки удалено: " + std::to_wstring(restored)
                   : L"Прежних файлов прерванной установки возвращено на место: " +
                         std::to_wstring(restored));
    if (stayed)
        return false;
    ::DeleteFileW(name.c_str());
    return true;
}
