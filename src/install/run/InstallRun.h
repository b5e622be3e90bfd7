// The installation run: from "Начать установку" to the last step, reported to a host (the main window, a
// silent run, a test) through IInstallHost.
#pragma once

#include <cstdint>
#include <string>

#include "install/run/InstallHost.h"
#include "install/run/RunOptions.h"
#include "install/run/RunOutcome.h"

// Runs every step in order, holding the folder's run lock (RunLock.h) throughout, and returns how it ended.
// Nothing escapes: an error that is not a step's own failure (a file that cannot be opened or created, a
// package that cannot be installed, a stop because the session ends) ends the run with its reason, after the
// protected stretch has been lowered and the run has been undone where it had not committed.
TRunOutcome RunInstallation(IInstallHost& Host, const TInstallOptions& Options);

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
