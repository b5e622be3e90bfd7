#include "install/record/HandOver.h"

#include <windows.h>

#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/files/Folders.h"
#include "install/files/HeldFolders.h"
#include "install/record/InstallRecord.h"
#include "install/trust/Elevation.h"
#include "install/trust/TargetAccess.h"

namespace {

constexpr wchar_t FolderPrefix[] = L"TessaroUninstall-";
constexpr std::size_t RandomDigits = 16;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

TUniqueFile& OwnImage() {
    static TUniqueFile image;
    return image;
}

// The event the copy sets once it holds this process, so that the uninstaller does not end before the copy
// could make sure whose clean-up it does.
std::wstring HandOverEventName(DWORD processId) {
    return L"Local\\TessaroUninstallHandOver-" + std::to_wstring(processId);
}

std::wstring ImageOf(HANDLE process) {
    wchar_t image[MAX_PATH * 2] = L"";
    DWORD length = MAX_PATH * 2;
    return ::QueryFullProcessImageNameW(process, 0, image, &length) ? std::wstring(image, length)
                                                                    : std::wstring();
}

bool RunsFromHandOverFolder() {
    const std::wstring folder = WithoutTrailingBackslash(ExecutableFolder());
    const std::wstring temp = TempFolder();
    return !temp.empty() && SameText(ExtractFilePath(folder), temp) &&
           IsHandOverFolderName(folder.substr(ExtractFilePath(folder).size()));
}

} // namespace

bool IsHandOverFolderName(const std::wstring& Name) {
    const std::wstring prefix = FolderPrefix;
    if (Name.size() != prefix.size() + RandomDigits || !SameText(Name.substr(0, prefix.size()), prefix))
        return false;
    for (std::size_t i = prefix.size(); i < Name.size(); ++i)
        if (!((Name[i] >= L'0' && Name[i] <= L'9') || (Name[i] >= L'a' && Name[i] <= L'f')))
            return false;
    return true;
}

void HoldOwnImage() {
    if (OwnImage())
        return;
    OwnImage().Reset(::CreateFileW(ExecutablePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

bool HandOverCleanUp(const std::wstring& Target, std::wstring& Why) {
    if (!OwnImage()) {
        Why = L"файл программы удаления не удержан";
        return false;
    }
    const std::wstring folder = MakePrivateFolder(FolderPrefix, ProcessIsElevated(), Why);
    if (folder.empty())
        return false;
    const std::wstring copy = folder + L"Setup.exe";
    const auto giveUp = [&] {
        ::DeleteFileW(copy.c_str());
        ::RemoveDirectoryW(WithoutTrailingBackslash(folder).c_str());
        return false;
    };
    if (!CopyIntoNewFile(OwnImage().Get(), copy, Why))
        return giveUp();
    const DWORD self = ::GetCurrentProcessId();
    // An event of that name made before ours is someone else's, who could end the wait or keep it waiting.
    const TUniqueHandle taken(::CreateEventW(nullptr, TRUE, FALSE, HandOverEventName(self).c_str()));
    if (taken && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        Why = L"событие передачи уже создано другой программой";
        return giveUp();
    }
    std::wstring line = L"\"" + copy + L"\" /FINISHUNINSTALL=" + std::to_wstring(self) + L" /DIR=\"" +
                        WithTrailingBackslash(Target) + L"\" /VERYSILENT";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &info)) {
        Why = SystemErrorText(::GetLastError());
        return giveUp();
    }
    const TUniqueHandle thread(info.hThread);
    const TUniqueHandle process(info.hProcess);
    if (taken) {
        HANDLE waits[2] = {taken.Get(), process.Get()};
        ::WaitForMultipleObjects(2, waits, FALSE, 30000);
    }
    return true;
}

namespace {
// Whether two handles are open on one file or folder.
bool SameObject(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return ::GetFileInformationByHandle(a, &first) && ::GetFileInformationByHandle(b, &second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

// Removes the folder held as `held` where it is empty: reopened by its name for deleting, and removed only
// when that is still the folder held.
void RemoveHeldFolderIfEmpty(HANDLE held, HANDLE parent, const std::wstring& name, const std::wstring& path) {
    TUniqueFile again =
        parent
            ? OpenInFolder(parent, name, DELETE, ShareAll, true)
            : TUniqueFile(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                        OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!again || IsLinkObject(again.Get()) || !SameObject(again.Get(), held))
        return;
    // A folder that is not empty stays: the system refuses.
    FILE_DISPOSITION_INFO dispose{TRUE};
    ::SetFileInformationByHandle(again.Get(), FileDispositionInfo, &dispose, sizeof dispose);
}
} // namespace

bool FinishUninstall(const std::wstring& Target, unsigned long ProcessId) {
    if (!RunsFromHandOverFolder())
        return false;
    const std::wstring target = WithTrailingBackslash(Target);
    const std::wstring uninstaller = target + UninstallerName;
    const TUniqueHandle process(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(ProcessId)));
    if (!process || !SameText(ImageOf(process.Get()), uninstaller))
        return false;
    // The folders are held from before the wait: what is removed afterwards is removed from them, whatever
    // is renamed or put in their place meanwhile. Neither may be a link.
    const std::wstring suitePath = WithoutTrailingBackslash(target);
    const TUniqueFile suite(
        ::CreateFileW(suitePath.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!suite || IsLinkObject(suite.Get()))
        return false;
    const TUniqueFile folder = OpenInFolder(suite.Get(), UninstallFolder,
                                            FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, ShareAll, true);
    if (!folder || IsLinkObject(folder.Get()))
        return false;
    if (const TUniqueHandle taken(::OpenEventW(EVENT_MODIFY_STATE, FALSE,
                                               HandOverEventName(static_cast<DWORD>(ProcessId)).c_str()));
        taken)
        ::SetEvent(taken.Get());
    ::WaitForSingleObject(process.Get(), 60000);

    // A record still there means the removal did not complete: the uninstaller stays for the next one.
    if (OpenInFolder(folder.Get(), InstallRecordFile, FILE_READ_ATTRIBUTES, ShareAll, false))
        return false;
    // The ended program's file may stay locked for a moment after its process is gone.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const DWORD code = DeleteInFolder(folder.Get(), UninstallerFile, false);
        if (code == 0 || code == ERROR_FILE_NOT_FOUND)
            break;
        ::Sleep(100);
    }
    RemoveHeldFolderIfEmpty(folder.Get(), suite.Get(), UninstallFolder, {});
    RemoveHeldFolderIfEmpty(suite.Get(), nullptr, {}, suitePath);
    // This copy cannot remove itself while it runs: the system does it at the next restart, the file first,
    // then its folder (where the user may have that done; otherwise both stay among the temporary files).
    const std::wstring self = ExecutablePath();
    ::MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    ::MoveFileExW(WithoutTrailingBackslash(ExecutableFolder()).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return true;
}
