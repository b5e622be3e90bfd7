// What the installation cases share: the walk to "Начать установку", the run to its end, the lines and
// files a complete deployment leaves, the run log read back, and folders of their own removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MediumBuilder.h"
#include "WizardDriver.h"

namespace e2e {

inline const std::wstring WelcomePage = L"Приветствие";
inline const std::wstring PathPage = L"Путь установки";
inline const std::wstring ComponentsPage = L"Компоненты";
inline const std::wstring ProgressPage = L"Установка";
inline const std::wstring FontPage = L"Размер шрифта";
inline const std::wstring CancelPage = L"Отмена установки";
inline const std::wstring NextButton = L"Далее";
inline const std::wstring CancelButton = L"Отмена";
inline const std::wstring InstallButton = L"Начать установку";
inline const std::wstring Exit = L"Выход";
inline const std::wstring DriverQuestion = L"Подключите интерфейсный блок и нажмите \"Yes\"?";
inline const std::wstring DriverStarted = L"Началась установка драйверов устройства...";
inline const std::wstring DriverDone = L"Установка драйверов устройства завершена";
// A whole run under a loaded machine, Wine's first start of the shell's copy included.
inline constexpr TDuration RunTimeout{90000};

enum class TDriverAnswer { Yes, No };

// Lines joined by "\n", in UTF-8, so that a difference shows as text.
std::string Joined(const std::vector<std::wstring>& lines);
// The index of the first line equal to `line`; fails the test when there is none.
std::size_t FirstLineOf(const std::vector<std::wstring>& lines, const std::wstring& line);

// The lines of a complete settings and database step: the settings line, the database folder's line when
// it was made, the database, the kept database's line when there was one, the server set of the given
// Windows choice, "intl\", "udf\" and the own libraries, each completed with "Завершено".
std::vector<std::wstring> ExpectedDeployLines(int windowsIndex, bool databaseFolderMade,
                                              const std::wstring& keptDatabase);
// A complete run's list: `deploy` first, exactly; the font step's own lines may follow (they are checked
// with that step); then the two driver lines when the driver was installed, as the last lines.
void ExpectRunLines(const std::vector<std::wstring>& lines, const std::vector<std::wstring>& deploy,
                    bool driver);
// Every file of the deployment in the target, byte for byte the medium's (each names itself).
void ExpectDeployedFiles(const std::wstring& medium, const std::wstring& target, int windowsIndex);
// A counter file as a run writes it: 14 bytes, two zero fields, then the time of writing (within the hour).
void ExpectFreshCounter(const std::string& bytes);

// A value of the target's "Settings\holter.ini"; "<none>" when absent.
std::string IniValue(const std::wstring& target, const wchar_t* section, const wchar_t* key);
// The demo driver installer's starts in the target (command line and show command of each).
std::vector<std::string> DriverStarts(const std::wstring& target);
// One start of the target's driver installer as the run must make it: the quoted path, hidden.
std::string DriverStart(const std::wstring& target);
// The names of the kept databases in the target's "DTAfb\".
std::vector<std::wstring> Backups(const std::wstring& target);
// "T12.FDB.YYYYMMDD-HHMMSS.bak".
bool IsDatedBackupName(const std::wstring& name);
// Half-made copies left anywhere below the folder.
std::vector<std::wstring> StrayCopies(const std::wstring& folder);

// e2e_hold.exe beside the running test: a driver installer that waits while a file "hold" lies beside it.
std::wstring HoldProgram();

// The run log's entries without their time stamps, in order.
std::vector<std::wstring> ReadRunLog(const std::wstring& path);
// The progress list rebuilt from a run log's "Строка: ", "Шаг: " and "Итог: " entries.
std::vector<std::wstring> ListFromLog(const std::vector<std::wstring>& entries);
// Whether some entry contains `text`.
bool LogHas(const std::vector<std::wstring>& entries, const std::wstring& text);

class InstallCase : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh folder for one case, ending in a backslash; its parent exists, it does not.
    std::wstring Target(const std::wstring& name) const;

    // Starts the wizard of a medium; it is ended with the case at the latest.
    TWizard& Launch(const std::wstring& medium, const TLaunch& launch = {});
    // Starts the wizard, enters `entry` on the path page and arrives on the components page.
    TWizard& WalkToComponents(const std::wstring& medium, const std::wstring& entry,
                              const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
                              const std::wstring& arguments = {});
    // "Начать установку", the driver question answered, the run awaited to its end on the large-font page
    // (the screen runs at small fonts here); returns the progress list. `shot` names a screenshot taken
    // while the driver question is up.
    std::vector<std::wstring> Install(TWizard& wizard, TDriverAnswer answer, const wchar_t* shot);
    // "Выход" on the large-font page ends the program with 0.
    void LeaveFromFontPage(TWizard& wizard);
    // Selects item `index` of the hidden Windows choice, as the program itself would see a choice.
    void ChooseWindows(TWizard& wizard, int index);
    // Runs the wizard unattended to its end; returns its exit code.
    DWORD RunUnattended(const std::wstring& medium, const std::wstring& arguments,
                        const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});

    TOptions FOptions;
    std::wstring FWorkingFolder;
    std::wstring FRoot;                 // the cases' targets live below it
    std::vector<std::wstring> FCleanUp; // removed after the case
    std::vector<std::unique_ptr<TWizard>> FWizards;
};

} // namespace e2e
