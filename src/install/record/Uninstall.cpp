#include "install/record/Uninstall.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/Folders.h"
#include "install/files/FilesInUse.h"
#include "install/record/InstallRecord.h"
#include "install/run/InstallRun.h"
#include "install/record/InstalledFiles.h"
#include "install/trust/Links.h"
#include "install/record/Registration.h"
#include "install/run/RunLock.h"
#include "install/run/RunStop.h"
#include "install/run/RunTransaction.h"
#include "support/Shortcut.h"

namespace {

// Where the suite's folder, and the folders the removal never touches, are in the end: each file is checked
// against these after it was opened, so that no link on the way can lead the removal elsewhere.
struct TRemovalScope {
    std::wstring Target;                 // as given, ending in "\"
    std::wstring FinalTarget;            // where it is in the end
    std::vector<std::wstring> Untouched; // the clinic's data folders and the uninstaller's, where they are
};

TRemovalScope ScopeOf(const std::wstring& target) {
    TRemovalScope scope{target, FinalPathOfPath(target), {}};
    std::vector<std::wstring> folders = ClinicDataFolders();
    folders.push_back(UninstallFolder);
    for (const std::wstring& folder : folders) {
        std::wstring final = FinalPathOfPath(target + folder);
        if (!final.empty())
            scope.Untouched.push_back(std::move(final));
    }
    return scope;
}

enum class TFileFate {
    Removed,
    Gone, // not there any more
    Kept, // not the file the record vouches for any more (changed, replaced by a link, led elsewhere)
    Failed,
};

// Whether a level below the target on the way to `folder` is a link an administrator made: a file may then
// lie on another disk in the end, and only the folders the removal never touches bound where it may be.
bool ThroughTrustedLink(const std::wstring& target, const std::wstring& folder) {
    const std::wstring below = WithTrailingBackslash(folder);
    for (std::size_t slash = below.find(L'\\', target.size()); slash != std::wstring::npos;
         slash = below.find(L'\\', slash + 1))
        if (LinkKindOf(below.substr(0, slash)) == TLinkKind::Trusted)
            return true;
    return false;
}

// Why an opened file is not one the removal may delete; empty when it is.
std::wstring Refusal(const TRemovalScope& scope, const std::wstring& path, HANDLE file,
                     const BY_HANDLE_FILE_INFORMATION& info) {
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))
        return L"на его месте ссылка или папка";
    const std::wstring final = FinalPathOf(file);
    if (final.empty())
        return L"не удалось узнать, где он лежит";
    if (!FinalPathWithin(final, scope.FinalTarget) &&
        !ThroughTrustedLink(scope.Target, ExtractFilePath(path)))
        return L"ведёт за пределы папки комплекса, в " + Quoted(final);
    for (const std::wstring& untouched : scope.Untouched)
        if (FinalPathWithin(final, untouched))
            return L"ведёт в папку данных " + Quoted(final);
    return {};
}

// Removes one file the record vouches for: opened once, not following a link in its own place, sharing
// neither writing nor deleting, checked where it lies, hashed and deleted through that handle. A file held
// by another program is named to the host. `why` says why a file was kept or could not be removed.
TFileFate RemoveRecordedFile(IInstallHost& host, const TRemovalScope& scope, const TRecordedFile& file,
                             std::wstring& why) {
    const std::wstring path = scope.Target + file.Path;
    const std::wstring foreign = FirstForeignLevel(
        scope.Target, ExtractFilePath(path), [](const std::wstring& level) { return LinkKindOf(level); });
    if (!foreign.empty()) {
        why = L"путь к нему ведёт через ссылку " + Quoted(foreign);
        return TFileFate::Kept;
    }
    for (;;) {
        TUniqueFile handle(::CreateFileW(path.c_str(), GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!handle) {
            const DWORD code = ::GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
                return TFileFate::Gone;
            if (RetryInUse(host, path, code))
                continue;
            why = SystemErrorText(code);
            return TFileFate::Failed;
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(handle.Get(), &info)) {
            why = SystemErrorText(::GetLastError());
            return TFileFate::Failed;
        }
        why = Refusal(scope, path, handle.Get(), info);
        if (!why.empty())
            return TFileFate::Kept;
        // Changed since it was installed: the clinic's own now.
        if (FileStateOf(info).Size != file.Size || HashOpenFile(handle.Get(), path) != file.Hash) {
            why = L"изменён после установки";
            return TFileFate::Kept;
        }
        // The tree copy carries the medium's read-only attribute along, and a read-only file is not deleted.
        if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
            FILE_BASIC_INFO basic{};
            basic.FileAttributes =
                (info.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY}) | FILE_ATTRIBUTE_ARCHIVE;
            ::SetFileInformationByHandle(handle.Get(), FileBasicInfo, &basic, sizeof basic);
        }
        FILE_DISPOSITION_INFO dispose{TRUE};
        if (::SetFileInformationByHandle(handle.Get(), FileDispositionInfo, &dispose, sizeof dispose))
            return TFileFate::Removed;
        const DWORD code = ::GetLastError();
        handle.Reset();
        if (RetryInUse(host, path, code))
            continue;
        why = SystemErrorText(code);
        return TFileFate::Failed;
    }
}

// Removes an empty folder of the record's, unless it is a link or leads anywhere but where it is named.
void RemoveEmptyFolder(const TRemovalScope& scope, const std::wstring& relative) {
    const std::wstring path = scope.Target + relative;
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return;
    TUniqueFile folder(::CreateFileW(
        path.c_str(), DELETE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!folder || !::GetFileInformationByHandle(folder.Get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return;
    // Named as it is found: a folder whose end lies elsewhere is a link the system did not call one.
    const std::wstring final = FinalPathOf(folder.Get());
    if (final.empty() || !SameText(final, WithoutTrailingBackslash(scope.FinalTarget + L"\\" + relative)))
        return;
    // A folder that is not empty stays: the system refuses.
    FILE_DISPOSITION_INFO dispose{TRUE};
    ::SetFileInformationByHandle(folder.Get(), FileDispositionInfo, &dispose, sizeof dispose);
}

// Every folder that holds a recorded file, down to the target's own, deepest first.
std::vector<std::wstring> FoldersOf(const std::vector<TRecordedFile>& files) {
    std::set<std::wstring, TPathLess> folders;
    for (const TRecordedFile& file : files)
        for (std::size_t slash = file.Path.rfind(L'\\'); slash != std::wstring::npos && slash > 0;
             slash = file.Path.rfind(L'\\', slash - 1))
            folders.insert(file.Path.substr(0, slash));
    std::vector<std::wstring> ordered(folders.begin(), folders.end());
    std::stable_sort(ordered.begin(), ordered.end(), [](const std::wstring& a, const std::wstring& b) {
        return std::count(a.begin(), a.end(), L'\\') > std::count(b.begin(), b.end(), L'\\');
    });
    return ordered;
}

void RemoveDesktopLink(IInstallHost& host, const TUninstallOptions& options) {
    const std::wstring link = ShortcutPath(options.Target + options.ShellExe, 0, L"", options.ProductName);
    if (link.empty() || !FileExists(link))
        return;
    // Only the suite's own link: one the user pointed elsewhere under the same name stays.
    const std::wstring target = ShortcutTarget(link);
    if (!PathInFolder(target, WithTrailingBackslash(options.Target))) {
        host.Trace(L"Ярлык " + Quoted(link) + L" ведёт не в папку комплекса (" + Quoted(target) +
                   L") и оставлен");
        return;
    }
    for (;;) {
        if (::DeleteFileW(link.c_str())) {
            host.AddLine(UninstallText::LinkRemoved);
            return;
        }
        const DWORD code = ::GetLastError();
        if (RetryInUse(host, link, code))
            continue;
        host.Trace(L"Ярлык " + Quoted(link) + L" не удалён: " + SystemErrorText(code));
        return;
    }
}

// Whether anything says the suite is installed in the folder: an uninstaller, or an entry in "Programs and
// Features".
bool InstalledThere(const std::wstring& target) {
    if (FileExists(target + UninstallerName))
        return true;
    for (bool machine : {true, false})
        if (const auto registered = FindRegistration(machine))
            if (SameText(WithTrailingBackslash(registered->InstallLocation), target))
                return true;
    return false;
}

} // namespace

namespace UninstallText {
std::wstring Question(const std::wstring& target) {
    return L"Удалить комплекс «Тессаро-Холтер» из папки " + Quoted(target) +
           L"?\r\n\r\nБаза данных (папка «DTAfb») и настройки (папка «Settings») будут сохранены.";
}
std::wstring NothingToRemove(const std::wstring& target) {
    return L"В папке " + Quoted(target) + L" комплекс не установлен: удалять нечего.";
}
std::wstring NoRecord(const std::wstring& target) {
    return L"В папке " + Quoted(target) +
           L" нет сведений о том, какие файлы установлены: удалять их нельзя. Установите комплекс в эту "
           L"папку "
           L"снова, затем удалите его.";
}
std::wstring Removed(std::size_t files) {
    return L"Удалено файлов: " + std::to_wstring(files);
}
std::wstring NotRemoved(std::size_t files) {
    return L"Не удалось удалить файлов: " + std::to_wstring(files) + L"; они названы в журнале удаления.";
}
std::wstring Kept(const std::wstring& target) {
    return Quoted(target);
}
} // namespace UninstallText

TRemovalEnd RunUninstallation(IInstallHost& Host, const TUninstallOptions& Options) {
    const std::wstring target = WithTrailingBackslash(Options.Target);
    // A folder that is, or lies in, a link anyone could have made leads the removal elsewhere; so does an
    // uninstaller's folder that is one, where the record is read and rewritten.
    std::wstring foreign = ForeignLevelOfTarget(target);
    if (foreign.empty() && LinkKindOf(target + UninstallFolder) == TLinkKind::Foreign)
        foreign = target + UninstallFolder;
    if (!foreign.empty())
        throw TError(ForeignRemovalText(foreign));
    // One run at a time in a folder: an installation under way there is not removed from under it.
    const TRunLock lock(target);
    if (!lock.Held()) {
        const std::wstring text = RunBusyText(target);
        Host.ShowError(text);
        Host.AddLine(text);
        return TRemovalEnd::Busy;
    }
    PassRunPoint(L"locked");
    const bool elevated = ProcessIsElevated();
    // An installation killed before its commit is undone first: what is removed is then one release, the
    // record's, and the clinic's database is back under its name.
    if (!RecoverInterruptedRun(Host, target, elevated))
        throw TError(UninstallText::NotRecovered);
    // With an administrator's rights the record is read only from a folder of the administrators'.
    const std::optional<TInstallRecord> record = ReadInstallRecord(target, elevated);
    if (!record) {
        if (InstalledThere(target))
            throw TError(UninstallText::NoRecord(target));
        Host.AddLine(UninstallText::NothingToRemove(target));
        return TRemovalEnd::NothingToRemove;
    }
    if (!Host.AskYesNo(UninstallText::Question(target)))
        return TRemovalEnd::Declined;

    TProtectedStretch stretch(Host);
    RemoveDesktopLink(Host, Options);

    const std::size_t line = Host.AddStepLine(L"Удаление файлов комплекса....");
    const TRemovalScope scope = ScopeOf(target);
    std::size_t removed = 0, kept = 0;
    std::vector<TRecordedFile> stayed;
    for (const TRecordedFile& file : record->Files) {
        if (InDataFolder(*record, file.Path) || SameText(target + file.Path, Options.Running))
            continue;
        std::wstring why;
        switch (RemoveRecordedFile(Host, scope, file, why)) {
        case TFileFate::Removed:
            ++removed;
            break;
        case TFileFate::Gone:
            break;
        case TFileFate::Kept:
            Host.Trace(L"Файл " + Quoted(target + file.Path) + L" оставлен: " + why);
            ++kept;
            break;
        case TFileFate::Failed:
            Host.Trace(L"Файл " + Quoted(target + file.Path) + L" не удалён: " + why);
            stayed.push_back(file);
            break;
        }
    }
    if (!stayed.empty()) {
        // The files that stayed keep their lines, so that the next removal takes them; the entry and the
        // uninstaller stay to make one.
        TInstallRecord rest = *record;
        rest.Files = stayed;
        ReplaceFileContents(target + InstallRecordName, FormatInstallRecord(rest));
        Host.CompleteLine(line, L"ОШИБКА!!!");
        Host.AddLine(UninstallText::Removed(removed));
        Host.AddLine(UninstallText::NotRemoved(stayed.size()));
        Host.AddLine(UninstallText::StillRegistered);
        return TRemovalEnd::Incomplete;
    }

    const std::wstring uninstaller = target + UninstallerName;
    if (!SameText(uninstaller, Options.Running) && FileExists(uninstaller))
        ::DeleteFileW(uninstaller.c_str());
    ::DeleteFileW((target + InstallRecordName).c_str());
    for (const std::wstring& folder : FoldersOf(record->Files))
        if (!InDataFolder(*record, folder))
            RemoveEmptyFolder(scope, folder);
    RemoveEmptyFolder(scope, UninstallFolder);
    Host.CompleteLine(line, L"Завершено");

    if (RemoveRegistration(target))
        Host.Trace(L"Запись в списке установленных программ удалена");
    Host.AddLine(UninstallText::Removed(removed));
    if (kept)
        Host.Trace(L"Оставлено изменённых файлов: " + std::to_wstring(kept));
    // The folder goes too when nothing of the clinic's is left in it.
    const std::wstring folder = WithoutTrailingBackslash(target);
    RemoveFolderUnlessLink(folder);
    if (FolderExists(folder)) {
        Host.AddLine(UninstallText::KeptHeading);
        Host.AddLine(UninstallText::Kept(target));
    }
    return TRemovalEnd::Completed;
}
