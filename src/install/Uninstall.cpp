#include "install/Uninstall.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/FileUtils.h"
#include "install/FilesInUse.h"
#include "install/InstallRecord.h"
#include "install/InstalledFiles.h"
#include "install/Registration.h"
#include "support/Shortcut.h"

namespace {

// Deletes a file the record vouches for; a file held by another program is named to the host. False (with
// the reason in the record of the run) when the system refuses for another reason: the file then stays.
bool DeleteRecordedFile(IInstallHost& host, const std::wstring& path) {
    // The tree copy carries the medium's read-only attribute along.
    SetReadOnlyAttr(path, false);
    for (;;) {
        if (::DeleteFileW(path.c_str()))
            return true;
        const DWORD code = ::GetLastError();
        if (RetryInUse(host, path, code))
            continue;
        host.Trace(L"Не удалён \"" + path + L"\": " + SystemErrorText(code));
        return false;
    }
}

// Every folder that holds a recorded file, down to the target's own, deepest first.
std::vector<std::wstring> FoldersOf(const TInstallRecord& record) {
    std::set<std::wstring, TPathLess> folders;
    for (const TRecordedFile& file : record.Files)
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
        host.Trace(L"Ярлык \"" + link + L"\" ведёт не в папку комплекса (\"" + target + L"\") и оставлен");
        return;
    }
    if (DeleteRecordedFile(host, link))
        host.AddLine(UninstallText::LinkRemoved);
}

} // namespace

namespace UninstallText {
std::wstring Question(const std::wstring& target) {
    return L"Удалить комплекс \"Тессаро-Холтер\" из папки \"" + target +
           L"\"?\r\n\r\nБаза данных (папка DTAfb) и настройки (папка Settings) будут сохранены.";
}
std::wstring NothingToRemove(const std::wstring& target) {
    return L"В папке \"" + target + L"\" нет сведений об установке комплекса: удалять нечего.";
}
std::wstring Removed(std::size_t files) {
    return L"Удалено файлов: " + std::to_wstring(files);
}
std::wstring Kept(const std::wstring& target) {
    return L"\"" + target + L"\"";
}
} // namespace UninstallText

TRemovalEnd RunUninstallation(IInstallHost& Host, const TUninstallOptions& Options) {
    const std::wstring& target = Options.Target;
    Host.ShowProgressPage();
    Host.Pump();
    const std::optional<TInstallRecord> record = ReadInstallRecord(target);
    if (!record) {
        // An entry left behind for a folder without a record leads nowhere: it goes too.
        if (RemoveRegistration(target))
            Host.Trace(L"Запись в списке установленных программ удалена");
        Host.AddLine(UninstallText::NothingToRemove(target));
        return TRemovalEnd::NothingToRemove;
    }
    if (!Host.AskYesNo(UninstallText::Question(target)))
        return TRemovalEnd::Declined;

    TProtectedStretch stretch(Host);
    RemoveDesktopLink(Host, Options);

    const std::size_t line = Host.AddStepLine(L"Удаление файлов комплекса....");
    Host.Pump();
    std::size_t removed = 0, kept = 0;
    for (const TRecordedFile& file : record->Files) {
        const std::wstring path = target + file.Path;
        if (InDataFolder(*record, file.Path) || SameText(path, Options.Running))
            continue;
        const std::optional<std::uint64_t> size = FileSizeOf(path);
        if (!size)
            continue;
        // Changed since it was installed: the clinic's own now.
        if (*size != file.Size || HashFile(path, TPumpNowAndThen(Host)) != file.Hash) {
            Host.Trace(L"Изменён после установки, оставлен: \"" + path + L"\"");
            ++kept;
            continue;
        }
        if (DeleteRecordedFile(Host, path)) {
            ++removed;
            if (removed % 32 == 0)
                Host.Pump();
        } else {
            ++kept;
        }
    }
    const std::wstring uninstaller = target + UninstallerName;
    if (!SameText(uninstaller, Options.Running) && FileExists(uninstaller))
        DeleteRecordedFile(Host, uninstaller);
    ::DeleteFileW((target + InstallRecordName).c_str());
    for (const std::wstring& folder : FoldersOf(*record))
        if (!InDataFolder(*record, folder))
            ::RemoveDirectoryW((target + folder).c_str());
    ::RemoveDirectoryW((target + UninstallFolder).c_str());
    Host.CompleteLine(line, L"Завершено");

    if (RemoveRegistration(target))
        Host.Trace(L"Запись в списке установленных программ удалена");
    Host.AddLine(UninstallText::Removed(removed));
    if (kept)
        Host.Trace(L"Оставлено изменённых или занятых файлов: " + std::to_wstring(kept));
    // The folder goes too when nothing of the clinic's is left in it.
    std::wstring folder = target;
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    if (!::RemoveDirectoryW(folder.c_str()) && FolderExists(folder)) {
        Host.AddLine(UninstallText::KeptHeading);
        Host.AddLine(UninstallText::Kept(target));
    }
    return TRemovalEnd::Completed;
}

void FinishUninstall(const std::wstring& Target, unsigned long ProcessId) {
    if (HANDLE raw = ::OpenProcess(SYNCHRONIZE, FALSE, ProcessId)) {
        const TUniqueHandle process(raw);
        ::WaitForSingleObject(process.Get(), 60000);
    }
    const std::wstring uninstaller = Target + UninstallerName;
    // The ended program's file may stay locked for a moment after its process is gone.
    for (int attempt = 0; attempt < 50 && FileExists(uninstaller) && !::DeleteFileW(uninstaller.c_str());
         ++attempt)
        ::Sleep(100);
    ::RemoveDirectoryW((Target + UninstallFolder).c_str());
    std::wstring folder = Target;
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    ::RemoveDirectoryW(folder.c_str());
    // This copy in the temporary folder cannot remove itself while it runs: the system does it at the next
    // restart (where the user may have that done; otherwise it stays among the temporary files).
    wchar_t self[MAX_PATH * 2] = L"";
    if (::GetModuleFileNameW(nullptr, self, MAX_PATH * 2))
        ::MoveFileExW(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
