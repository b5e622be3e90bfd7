// What a start gives the installation run to do: the target as the user typed it, the medium, the choices of
// the components page, the product's names from the resources, and stand-ins the tests give for the screen,
// the token and the disk.
#pragma once

#include <cstdint>
#include <string>

struct TInstallOptions {
    std::wstring TargetText;         // the path box's text as it stands
    std::wstring SourceFolder;       // the folder of the running program (the medium), ending in "\"
    int WindowsIndex = 0;            // the server file set: 0 for current Windows, other for Windows XP
    bool InstallDriver = true;       // "Устанавливать драйвер"
    bool Edition = false;            // the edition that writes "btooth.ini"
    std::wstring ProductName;        // string resource 1
    std::wstring ProductDescription; // string resource 2
    std::wstring ShellExe;           // string resource 4
    std::wstring Publisher;          // as the version resource names it
    std::wstring Uninstaller;        // the program put into the target as its uninstaller; empty: this one
    bool (*Elevated)() = nullptr;    // whether the process may install fonts; null for the token's own answer
    // Free bytes for the caller on the volume of Folder; false when unknown. Null for the system's answer.
    bool (*FreeBytes)(const std::wstring& Folder, std::uint64_t& Bytes) = nullptr;
};
