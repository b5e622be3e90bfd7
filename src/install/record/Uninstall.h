// Removing the suite from its folder: what the installation's record lists and is unchanged goes, the
// clinic's data (the database with every copy of it, the settings) and every file changed or added since
// stay, and so do the fonts and the USB driver, which other programs use. It talks to whoever shows it
// through the same host as the installation run.
// The folder is one any signed-in user may write: the record is read as hostile, and every file is opened
// once through the folder's gateway (TargetFolder.h), level by level, never through a link, outside the
// clinic's data, and hashed and deleted through that same handle.
#pragma once

#include <string>

#include "install/run/InstallHost.h"

struct TUninstallOptions {
    std::wstring Target;      // the suite's folder, ending in "\"
    std::wstring ProductName; // string resource 1: the desktop link's name
    std::wstring ShellExe;    // string resource 4: the program the link leads to
    std::wstring Running;     // the program doing the removal: left for the clean-up after it ends
};

enum class TRemovalEnd {
    Completed,       // removed; the host was told which folder keeps the clinic's data
    NothingToRemove, // no record, no entry and no uninstaller: the suite is not installed there
    Declined,        // the user said No to the question
    Incomplete,      // files the record vouches for could not be removed: they keep their lines in the
                     // record, the entry and the uninstaller stay, and the run's record says why
    Busy,            // another installation or removal works in the folder: nothing was done
    Stopped,         // an error or the user's cancel stopped it (RunUninstallation raises these; its session
                     // reports them so)
};

// Takes the folder's run lock (RunLock.h) and puts back what an installation killed there before its commit
// left (RunTransaction.h; TError when something stays), then asks ("Удалить комплекс ...?") and removes. A
// file held by another program is named to the host, which retries or stops (TCancelled, TFileInUse). A
// folder with an uninstaller or an entry but no readable record throws TError: what is installed there can no
// longer be told, and nothing is removed.
TRemovalEnd RunUninstallation(IInstallHost& Host, const TUninstallOptions& Options);

// The texts of the removal.
namespace UninstallText {
std::wstring Question(const std::wstring& target);
std::wstring NothingToRemove(const std::wstring& target);
std::wstring NoRecord(const std::wstring& target);
std::wstring Removed(std::size_t files);
std::wstring NotRemoved(std::size_t files);
inline constexpr wchar_t NotRecovered[] = L"Прежние файлы прерванной установки не удалось вернуть на место: "
                                          L"они названы в списке. Закройте программы комплекса и запустите "
                                          L"удаление снова.";
inline constexpr wchar_t StillRegistered[] = L"Комплекс остаётся в списке установленных программ.";
// Two lines: the heading, then the folder that keeps the clinic's data.
inline constexpr wchar_t KeptHeading[] =
    L"База данных, настройки и изменённые после установки файлы сохранены в папке:";
std::wstring Kept(const std::wstring& target);
inline constexpr wchar_t LinkRemoved[] = L"Ярлык на рабочем столе удалён";
} // namespace UninstallText
