#include "install/record/Registration.h"

#include <windows.h>

#include "common/Error.h"
#include "common/ErrorWin.h"
#include "common/HandlesWin.h"
#include "common/StrUtils.h"
#include "install/record/InstallRecord.h"

namespace {

// A 32-bit installer writes the 32-bit view; the same flag keeps a 64-bit build of the program there too.
constexpr REGSAM View = KEY_WOW64_32KEY;

[[noreturn]] void ThrowRegistry(LSTATUS status, HKEY root) {
    ::SetLastError(static_cast<DWORD>(status));
    ThrowLastError(
        L"Не удалось записать в реестр раздел " +
        Quoted(std::wstring(root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE\\" : L"HKEY_CURRENT_USER\\") +
               UninstallKeyPath));
}

void SetText(HKEY key, HKEY root, const wchar_t* name, const std::wstring& value) {
    const LSTATUS status =
        ::RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        ThrowRegistry(status, root);
}

void SetNumber(HKEY key, HKEY root, const wchar_t* name, DWORD value) {
    const LSTATUS status =
        ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    if (status != ERROR_SUCCESS)
        ThrowRegistry(status, root);
}

std::optional<std::wstring> LocationIn(HKEY root) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, UninstallKeyPath, 0, KEY_QUERY_VALUE | View, &raw) != ERROR_SUCCESS)
        return std::nullopt;
    const TUniqueRegKey key(raw);
    wchar_t value[MAX_PATH * 2] = L"";
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key.Get(), L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(value),
                           &size) != ERROR_SUCCESS ||
        type != REG_SZ || value[0] == L'\0')
        return std::nullopt;
    return std::wstring(value);
}

} // namespace

void RegisterInstallation(const TRegistrationValues& Values, bool PerMachine) {
    const HKEY root = PerMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    HKEY raw = nullptr;
    const LSTATUS status = ::RegCreateKeyExW(root, UninstallKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                             KEY_SET_VALUE | View, nullptr, &raw, nullptr);
    if (status != ERROR_SUCCESS)
        ThrowRegistry(status, root);
    const TUniqueRegKey key(raw);
    SetText(key.Get(), root, L"DisplayName", L"Тессаро-Холтер");
    SetText(key.Get(), root, L"DisplayVersion", Values.DisplayVersion);
    SetNumber(key.Get(), root, L"VersionMajor", Values.VersionMajor);
    SetNumber(key.Get(), root, L"VersionMinor", Values.VersionMinor);
    SetText(key.Get(), root, L"Publisher", Values.Publisher);
    SetText(key.Get(), root, L"InstallLocation", Values.InstallLocation);
    SetText(key.Get(), root, L"InstallDate", Values.InstallDate);
    SetNumber(key.Get(), root, L"EstimatedSize", Values.EstimatedSizeKb);
    SetText(key.Get(), root, L"DisplayIcon", Values.DisplayIcon);
    SetText(key.Get(), root, L"UninstallString", Values.UninstallString);
    SetText(key.Get(), root, L"QuietUninstallString", Values.QuietUninstallString);
    SetNumber(key.Get(), root, L"NoModify", 1);
    SetNumber(key.Get(), root, L"NoRepair", 1);
    // The entry is what deployment tools and the uninstaller go by: on the disk before the run reports its
    // end.
    ::RegFlushKey(key.Get());
}

std::optional<TRegisteredSuite> FindRegistration(bool PreferMachine) {
    const HKEY order[2] = {PreferMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                           PreferMachine ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE};
    for (HKEY root : order)
        if (const auto location = LocationIn(root))
            return TRegisteredSuite{*location, root == HKEY_LOCAL_MACHINE};
    return std::nullopt;
}

std::optional<TRegisteredSuite> TrustedRegistration(bool Elevated) {
    if (!Elevated)
        return FindRegistration(false);
    if (const auto location = LocationIn(HKEY_LOCAL_MACHINE))
        return TRegisteredSuite{*location, true};
    return std::nullopt;
}

bool RemoveRegistration(const std::wstring& Target) {
    bool removed = false;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        const auto location = LocationIn(root);
        if (!location || !SameText(WithTrailingBackslash(*location), WithTrailingBackslash(Target)))
            continue;
        HKEY parent = nullptr;
        if (::RegOpenKeyExW(root, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                            DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE | View,
                            &parent) != ERROR_SUCCESS)
            continue;
        const TUniqueRegKey key(parent);
        removed = ::RegDeleteTreeW(key.Get(), UninstallKeyName) == ERROR_SUCCESS || removed;
    }
    return removed;
}

std::wstring UninstallCommand(const std::wstring& Target) {
    return L"\"" + Target + UninstallerName + L"\" /UNINSTALL";
}

std::wstring QuietUninstallCommand(const std::wstring& Target) {
    return UninstallCommand(Target) + L" /VERYSILENT /SUPPRESSMSGBOXES";
}
