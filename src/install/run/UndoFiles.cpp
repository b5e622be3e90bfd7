#include "install/run/UndoFiles.h"

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/StrUtils.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "install/steps/DatabaseFiles.h"
#include "install/files/FilesInUse.h"
#include "install/record/InstalledFiles.h"

namespace {

// The volume and index of the file a name leads to; false where it cannot be opened.
bool FileIdOf(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    const TUniqueFile file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file && ::GetFileInformationByHandle(file.Get(), &info);
}

// Whether the file at `path` is the copy the run made, by its size and content.
bool IsRunsCopy(const std::wstring& path, const TJournalDatabase& database) {
    if (!database.Size || database.Hash.empty() || FileSizeOf(path) != database.Size)
        return false;
    try {
        return HashFile(path) == database.Hash;
    } catch (const TError&) {
        return false;
    }
}

// A second name for the file at `existing`, or, where the disk keeps none, the file moved to it. False with
// the system's code when neither could be done; `linked` says which was.
bool NameAlso(const std::wstring& existing, const std::wstring& name, bool& linked, DWORD& code) {
    // A second name would be one for what a link at the name leads to: a link is moved as the link.
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = FileIdOf(existing, info) && !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    linked = plain && ::CreateHardLinkW(name.c_str(), existing.c_str(), nullptr) != 0;
    if (linked || ::MoveFileExW(existing.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH))
        return true;
    code = ::GetLastError();
    return false;
}

// The first dated name of the database at `now` that is free in its folder.
std::wstring FreeDatedName(const std::wstring& dest, const TLocalTime& now) {
    const std::wstring folder = ExtractFilePath(dest);
    const std::wstring name = dest.substr(folder.size());
    std::wstring dated;
    int attempt = 0;
    do
        dated = folder + BackupFileName(name, now, attempt++);
    while (PathExists(dated) && attempt < 100);
    return dated;
}

} // namespace

bool PutBack(const std::wstring& Kept, const std::wstring& Dest, DWORD& Code) {
    const DWORD attributes = ::GetFileAttributesW(Dest.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        ::SetFileAttributesW(Dest.c_str(),
                             (attributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) | FILE_ATTRIBUTE_ARCHIVE);
    if (::MoveFileExW(Kept.c_str(), Dest.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    Code = ::GetLastError();
    return false;
}

bool RemoveFileNoFollow(const std::wstring& Path) {
    TUniqueFile file(::CreateFileW(Path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                   nullptr));
    if (!file) {
        const DWORD code = ::GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(file.Get(), &info) ||
        ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
         !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        ::SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        FILE_BASIC_INFO basic{};
        basic.FileAttributes =
            (info.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) | FILE_ATTRIBUTE_ARCHIVE;
        ::SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof basic);
    }
    FILE_DISPOSITION_INFO dispose{TRUE};
    return ::SetFileInformationByHandle(file.Get(), FileDispositionInfo, &dispose, sizeof dispose) != 0;
}

bool SameFile(const std::wstring& A, const std::wstring& B) {
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    return FileIdOf(A, a) && FileIdOf(B, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

void SwapInDatabase(IInstallHost& Host, const std::wstring& Dest, const std::wstring& Copy,
                    const std::wstring& Kept) {
    for (;;) {
        DWORD code = 0;
        bool linked = false;
        const bool clinics = FileExists(Dest);
        // Windows refuses to replace a database the server holds without leave to delete it; Wine replaces
        // it all the same. Asking first gives the same answer on both.
        if (clinics && !TUniqueFile(::CreateFileW(
                           Dest.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr))) {
            code = ::GetLastError();
            if (RetryInUse(Host, Dest, code))
                continue;
            throw TError(L"База данных носителя не заняла место прежней (" + Quoted(Dest) + L"): " +
                         SystemErrorText(code));
        }
        if (clinics && !NameAlso(Dest, Kept, linked, code)) {
            if (RetryInUse(Host, Dest, code))
                continue;
            throw TError(L"Прежнюю базу данных не удалось сохранить как " + Quoted(Kept) + L": " +
                         SystemErrorText(code));
        }
        // One rename: the name holds the clinic's database until the copy has it.
        if (::MoveFileExW(Copy.c_str(), Dest.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return;
        code = ::GetLastError();
        // The clinic's database at its name alone again, before the host is asked.
        if (linked && SameFile(Kept, Dest))
            RemoveFileNoFollow(Kept);
        else if (clinics && !linked && !PathExists(Dest))
            ::MoveFileExW(Kept.c_str(), Dest.c_str(), MOVEFILE_WRITE_THROUGH);
        if (RetryInUse(Host, Dest, code))
            continue;
        throw TError(L"База данных носителя не заняла место прежней (" + Quoted(Dest) + L"): " +
                     SystemErrorText(code));
    }
}

TDatabaseUndo UndoDatabase(IProgress& Host, const std::wstring& Target, const std::wstring& Run,
                           const TJournalDatabase& Database, const TLocalTime& Now) {
    TDatabaseUndo undo;
    undo.Dest = Target + DatabaseFile().Dest;
    const std::wstring copy = Target + DatabaseCopyName(Run);
    const std::wstring kept = Database.Kept.empty() ? std::wstring() : Target + Database.Kept;
    undo.Kept = kept;
    const bool copyThere = PathExists(copy);
    if (copyThere && !RemoveFileNoFollow(copy))
        Host.Trace(L"Копия базы данных носителя не удалена: " + Quoted(copy) + L": " +
                   SystemErrorText(::GetLastError()));
    if (copyThere || Database.Stage == TJournalDatabase::TStage::Copying) {
        // The copy never took the name: the clinic's database is at it, or, where the disk keeps no second
        // names and the run was killed between two renames, at its dated name alone.
        if (!kept.empty() && FileExists(kept)) {
            if (!FileExists(undo.Dest)) {
                if (!::MoveFileExW(kept.c_str(), undo.Dest.c_str(), MOVEFILE_WRITE_THROUGH)) {
                    undo.Outcome = TDatabaseUndo::TOutcome::Stayed;
                    undo.Code = ::GetLastError();
                }
            } else if (SameFile(kept, undo.Dest)) {
                RemoveFileNoFollow(kept);
            }
        }
        return undo;
    }
    if (kept.empty()) {
        // A first installation's database: the run's own goes, one the suite has written to stays.
        if (!FileExists(undo.Dest))
            return undo;
        if (IsRunsCopy(undo.Dest, Database)) {
            RemoveFileNoFollow(undo.Dest);
            return undo;
        }
        undo.Outcome = TDatabaseUndo::TOutcome::KeptInPlace;
        return undo;
    }
    if (!FileExists(kept)) {
        Host.Trace(L"Прежней базы данных нет под именем " + Quoted(kept) + L": возвращать нечего");
        return undo;
    }
    if (FileExists(undo.Dest) && SameFile(kept, undo.Dest)) {
        RemoveFileNoFollow(kept);
        return undo;
    }
    if (FileExists(undo.Dest) && !IsRunsCopy(undo.Dest, Database)) {
        // Written to since the commit: it keeps what the clinic recorded, under a name of its own.
        undo.Changed = FreeDatedName(undo.Dest, Now);
        bool linked = false;
        if (!NameAlso(undo.Dest, undo.Changed, linked, undo.Code)) {
            undo.Outcome = TDatabaseUndo::TOutcome::Stayed;
            return undo;
        }
        undo.Outcome = TDatabaseUndo::TOutcome::BothKept;
        // After a move the name is empty: the plain rename below gives it the clinic's database.
    } else {
        undo.Outcome = TDatabaseUndo::TOutcome::Restored;
    }
    if (!PutBack(kept, undo.Dest, undo.Code)) {
        // The database that was there stays there; a second name made for it goes again.
        if (undo.Outcome == TDatabaseUndo::TOutcome::BothKept && FileExists(undo.Dest) &&
            SameFile(undo.Changed, undo.Dest))
            RemoveFileNoFollow(undo.Changed);
        else if (undo.Outcome == TDatabaseUndo::TOutcome::BothKept && !FileExists(undo.Dest))
            ::MoveFileExW(undo.Changed.c_str(), undo.Dest.c_str(), MOVEFILE_WRITE_THROUGH);
        undo.Changed.clear();
        undo.Outcome = TDatabaseUndo::TOutcome::Stayed;
    }
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
