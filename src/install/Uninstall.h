// Removing the suite from its folder: what the installation's record lists and is unchanged goes, the
// clinic's data (the database with every copy of it, the settings) and every file changed or added since
// stay, and so do the fonts and the USB driver, which other programs use. It talks to whoever shows it
// through the same host as the installation run.
#pragma once

#include <string>

#include "install/InstallHost.h"

struct TUninstallOptions {
    std::wstring Target;      // the suite's folder, ending in "\"
    std::wstring ProductName; // string resource 1: the desktop link's name
    std::wstring ShellExe;    // string resource 4: the program the link leads to
    std::wstring Running;     // the program doing the removal: left for the clean-up after it ends
};

enum class TRemovalEnd {
    Completed,       // removed; the host was told which folder keeps the clinic's data
    NothingToRemove, // the folder holds no record of an installation
    Declined,        // the user said No to the question
};

// Asks first ("Удалить комплекс ...?"), then removes. A file held by another program is named to the host,
// which retries or stops (TCancelled, TFileInUse); other errors escape as TError.
TRemovalEnd RunUninstallation(IInstallHost& Host, const TUninstallOptions& Options);

// The texts of the removal.
namespace UninstallText {
std::wstring Question(const std::wstring& target);
std::wstring NothingToRemove(const std::wstring& target);
std::wstring Removed(std::size_t files);
// Two lines: the heading, then the folder that keeps the clinic's data.
inline constexpr wchar_t KeptHeading[] =
    L"База данных, настройки и изменённые после установки файлы сохранены в папке:";
std::wstring Kept(const std::wstring& target);
inline constexpr wchar_t LinkRemoved[] = L"Ярлык на рабочем столе удалён";
inline constexpr wchar_t Done[] = L"Удаление комплекса \"Тессаро-Холтер\" завершено.";
} // namespace UninstallText

// After an uninstaller that ran from the suite's own "Uninstall\" folder has ended (process `ProcessId`):
// removes "<Target>Uninstall\Setup.exe", then "Uninstall\" and the suite's folder where they are left empty,
// and has the running copy itself removed at the next restart. Nothing else is ever removed.
void FinishUninstall(const std::wstring& Target, unsigned long ProcessId);
