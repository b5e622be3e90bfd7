// What the link tests share: a link file read back through the shell's own link object, and the user's
// desktop pointed at a folder of the test's for one scope.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <optional>
#include <string>

#include "RegistryState.h"
#include "win/ComPtr.h"

inline constexpr wchar_t ShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr wchar_t UserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

struct TLinkContent {
    std::wstring Target, Arguments, Description, WorkingDir;
};

inline TLinkContent ReadLink(const std::wstring& path) {
    TComPtr<IShellLinkW> link;
    CheckHResult(
        ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid()),
        L"CLSID_ShellLink");
    const TComPtr<IPersistFile> file = link.As<IPersistFile>(IID_IPersistFile);
    CheckHResult(file->Load(path.c_str(), STGM_READ), L"Load");
    TLinkContent content;
    wchar_t text[INFOTIPSIZE] = {};
    // From the item list: the path the link stores beside it is in the ANSI code page.
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items) {
        ::SHGetPathFromIDListW(items, text);
        ::CoTaskMemFree(items);
    }
    content.Target = text;
    text[0] = 0;
    link->GetArguments(text, INFOTIPSIZE);
    content.Arguments = text;
    text[0] = 0;
    link->GetDescription(text, INFOTIPSIZE);
    content.Description = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH);
    content.WorkingDir = text;
    return content;
}

// Wine hands every new link to a program of its own that makes a menu entry of the host's from it and may
// live on for a while, in the folder that was current. For a scope it is switched off (an empty override).
class TNoMenuBuilder {
public:
    TNoMenuBuilder()
        : FOverride(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"winemenubuilder.exe", L"") {}

private:
    TRegistryValueOverride FOverride;
};

// The desktop in both registry places: Wine's shell copies the per-user one into the other whenever it
// looks the folder up. No folder: no desktop at all.
class TDesktopFolder {
public:
    explicit TDesktopFolder(const std::optional<std::wstring>& folder)
        : FUser(HKEY_CURRENT_USER, UserShellFolders, L"Desktop", folder),
          FShell(HKEY_CURRENT_USER, ShellFolders, L"Desktop", folder) {}

private:
    TNoMenuBuilder FNoMenuBuilder;
    TRegistryValueOverride FUser;
    TRegistryValueOverride FShell;
};
