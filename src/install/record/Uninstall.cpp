#include "install/record/Uninstall.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <set>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/ContentHash.h"
#include "install/files/FilesInUse.h"
#include "install/files/Folders.h"
#include "install/files/TargetFolder.h"
#include "install/record/InstallRecord.h"
#include "install/record/InstalledFiles.h"
#include "install/record/Registration.h"
#include "install/run/ProtectedRows.h"
#include "install/run/RunLock.h"
#include "install/run/RunStop.h"
#include "install/run/RunTransaction.h"
#include "install/trust/Elevation.h"
#include "install/trust/Links.h"
#include "support/Shortcut.h"

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

enum class TFileFate {
    Removed,
    Gone, // not there any more
    Kept, // not the file the record vouches for any more (changed, replaced by a link or a folder)
    Failed,
};

// Opens the file the record vouches for to be hashed and deleted, sharing neither writing nor deleting; a
// file held by another program is named to the host. Invalid, with the fate in `fate`, where it is not to be
// removed.
TUniqueFile OpenRecordedFile(IInstallHost& host, TTargetFolder& target, const std::wstring& relative,
                             TFileFate& fate, std::wstring& why) {
    for (;;) {
        DWORD code = 0;
        TUniqueFile file;
        try {
            file = target.Open(relative, GENERIC_READ | DELETE | FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                               TTargetFolder::TUse::Remove, &code);
        } catch (const TForeignLink& link) {
            why = L"путь к нему ведёт через ссылку " + Quoted(link.Link());
            fate = TFileFate::Kept;
            return file;
        }
        if (file)
            return file;
        fate = code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? TFileFate::Gone
                                                                            : TFileFate::Failed;
        if (fate == TFileFate::Gone)
            return file;
        if (code == LinkInPlace || target.IsFolder(relative)) {
            why = L"на его месте ссылка или папка";
            fate = TFileFate::Kept;
            return file;
        }
        if (target.RetryInUse(host, target.Full(relative), code))
            continue;
        why = TargetErrorText(code);
        return file;
    }
}

// Removes one file the record vouches for: opened once, hashed and deleted through that handle.
TFileFate RemoveRecordedFile(IInstallHost& host, TTargetFolder& target, const TRecordedFile& file,
                             std::wstring& why) {
    for (;;) {
        TFileFate fate = TFileFate::Failed;
        const TUniqueFile handle = OpenRecordedFile(host, target, file.Path, fate, why);
        if (!handle)
            return fate;
        BY_HANDLE_FILE_INFORMATION info{};
        if (!::GetFileInformationByHandle(handle.Get(), &info)) {
            why = SystemErrorText(::GetLastError());
            return TFileFate::Failed;
        }
        // Changed since it was installed: the clinic's own now.
        if (FileStateOf(info).Size != file.Size ||
            HashOpenFile(handle.Get(), target.Full(file.Path)) != file.Hash) {
            why = L"изменён после установки";
            return TFileFate::Kept;
        }
        // The tree copy carries the medium's read-only attribute along, and a read-only file is not deleted.
        // The attribute is the file's wherever its other names lie: one with another name stays as it is.
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) && info.nNumberOfLinks > 1) {
            why = L"у файла есть другие имена";
            return TFileFate::Kept;
        }
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
        if (target.RetryInUse(host, target.Full(file.Path), code))
            continue;
        why = SystemErrorText(code);
        return TFileFate::Failed;
    }
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
bool InstalledThere(TTargetFolder& folder, const std::wstring& target) {
    if (folder.IsFile(UninstallerName))
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

namespace {

// What the removal's steps share. The folder's gateway exists from the row that holds it on.
struct TRemoval {
    TRemoval(IInstallHost& host, const TUninstallOptions& options)
        : Host(host), Options(options), Target(WithTrailingBackslash(options.Target)) {}
    IInstallHost& Host;
    const TUninstallOptions& Options;
    const std::wstring Target;
    bool Elevated = false;
    std::optional<TRunLock> Lock;
    std::unique_ptr<TTargetFolder> Folder;
    std::optional<TInstallRecord> Record;
    std::size_t Removed = 0;
    std::size_t Line = 0;
};

// A row's end: the removal goes on (nothing), or ends so.
using TRemovalStepEnd = std::optional<TRemovalEnd>;

// A folder that is, or lies in, a link anyone could have made leads the removal elsewhere; so does an
// uninstaller's folder that is one, where the record is read and rewritten. From here on everything below the
// folder goes through its gateway.
TRemovalStepEnd HoldFolder(TRemoval& removal) {
    const std::wstring foreign = ForeignLevelOfTarget(removal.Target);
    if (!foreign.empty())
        throw TError(ForeignRemovalText(foreign));
    removal.Folder = std::make_unique<TTargetFolder>(removal.Target);
    try {
        removal.Folder->FolderIfThere(UninstallFolder);
    } catch (const TForeignLink& link) {
        throw TError(ForeignRemovalText(link.Link()));
    }
    return std::nullopt;
}

// One run at a time in a folder: an installation under way there is not removed from under it.
TRemovalStepEnd TakeLock(TRemoval& removal) {
    removal.Lock.emplace(removal.Target);
    if (removal.Lock->Held()) {
        PassRunPoint(L"locked");
        return std::nullopt;
    }
    const std::wstring text = RunBusyText(removal.Target);
    removal.Host.ShowError(text);
    removal.Host.AddLine(text);
    return TRemovalEnd::Busy;
}

// An installation killed before its commit is undone first: what is removed is then one release, the
// record's, and the clinic's database is back under its name.
TRemovalStepEnd Recover(TRemoval& removal) {
    removal.Elevated = ProcessIsElevated();
    if (!RecoverInterruptedRun(removal.Host, *removal.Folder, removal.Elevated))
        throw TError(UninstallText::NotRecovered);
    return std::nullopt;
}

// With an administrator's rights the record is read only from a folder of the administrators'.
TRemovalStepEnd ReadRecord(TRemoval& removal) {
    removal.Record = ReadInstallRecord(*removal.Folder, removal.Elevated);
    if (removal.Record)
        return std::nullopt;
    if (InstalledThere(*removal.Folder, removal.Target))
        throw TError(UninstallText::NoRecord(removal.Target));
    removal.Host.AddLine(UninstallText::NothingToRemove(removal.Target));
    return TRemovalEnd::NothingToRemove;
}

TRemovalStepEnd Ask(TRemoval& removal) {
    if (removal.Host.AskYesNo(UninstallText::Question(removal.Target)))
        return std::nullopt;
    return TRemovalEnd::Declined;
}

TRemovalStepEnd RemoveLink(TRemoval& removal) {
    RemoveDesktopLink(removal.Host, removal.Options);
    return std::nullopt;
}

// Every file the record vouches for; the files that could not go keep their lines, so that the next removal
// takes them, and the entry and the uninstaller stay to make one.
TRemovalStepEnd RemoveFiles(TRemoval& removal) {
    IInstallHost& host = removal.Host;
    removal.Line = host.AddStepLine(L"Удаление файлов комплекса....");
    std::size_t kept = 0;
    std::vector<TRecordedFile> stayed;
    for (const TRecordedFile& file : removal.Record->Files) {
        if (InDataFolder(*removal.Record, file.Path) ||
            SameText(removal.Target + file.Path, removal.Options.Running))
            continue;
        std::wstring why;
        switch (RemoveRecordedFile(host, *removal.Folder, file, why)) {
        case TFileFate::Removed:
            ++removal.Removed;
            break;
        case TFileFate::Gone:
            break;
        case TFileFate::Kept:
            host.Trace(L"Файл " + Quoted(removal.Target + file.Path) + L" оставлен: " + why);
            ++kept;
            break;
        case TFileFate::Failed:
            host.Trace(L"Файл " + Quoted(removal.Target + file.Path) + L" не удалён: " + why);
            stayed.push_back(file);
            break;
        }
    }
    if (kept)
        host.Trace(L"Оставлено изменённых файлов: " + std::to_wstring(kept));
    if (stayed.empty())
        return std::nullopt;
    TInstallRecord rest = *removal.Record;
    rest.Files = stayed;
    removal.Folder->Replace(InstallRecordName, FormatInstallRecord(rest));
    host.CompleteLine(removal.Line, L"ОШИБКА!!!");
    host.AddLine(UninstallText::Removed(removal.Removed));
    host.AddLine(UninstallText::NotRemoved(stayed.size()));
    host.AddLine(UninstallText::StillRegistered);
    return TRemovalEnd::Incomplete;
}

// The uninstaller (unless it is the program doing the removal), the record and the folders left empty.
TRemovalStepEnd RemoveRecordItself(TRemoval& removal) {
    TTargetFolder& folder = *removal.Folder;
    if (!SameText(removal.Target + UninstallerName, removal.Options.Running))
        folder.Remove(UninstallerName);
    folder.Remove(InstallRecordName);
    for (const std::wstring& each : FoldersOf(removal.Record->Files))
        if (!InDataFolder(*removal.Record, each))
            folder.RemoveFolder(each);
    folder.RemoveFolder(UninstallFolder);
    removal.Host.CompleteLine(removal.Line, L"Завершено");
    return std::nullopt;
}

// The entry goes, and the folder too when nothing of the clinic's is left in it.
TRemovalStepEnd Unregister(TRemoval& removal) {
    IInstallHost& host = removal.Host;
    if (RemoveRegistration(removal.Target))
        host.Trace(L"Запись в списке установленных программ удалена");
    host.AddLine(UninstallText::Removed(removal.Removed));
    // Let go of, so that it can go itself.
    removal.Folder.reset();
    const std::wstring folder = WithoutTrailingBackslash(removal.Target);
    RemoveFolderUnlessLink(folder);
    if (FolderExists(folder)) {
        host.AddLine(UninstallText::KeptHeading);
        host.AddLine(UninstallText::Kept(removal.Target));
    }
    return TRemovalEnd::Completed;
}

struct TRemovalStep {
    TRemovalStepEnd (*Run)(TRemoval&);
    bool Protected; // the window refuses to close while the row runs
};

constexpr TRemovalStep RemovalSteps[] = {
    {&HoldFolder, false}, {&TakeLock, false},  {&Recover, false},    {&ReadRecord, false},
    {&Ask, false},        {&RemoveLink, true}, {&RemoveFiles, true}, {&RemoveRecordItself, true},
    {&Unregister, true},
};

} // namespace

TRemovalEnd RunUninstallation(IInstallHost& Host, const TUninstallOptions& Options) {
    TRemoval removal(Host, Options);
    TProtectedRows stretch(Host);
    for (const TRemovalStep& step : RemovalSteps) {
        stretch.Set(step.Protected);
        if (removal.Folder)
            removal.Folder->Recheck();
        if (const TRemovalStepEnd end = step.Run(removal))
            return *end;
    }
    return TRemovalEnd::Completed;
}
