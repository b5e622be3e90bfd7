#define _CRT_RAND_S // rand_s: random numbers from the system, for names no one can guess
#include "install/HandOver.h"

#include <windows.h>

#include <cstdlib>
#include <memory>

#include "common/ErrorWin.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/Folders.h"
#include "install/FolderAccess.h"
#include "install/InstallRecord.h"
#include "install/InstallRun.h"
#include "install/Links.h"

namespace {

constexpr wchar_t FolderPrefix[] = L"TessaroUninstall-";
constexpr std::size_t RandomDigits = 16;

TUniqueFile& OwnImage() {
    static TUniqueFile image;
    return image;
}

// The event the copy sets once it holds this process, so that the uninstaller does not end before the copy
// could make sure whose clean-up it does.
std::wstring HandOverEventName(DWORD processId) {
    return L"Local\\TessaroUninstallHandOver-" + std::to_wstring(processId);
}

std::wstring RandomHex() {
    std::wstring digits;
    while (digits.size() < RandomDigits) {
        unsigned int value = 0;
        if (rand_s(&value) != 0)
            return {};
        wchar_t part[9];
        swprintf(part, 9, L"%08x", value);
        digits += part;
    }
    return digits.substr(0, RandomDigits);
}

// A new folder in the temporary folder that only the system, the administrators and (without an
// administrator's rights) this user may write; refused where the name exists, so that no one can have
// prepared it.
std::wstring MakePrivateFolder(std::wstring& why) {
    const std::wstring temp = TempFolder();
    if (temp.empty()) {
        why = L"временная папка не найдена";
        return {};
    }
    TProtectedAccess access(L"", ProcessIsElevated() ? std::wstring() : CurrentUserSid());
    SECURITY_ATTRIBUTES attributes{sizeof attributes, access.Descriptor(), FALSE};
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::wstring random = RandomHex();
        if (random.empty())
            break;
        const std::wstring folder = temp + FolderPrefix + random;
        if (::CreateDirectoryW(folder.c_str(), &attributes))
            return folder + L"\\";
        why = SystemErrorText(::GetLastError());
    }
    if (why.empty())
        why = L"не удалось получить случайное имя папки";
    return {};
}

// Copies the held image into `dest`, created anew.
bool CopyOwnImage(const std::wstring& dest, std::wstring& why) {
    HANDLE source = OwnImage().Get();
    LARGE_INTEGER start{};
    if (!OwnImage() || !::SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) {
        why = L"файл программы удаления не удержан";
        return false;
    }
    TUniqueFile copy(
        ::CreateFileW(dest.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy) {
        why = SystemErrorText(::GetLastError());
        return false;
    }
    const std::unique_ptr<char[]> buffer(new char[65536]);
    for (;;) {
        DWORD got = 0, put = 0;
        if (!::ReadFile(source, buffer.get(), 65536, &got, nullptr) ||
            (got && (!::WriteFile(copy.Get(), buffer.get(), got, &put, nullptr) || put != got))) {
            why = SystemErrorText(::GetLastError());
            copy.Reset();
            ::DeleteFileW(dest.c_str());
            return false;
        }
        if (got == 0)
            return true;
    }
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
    const std::wstring folder = MakePrivateFolder(Why);
    if (folder.empty())
        return false;
    const std::wstring copy = folder + L"Setup.exe";
    if (!CopyOwnImage(copy, Why)) {
        ::RemoveDirectoryW(WithoutTrailingBackslash(folder).c_str());
        return false;
    }
    const DWORD self = ::GetCurrentProcessId();
    const TUniqueHandle taken(::CreateEventW(nullptr, TRUE, FALSE, HandOverEventName(self).c_str()));
    std::wstring line = L"\"" + copy + L"\" /FINISHUNINSTALL=" + std::to_wstring(self) + L" /DIR=\"" +
                        WithTrailingBackslash(Target) + L"\" /VERYSILENT";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(copy.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                          &startup, &info)) {
        Why = SystemErrorText(::GetLastError());
        ::DeleteFileW(copy.c_str());
        ::RemoveDirectoryW(WithoutTrailingBackslash(folder).c_str());
        return false;
    }
    const TUniqueHandle thread(info.hThread);
    const TUniqueHandle process(info.hProcess);
    if (taken) {
        HANDLE waits[2] = {taken.Get(), process.Get()};
        ::WaitForMultipleObjects(2, waits, FALSE, 30000);
    }
    return true;
}

bool FinishUninstall(const std::wstring& Target, unsigned long ProcessId) {
    if (!RunsFromHandOverFolder())
        return false;
    const std::wstring target = WithTrailingBackslash(Target);
    const std::wstring uninstaller = target + UninstallerName;
    const TUniqueHandle process(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(ProcessId)));
    if (!process || !SameText(ImageOf(process.Get()), uninstaller))
        return false;
    if (const TUniqueHandle taken(::OpenEventW(EVENT_MODIFY_STATE, FALSE,
                                               HandOverEventName(static_cast<DWORD>(ProcessId)).c_str()));
        taken)
        ::SetEvent(taken.Get());
    ::WaitForSingleObject(process.Get(), 60000);

    // A record still there means the removal did not complete: the uninstaller stays for the next one.
    if (PathExists(target + InstallRecordName) || !ForeignLevelOfTarget(target + UninstallFolder).empty())
        return false;
    // The ended program's file may stay locked for a moment after its process is gone.
    for (int attempt = 0; attempt < 50 && FileExists(uninstaller) && !::DeleteFileW(uninstaller.c_str());
         ++attempt)
        ::Sleep(100);
    RemoveFolderUnlessLink(target + UninstallFolder);
    RemoveFolderUnlessLink(target);
    // This copy cannot remove itself while it runs: the system does it at the next restart, the file first,
    // then its folder (where the user may have that done; otherwise both stay among the temporary files).
    const std::wstring self = ExecutablePath();
    ::MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    ::MoveFileExW(WithoutTrailingBackslash(ExecutableFolder()).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return true;
}
