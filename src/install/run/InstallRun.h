// The installation run: from "Начать установку" to the last step, reported to a host (the main window, a
// silent run, a test) through IInstallHost.
#pragma once

#include <cstdint>
#include <string>

#include "install/run/InstallHost.h"
#include "install/run/RunOutcome.h"

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

// Runs every step in order, holding the folder's run lock (RunLock.h) throughout, and returns how it ended.
// Nothing escapes: an error that is not a step's own failure (a file that cannot be opened or created, a
// package that cannot be installed, a stop because the session ends) ends the run with its reason, after the
// protected stretch has been lowered and the run has been undone where it had not committed.
TRunOutcome RunInstallation(IInstallHost& Host, const TInstallOptions& Options);

// Whether this process has an administrator's rights (the fonts, and registration for the whole machine).
bool ProcessIsElevated();

// The texts of the run's own lines and questions.
namespace RunText {
inline constexpr wchar_t DirCreateError[] = L"Ошибка при создании каталога!";
inline constexpr wchar_t DirCreated[] = L"Каталог создан...";
inline constexpr wchar_t SettingsStep[] = L"Создание настроечных файлов....";
inline constexpr wchar_t Done[] = L"Завершено";
inline constexpr wchar_t Failed[] = L"ОШИБКА!!!";
// Word for word as the suite's installers have always asked it: "Yes", though the button reads "Да" on a
// Russian Windows, and the question mark. Deliberate (docs/design.md#deliberate-texts): not to be corrected.
inline constexpr wchar_t DriverQuestion[] = L"Подключите интерфейсный блок и нажмите \"Yes\"?";
inline constexpr wchar_t DriverStarted[] = L"Началась установка драйверов устройства...";
inline constexpr wchar_t DriverDone[] = L"Установка драйверов устройства завершена";
inline constexpr wchar_t DriverNotStarted[] = L"Установщик не запустился: ";
inline constexpr wchar_t DriverNotCopied[] = L"в папке комплекса он не совпадает с файлом носителя";
// The box of a run that finds files of an interrupted one it cannot put back, and its line under theirs.
inline constexpr wchar_t NotRecovered[] = L"Прежние файлы прерванной установки не удалось вернуть на место: "
                                          L"они названы в списке. Закройте программы "
                                          L"комплекса и запустите установку снова.";
inline constexpr wchar_t NotRecoveredLine[] =
    L"Установка остановлена: прежние файлы прерванной установки не возвращены.";
inline constexpr wchar_t FontsNotElevated[] = L"Шрифты не установлены: нет прав администратора";
} // namespace RunText
