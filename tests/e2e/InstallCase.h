// What the installation cases share: the walk to "Начать установку", the run to its end, the lines and
// files a complete deployment leaves, the run log read back, and folders of their own removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "MediumBuilder.h"
#include "common/HandlesWin.h"
#include "WizardDriver.h"
#include "WizardTexts.h"

namespace e2e {

inline const std::wstring DriverQuestion = L"Подключите интерфейсный блок и нажмите \"Yes\"?";
inline const std::wstring DriverStarted = L"Началась установка драйверов устройства...";
inline const std::wstring DriverDone = L"Установка драйверов устройства завершена";
// The last line of a run that stopped before its commit and was undone: over an installation, and on a first
// one.
inline const std::wstring RolledBack = L"Установка прервана: прежние файлы комплекса восстановлены.";
inline const std::wstring CopiesRemoved = L"Установка прервана: скопированные файлы удалены.";
inline const std::wstring NotWhole =
    L"Установка прервана: не всё удалось вернуть как было, файлы названы ниже.";
// The last line of a run an error stopped after its commit: what it copied stays.
inline const std::wstring StoppedAfterCommit = L"Установка прервана после копирования файлов из-за ошибки.";
// A whole run under a loaded machine, Wine's first start of the shell's copy included.
inline constexpr TDuration RunTimeout{90000};
// Where the wizard puts its link, and what the link says.
inline const std::wstring DesktopLinkName = L"Тессаро - Холтер.lnk";
inline const std::wstring LinkDescription =
    L"Комплекс суточного мониторирования электрокардиограмм \"Тессаро - Холтер\"";
inline constexpr wchar_t SystemFontsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// The demo medium's fonts in the order the font step takes them: the file in "fonts\" and the full name its
// name table gives.
struct TDemoFont {
    const wchar_t* FileName;
    const wchar_t* DisplayName;
};
inline constexpr TDemoFont DemoFonts[] = {
    {L"ARIAL.TTF", L"Demo Arial"},      {L"ARIALN.TTF", L"Demo Arial Narrow"},
    {L"COUR.TTF", L"Demo Courier New"}, {L"MICROSS.TTF", L"Demo Microsoft Sans Serif"},
    {L"TAHOMA.TTF", L"Demo Tahoma"},    {L"TIMES.TTF", L"Demo Times New Roman"},
    {L"verdana.TTF", L"Demo Verdana"},
};

enum class TDriverAnswer { Yes, No };

// Lines joined by "\n", in UTF-8, so that a difference shows as text.
std::string Joined(const std::vector<std::wstring>& lines);
// The index of the first line equal to `line`; fails the test when there is none.
std::size_t FirstLineOf(const std::vector<std::wstring>& lines, const std::wstring& line);

// The lines of a complete settings and database step: the settings line, the database folder's line when
// it was made, the database, the server set of the given Windows choice, "intl\", "udf\" and the own
// libraries, each completed with "Завершено".
std::vector<std::wstring> ExpectedDeployLines(int windowsIndex, bool databaseFolderMade);
// The font step's lines when none of the demo fonts is in the prefix yet: one per font, in order.
std::vector<std::wstring> FontLines();
// A complete run's list, exactly: `deploy`, the font step's `fonts`, the two driver lines when the driver was
// installed, then, when there was a clinic's database, the line of its dated name, which it takes at the
// run's commit. The release packages and the desktop link add no line.
void ExpectRunLines(const std::vector<std::wstring>& lines, const std::vector<std::wstring>& deploy,
                    const std::vector<std::wstring>& fonts, bool driver,
                    const std::wstring& keptDatabase = {});
// Every file of the deployment in the target, byte for byte the medium's (each names itself).
void ExpectDeployedFiles(const std::wstring& medium, const std::wstring& target, int windowsIndex);
// A counter file as a run writes it: 14 bytes, two zero fields, then the time of writing (within the hour).
void ExpectFreshCounter(const std::string& bytes);

// A value of the target's "Settings\holter.ini"; "<none>" when absent.
std::string IniValue(const std::wstring& target, const wchar_t* section, const wchar_t* key);
// The demo driver installer's starts during the case (command line and show command of each), the private
// folder a run copied it into written "<private>".
std::vector<std::string> DriverStarts();
// One start of the driver installer as the run must make it: from a private copy of the medium's in the
// temporary folder, never the target's, by its quoted path, hidden.
std::string DriverStart();
// The private copies of the driver's installer left in the temporary folder.
std::vector<std::wstring> PrivateDriverCopies();
// The names of the kept databases in the target's "DTAfb\".
std::vector<std::wstring> Backups(const std::wstring& target);
// "T12.FDB.YYYYMMDD-HHMMSS.bak".
bool IsDatedBackupName(const std::wstring& name);
// Half-made copies left anywhere below the folder.
std::vector<std::wstring> StrayCopies(const std::wstring& folder);

// The prefix's Windows fonts folder, ending in a backslash.
std::wstring WindowsFontsFolder();
// A text value of the registry; "<none>" when the key or the value is missing or holds no text.
std::wstring RegistryText(HKEY root, const std::wstring& key, const std::wstring& value);
// Takes the demo fonts out of the prefix, so that the next run installs all seven again: their files in the
// Windows fonts folder (only where the file is the medium's own) and their entries in the system's font list.
void RemoveDemoFonts(const std::wstring& medium);
// Every demo font in the Windows fonts folder, byte for byte the medium's, and listed under its full name.
void ExpectDemoFontsInstalled(const std::wstring& medium);
// The user's desktop as the shell records it (HKCU "Shell Folders", "Desktop"); empty when it has none.
std::wstring DesktopFolder();
// The path of the wizard's link on that desktop.
std::wstring DesktopLink();

// Removes a file or a tree, trying again for a while when something still holds it (a program of the run
// that has not quite ended); returns the last failure (UTF-8), empty when the path is gone.
std::string RemoveTreeWithin(const std::wstring& path, TDuration patience);

// e2e_hold.exe beside the running test: a driver installer that waits while a file "hold" lies beside it.
std::wstring HoldProgram();

// A value of the suite's entry in the 32-bit view of the machine's registry, where a 32-bit installer writes
// it; "<none>" (or 0xFFFFFFFF) when it is missing.
std::wstring EntryText(const wchar_t* name);
DWORD EntryNumber(const wchar_t* name);

// The installation's record in the target.
std::wstring RecordPath(const std::wstring& target);

// The text in double quotes, as a switch's value with blanks needs it.
inline std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

// Every file below a folder with its content, by path relative to it.
std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder);
// The same with every folder too (its path ending in "\", no content): a folder added shows.
std::map<std::wstring, std::string> TreeBelow(const std::wstring& folder);

// Takes the suite's entry out of "Programs and Features" (the machine's and the user's), so that a case
// starts from a machine where the suite was never registered.
void RemoveUninstallEntry();

// The run log's entries without their time stamps, in order.
std::vector<std::wstring> ReadRunLog(const std::wstring& path);
// The progress list rebuilt from a run log's "Строка: ", "Шаг: " and "Итог: " entries. The log names the
// suite's files in full; with the run's `folder` they are named from it, as the window's list names them.
std::vector<std::wstring> ListFromLog(const std::vector<std::wstring>& entries,
                                      const std::wstring& folder = {});
// A path or a name as the wizard's own texts quote it: «text».
inline std::wstring Guillemets(const std::wstring& text) {
    return L"«" + text + L"»";
}
// Whether some entry contains `text`.
bool LogHas(const std::vector<std::wstring>& entries, const std::wstring& text);

// Wine's own end of the session: wineboot sends WM_QUERYENDSESSION to every process with a top-level window
// in turn (and WM_ENDSESSION after it), ends each that agrees, and gives up at the first that refuses.
// Returns wineboot's exit code: 0 when the session ended, 1 when a program refused.
DWORD EndSessionByWineboot();

// The test build's pause at named points of a run (TESSARO_E2E_PAUSE_AT): the environment for a start, and
// the wait until the run has stopped at a point (whose name it returns); the run goes on once the file is
// removed.
class TRunPause {
public:
    TRunPause(const std::wstring& file, const std::wstring& points);
    ~TRunPause();
    TRunPause(const TRunPause&) = delete;
    TRunPause& operator=(const TRunPause&) = delete;
    const std::vector<std::pair<std::wstring, std::wstring>>& Environment() const { return FEnvironment; }
    std::wstring WaitPaused(TWizard& run, TDuration timeout);
    void Resume();

private:
    std::wstring FFile;
    std::vector<std::pair<std::wstring, std::wstring>> FEnvironment;
};

// A running program of the suite that holds one file of the target until it is let go (or the case ends).
class THolder {
public:
    explicit THolder(const std::wstring& file);
    THolder(const THolder&) = delete;
    THolder& operator=(const THolder&) = delete;
    ~THolder();
    void LetGo();

private:
    std::wstring FControl;
    TUniqueHandle FProcess;
};

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
    // A run log's path in the temporary folder, gone before the case and removed after it.
    std::wstring LogPath(const wchar_t* name);
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
