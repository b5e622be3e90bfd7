#include "install/run/UndoFiles.h"

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/StrUtils.h"
#include "install/files/ContentHash.h"
#include "install/files/FilesInUse.h"
#include "install/files/TargetFolder.h"
#include "install/steps/DatabaseFiles.h"

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
using TUse = TTargetFolder::TUse;

// Whether the file at `relative` is the copy the run made, by its size and content.
bool IsRunsCopy(TTargetFolder& target, const std::wstring& relative, const TJournalDatabase& database) {
    if (!database.Size || database.Hash.empty())
        return false;
    const TUniqueFile file = target.Open(relative, GENERIC_READ, ShareAll, TUse::Read);
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.Get(), &size) ||
        static_cast<std::uint64_t>(size.QuadPart) != *database.Size)
        return false;
    try {
        return HashOpenFile(file.Get(), target.Full(relative)) == database.Hash;
    } catch (const TError&) {
        return false;
    }
}

// A second name for the file at `existing`, or, where the disk keeps none, the file moved to it. False with
// the system's code when neither could be done; `linked` says which was. A link in the place, or a file that
// has other names already, is neither: the name would be one of what it leads to.
bool NameAlso(TTargetFolder& target, const std::wstring& existing, const std::wstring& name, bool& linked,
              DWORD& code) {
    const TUniqueFile file =
        target.Open(existing, DELETE | FILE_WRITE_ATTRIBUTES, ShareAll, TUse::Change, &code);
    if (!file)
        return false;
    linked = target.AlsoName(file.Get(), name) == 0;
    if (linked || (code = target.Rename(file.Get(), name, false)) == 0)
        return true;
    return false;
}

// Gives the file at `from` the name `to` (not over anything), through a handle that follows no link.
DWORD Move(TTargetFolder& target, const std::wstring& from, const std::wstring& to) {
    DWORD code = 0;
    const TUniqueFile file = target.Open(from, DELETE, ShareAll, TUse::Change, &code);
    return file ? target.Rename(file.Get(), to, false) : code;
}

bool Exists(TTargetFolder& target, const std::wstring& relative) {
    return target.IsFile(relative);
}

} // namespace

std::wstring FreeDatedName(TTargetFolder& Target, const std::wstring& Dest, const TLocalTime& Now) {
    const std::size_t slash = Dest.rfind(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : Dest.substr(0, slash + 1);
    const std::wstring name = Dest.substr(folder.size());
    std::wstring dated;
    int attempt = 0;
    do
        dated = folder + BackupFileName(name, Now, attempt++);
    while (Target.Open(dated, 0, ShareAll, TUse::Read).Valid() && attempt < 100);
    return dated;
}

bool PutBack(TTargetFolder& Target, const std::wstring& Kept, const std::wstring& Dest, DWORD& Code) {
    const TUniqueFile kept = Target.Open(Kept, DELETE, ShareAll, TUse::Change, &Code);
    if (!kept)
        return false;
    // A read-only file is not replaced: what the run put there may have come read-only from the medium.
    Target.SetReadOnly(Dest, false);
    Code = Target.Rename(kept.Get(), Dest, true);
    return Code == 0;
}

bool SameFile(TTargetFolder& Target, const std::wstring& A, const std::wstring& B) {
    const TUniqueFile a = Target.Open(A, 0, ShareAll, TUse::Read),
                      b = Target.Open(B, 0, ShareAll, TUse::Read);
    TObjectInfo first, second;
    return a && b && InfoOf(a.Get(), first) && InfoOf(b.Get(), second) && first.SameObject(second);
}

void SwapInDatabase(IInstallHost& Host, TTargetFolder& Target, const std::wstring& Dest,
                    const std::wstring& Copy, const std::wstring& Kept) {
    const std::wstring full = Target.Full(Dest);
    for (;;) {
        DWORD code = 0;
        bool linked = false;
        // Windows refuses to replace a database the server holds without leave to delete it; Wine replaces
        // it all the same. Asking first gives the same answer on both.
        const bool clinics = Exists(Target, Dest);
        if (clinics && !Target.Open(Dest, DELETE, ShareAll, TUse::Change, &code)) {
            if (Target.RetryInUse(Host, full, code))
                continue;
            throw TError(L"База данных носителя не заняла место прежней (" + Quoted(full) + L"): " +
                         TargetErrorText(code));
        }
        if (clinics && !NameAlso(Target, Dest, Kept, linked, code)) {
            if (Target.RetryInUse(Host, full, code))
                continue;
            throw TError(L"Прежнюю базу данных не удалось сохранить как " + Quoted(Target.Full(Kept)) +
                         L": " + TargetErrorText(code));
        }
        // One rename, brought to the disk: the name holds the clinic's database until the copy has it.
        const TUniqueFile copy = Target.Open(Copy, DELETE | GENERIC_WRITE, ShareAll, TUse::Change, &code);
        if (copy && (code = Target.Rename(copy.Get(), Dest, true)) == 0) {
            ::FlushFileBuffers(copy.Get());
            return;
        }
        // The clinic's database at its name alone again, before the host is asked.
        if (linked && SameFile(Target, Kept, Dest))
            Target.Remove(Kept);
        else if (clinics && !linked && !Exists(Target, Dest))
            Move(Target, Kept, Dest);
        if (Target.RetryInUse(Host, full, code))
            continue;
        throw TError(L"База данных носителя не заняла место прежней (" + Quoted(full) + L"): " +
                     TargetErrorText(code));
    }
}

namespace {

// The copy never took the name: the clinic's database is at it, or, where the disk keeps no second names and
// the run was killed between two renames, at its dated name alone.
void UndoBeforeTheSwap(TTargetFolder& target, const std::wstring& kept, const std::wstring& dest,
                       TDatabaseUndo& undo) {
    if (kept.empty() || !Exists(target, kept))
        return;
    if (!Exists(target, dest)) {
        if ((undo.Code = Move(target, kept, dest)) != 0)
            undo.Outcome = TDatabaseUndo::TOutcome::Stayed;
    } else if (SameFile(target, kept, dest)) {
        target.Remove(kept);
    }
}

// The swap had happened: the clinic's database goes back to its name, and one the suite wrote to since is
// kept beside it under a name of its own.
void UndoTheSwap(TTargetFolder& target, const std::wstring& kept, const std::wstring& dest,
                 const TJournalDatabase& database, const TLocalTime& now, TDatabaseUndo& undo) {
    std::wstring changed;
    if (Exists(target, dest) && !IsRunsCopy(target, dest, database)) {
        // Written to since the commit: it keeps what the clinic recorded, under a name of its own.
        changed = FreeDatedName(target, dest, now);
        bool linked = false;
        if (!NameAlso(target, dest, changed, linked, undo.Code)) {
            undo.Outcome = TDatabaseUndo::TOutcome::Stayed;
            return;
        }
        undo.Outcome = TDatabaseUndo::TOutcome::BothKept;
        // After a move the name is empty: the plain rename below gives it the clinic's database.
    } else {
        undo.Outcome = TDatabaseUndo::TOutcome::Restored;
    }
    if (PutBack(target, kept, dest, undo.Code)) {
        undo.Changed = changed.empty() ? std::wstring() : target.Full(changed);
        return;
    }
    // The database that was there stays there; a second name made for it goes again.
    if (!changed.empty() && Exists(target, dest) && SameFile(target, changed, dest))
        target.Remove(changed);
    else if (!changed.empty() && !Exists(target, dest))
        Move(target, changed, dest);
    undo.Outcome = TDatabaseUndo::TOutcome::Stayed;
}

} // namespace

TDatabaseUndo UndoDatabase(IProgress& Host, TTargetFolder& Target, const std::wstring& Run,
                           const TJournalDatabase& Database, const TLocalTime& Now) {
    TDatabaseUndo undo;
    const std::wstring dest = DatabaseFile().Dest;
    const std::wstring copy = DatabaseCopyName(Run);
    const std::wstring& kept = Database.Kept;
    undo.Dest = Target.Full(dest);
    undo.Kept = kept.empty() ? std::wstring() : Target.Full(kept);
    const bool copyThere = Exists(Target, copy);
    if (copyThere)
        if (const DWORD code = Target.Remove(copy)) {
            Host.Trace(L"Копия базы данных носителя не удалена: " + Quoted(Target.Full(copy)) + L": " +
                       TargetErrorText(code));
            undo.CopyLeft = true;
        }
    if (copyThere || Database.Stage == TJournalDatabase::TStage::Copying) {
        UndoBeforeTheSwap(Target, kept, dest, undo);
        return undo;
    }
    if (kept.empty()) {
        // A first installation's database: the run's own goes, one the suite has written to stays.
        if (!Exists(Target, dest))
            return undo;
        if (IsRunsCopy(Target, dest, Database)) {
            Target.Remove(dest);
            return undo;
        }
        undo.Outcome = TDatabaseUndo::TOutcome::KeptInPlace;
        return undo;
    }
    if (!Exists(Target, kept)) {
        Host.Trace(L"Прежней базы данных нет под именем " + Quoted(undo.Kept) + L": возвращать нечего");
        return undo;
    }
    if (Exists(Target, dest) && SameFile(Target, kept, dest)) {
        Target.Remove(kept);
        return undo;
    }
    UndoTheSwap(Target, kept, dest, Database, Now, undo);
    return undo;
}

std::wstring DatabaseUndoText(const TDatabaseUndo& Undo) {
    switch (Undo.Outcome) {
    case TDatabaseUndo::TOutcome::Restored:
        return L"Прежняя база данных возвращена на место: " + Quoted(Undo.Dest);
    case TDatabaseUndo::TOutcome::BothKept:
        return L"В базу данных " + Quoted(Undo.Dest) + L" записывали во время установки: она сохранена как " +
               Quoted(Undo.Changed) + L", а прежняя база данных возвращена на место.";
    case TDatabaseUndo::TOutcome::KeptInPlace:
        return L"В базу данных " + Quoted(Undo.Dest) +
               L" записывали во время установки: она оставлена на месте.";
    case TDatabaseUndo::TOutcome::Untouched:
    case TDatabaseUndo::TOutcome::Stayed:
        break;
    }
    return {};
}
