// Shell links through the shell's own link object; the name and place rules live in ShortcutName.
#include "support/Shortcut.h"

#include <windows.h>
#include <shlobj.h>

#include <iterator>

#include "common/HandlesWin.h"
#include "support/ShortcutName.h"
#include "win/ComPtr.h"
#include "win/ShellFunctions.h"

namespace {

constexpr wchar_t ExplorerFolders[] =
    L"Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr wchar_t GroupMaps[] = L"Software\\MicroSoft\\Windows\\CurrentVersion\\GrpConv\\MapGroups";

// A text value of the current user's registry as it stands; empty when the key, the value or text is missing.
std::wstring ReadUserText(const wchar_t* keyName, const wchar_t* valueName) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return {};
    const TUniqueRegKey key(raw);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(key.Get(), valueName, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                           &size) != ERROR_SUCCESS)
        return {};
    text.resize(size / sizeof(wchar_t));
    // The stored text may or may not carry its terminator.
    const std::size_t end = text.find(L'\0');
    if (end != std::wstring::npos)
        text.resize(end);
    return text;
}

std::wstring DestinationFolder(std::uint8_t Location, const std::wstring& SubFolder) {
    switch (Location) {
    case 0:
        return ReadUserText(ExplorerFolders, L"Desktop");
    case 1:
        return ReadUserText(GroupMaps, L"Quick Launch");
    case 2:
        return ReadUserText(ExplorerFolders, L"SendTo");
    case 3:
        return ReadUserText(ExplorerFolders, L"Start Menu");
    case LinkLocationFolder:
        return SubFolder;
    default:
        return {};
    }
}

} // namespace

void CreateShortcut(const std::wstring& FileName, std::uint8_t Location, const std::wstring& SubFolder,
                    const std::wstring& WorkingDir, const std::wstring& Arguments,
                    const std::wstring& Description, const std::wstring& LinkName, std::wstring& LinkPath) {
    TComPtr<IShellLinkW> link;
    CheckHResult(Ole::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                       link.PutVoid()),
                 L"CLSID_ShellLink");
    const TComPtr<IPersistFile> file = link.As<IPersistFile>(IID_IPersistFile);

    // A link is a convenience: what the shell refuses here leaves the installation as it is.
    link->SetPath(FileName.c_str());
    link->SetArguments(Arguments.c_str());
    link->SetDescription(Description.c_str());

    const std::wstring linkFile = LinkFileName(FileName, LinkName);
    const std::wstring folder = DestinationFolder(Location, SubFolder);
    if (folder.empty())
        return;
    const std::wstring path = LinkFilePath(folder, Location, SubFolder, linkFile);
    link->SetWorkingDirectory(LinkWorkingDir(WorkingDir, FileName).c_str());
    file->Save(path.c_str(), FALSE);
    LinkPath = path;
}

std::wstring ShortcutPath(const std::wstring& FileName, std::uint8_t Location, const std::wstring& SubFolder,
                          const std::wstring& LinkName) {
    const std::wstring folder = DestinationFolder(Location, SubFolder);
    if (folder.empty())
        return {};
    return LinkFilePath(folder, Location, SubFolder, LinkFileName(FileName, LinkName));
}

std::wstring ShortcutTarget(const std::wstring& LinkPath) {
    TComPtr<IShellLinkW> link;
    if (FAILED(Ole::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     link.PutVoid())))
        return {};
    TComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) ||
        FAILED(file->Load(LinkPath.c_str(), STGM_READ)))
        return {};
    wchar_t target[MAX_PATH * 2] = L"";
    // The item list keeps the whole name; the link's plain path may be kept in the system's code page only
    // (Wine does so), which loses Cyrillic letters.
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items) {
        const bool found = ShellPathFromIdList(items, target);
        Ole::CoTaskMemFree(items);
        if (found && target[0])
            return target;
    }
    if (FAILED(link->GetPath(target, static_cast<int>(std::size(target)), nullptr, 0)))
        return {};
    return target;
}
