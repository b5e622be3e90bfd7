// The suite's entry in "Programs and Features": what deployment tools detect an installed suite and its
// version by, and what the uninstaller and the next run's path page read back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Under Software\Microsoft\Windows\CurrentVersion\Uninstall, in the 32-bit view of the registry.
inline constexpr wchar_t UninstallKeyName[] = L"TessaroHolter";
inline constexpr wchar_t UninstallKeyPath[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaroHolter";

struct TRegistrationValues {
    std::wstring InstallLocation; // the target folder, ending in "\"
    std::wstring DisplayVersion;
    std::uint32_t VersionMajor = 0;
    std::uint32_t VersionMinor = 0;
    std::wstring Publisher;
    std::wstring InstallDate; // YYYYMMDD
    std::uint32_t EstimatedSizeKb = 0;
    std::wstring DisplayIcon;
    std::wstring UninstallString;
    std::wstring QuietUninstallString;
};

// Writes the entry, every value anew: HKEY_LOCAL_MACHINE for a run with an administrator's rights, the
// user's own hive otherwise. Throws TError naming the key when the registry refuses.
void RegisterInstallation(const TRegistrationValues& Values, bool PerMachine);

struct TRegisteredSuite {
    std::wstring InstallLocation;
    bool PerMachine = false;
};
// The entry this user sees: the machine's first when PreferMachine, the user's own first otherwise; nothing
// when neither holds a folder.
std::optional<TRegisteredSuite> FindRegistration(bool PreferMachine);
// The entry a start may take its folder from: an administrator's takes the machine's only, since any user may
// write their own entry and name any folder in it; others take their own, then the machine's.
std::optional<TRegisteredSuite> TrustedRegistration(bool Elevated);

// Removes every entry (machine's and user's) whose folder is `Target` (letter case and a trailing "\"
// aside); true when one was removed.
bool RemoveRegistration(const std::wstring& Target);

// The uninstaller's command lines for a suite in `Target`.
std::wstring UninstallCommand(const std::wstring& Target);
std::wstring QuietUninstallCommand(const std::wstring& Target);
