// Whole installations from the demo medium (or a variation of it), driven from outside: the progress list
// line for line, what lands in the target folder, and the failures a clinic meets (a file missing from the
// medium, a read-only file in the way, a copy that breaks off, a full disk). Each case installs into a fresh
// folder and removes it afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <set>

#include "InstallCase.h"

using namespace e2e;

namespace {

class InstallTest : public InstallCase {};

// The first run into a fresh folder, then a second one over it with a newer driver installer on the medium:
// settings kept, counter file untouched, the clinic's database kept under a dated name, the installer
// replaced and run again.
TEST_F(InstallTest, FirstRunThenSecondRunOverIt) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-second-run"));
    FCleanUp.push_back(medium.Folder());
    const std::wstring target = Target(L"Дедира два");

    TWizard& first = WalkToComponents(medium.Folder(), target);
    const std::vector<std::wstring> firstLines =
        Install(first, TDriverAnswer::Yes, L"12-progress-driver-question.png");
    EXPECT_EQ(first.ShellQuestionsAnswered(), 0) << ToUtf8(first.LastShellQuestion());
    ExpectRunLines(firstLines, ExpectedDeployLines(0, true), FontLines(), true);
    EXPECT_EQ(first.ProgressLinesOverhang(), 0) << "every line fits the list: " << Joined(firstLines);
    ExpectDeployedFiles(medium.Folder(), target, 0);
    EXPECT_EQ(IniValue(target, L"options", L"FilterType"), "0");
    EXPECT_EQ(IniValue(target, L"options", L"HardwareType"), "1");
    const std::string counter = ReadFileBytes(JoinPath(target, L"Settings\\lastnum.dta"));
    ExpectFreshCounter(counter);
    EXPECT_EQ(DriverStarts(), std::vector<std::string>{DriverStart()});
    EXPECT_EQ(ReadFileBytes(JoinPath(target, medium::DriverInstaller)),
              ReadFileBytes(medium.Path(medium::DriverInstaller)));
    EXPECT_EQ(Backups(target).size(), 0u);
    LeaveFromFontPage(first);

    // What the clinic has done since: its own settings, recordings in the database, a newer driver on the
    // medium it installs from.
    const std::wstring settings = JoinPath(target, L"Settings\\holter.ini");
    ASSERT_TRUE(::WritePrivateProfileStringW(L"options", L"FilterType", L"7", settings.c_str()));
    ASSERT_TRUE(::WritePrivateProfileStringW(L"options", L"Channel1Gain", L"2.5", settings.c_str()));
    ASSERT_TRUE(::WritePrivateProfileStringW(L"Own", L"Kept", L"yes", settings.c_str()));
    ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, settings.c_str());
    const std::string recordings = "the clinic's recordings since the first run";
    WriteFileBytes(JoinPath(target, L"DTAfb\\T12.FDB"), recordings);
    const std::string newerDriver = ReadFileBytes(medium.Path(medium::DriverInstaller)) + "newer driver";
    medium.WriteFile(medium::DriverInstaller, newerDriver);

    TWizard& second = WalkToComponents(medium.Folder(), target);
    second.AnswerShellQuestions(true);
    const std::vector<std::wstring> secondLines = Install(second, TDriverAnswer::Yes, nullptr);
    const std::vector<std::wstring> backups = Backups(target);
    ASSERT_EQ(backups.size(), 1u) << "one earlier database kept under a dated name";
    EXPECT_TRUE(IsDatedBackupName(backups[0])) << ToUtf8(backups[0]);
    // The fonts are in place since the first run: the font step says nothing.
    // The kept database is named from the suite's folder (the log names it in full), and fits the list.
    ExpectRunLines(secondLines, ExpectedDeployLines(0, false), {}, true, L"DTAfb\\" + backups[0]);
    EXPECT_EQ(second.ProgressLinesOverhang(), 0) << Joined(secondLines);
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\" + backups[0])), recordings);
    ExpectDeployedFiles(medium.Folder(), target, 0);
    EXPECT_EQ(IniValue(target, L"options", L"FilterType"), "0");
    EXPECT_EQ(IniValue(target, L"options", L"HardwareType"), "1");
    EXPECT_EQ(IniValue(target, L"options", L"Channel1Gain"), "2.5");
    EXPECT_EQ(IniValue(target, L"Own", L"Kept"), "yes");
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"Settings\\lastnum.dta")), counter)
        << "written once, never again";
    EXPECT_EQ(ReadFileBytes(JoinPath(target, medium::DriverInstaller)), newerDriver)
        << "the second run must put the medium's newer driver installer in place of the first one's";
    EXPECT_EQ(DriverStarts(), (std::vector<std::string>{DriverStart(), DriverStart()}));
    // Under Wine the shell asks before it replaces the installer of the first run; a user answers it.
    RecordProperty("ShellQuestionsOnSecondRun", second.ShellQuestionsAnswered());
    if (second.ShellQuestionsAnswered() > 0)
        std::printf("[note] the shell asked %d time(s) on the second run: %s\n",
                    second.ShellQuestionsAnswered(), ToUtf8(second.LastShellQuestion()).c_str());
    LeaveFromFontPage(second);
}

// "Windows XP" chosen in the hidden list: the ten-file server set; the driver question answered No: no
// driver, no driver lines.
TEST_F(InstallTest, WindowsXpSetWithTheDriverDeclined) {
    const std::wstring target = Target(L"xp");
    TWizard& wizard = WalkToComponents(FOptions.Medium, target);
    ChooseWindows(wizard, 1);
    const std::vector<std::wstring> lines = Install(wizard, TDriverAnswer::No, nullptr);
    ExpectRunLines(lines, ExpectedDeployLines(1, true), FontLines(), false);
    for (const std::wstring& line : lines)
        EXPECT_EQ(line.find(L"драйвер"), std::wstring::npos) << ToUtf8(line);
    ExpectDeployedFiles(FOptions.Medium, target, 1);
    for (const wchar_t* name : {L"msvcp80.Dll", L"msvcr80.Dll", L"gbak.exe", L"gds32.dll"})
        EXPECT_FALSE(FileExists(JoinPath(target, name))) << ToUtf8(name) << " belongs to the other set";
    EXPECT_FALSE(FolderExists(JoinPath(target, L"FTDIDriverInstall")));
    LeaveFromFontPage(wizard);
}

// A folder name with Cyrillic letters and blanks, below a folder of the same kind.
TEST_F(InstallTest, TargetWithCyrillicLettersAndBlanks) {
    const std::wstring parent = L"C:\\Программы и данные";
    FCleanUp.push_back(parent);
    RemoveTree(parent);
    ASSERT_TRUE(::CreateDirectoryW(parent.c_str(), nullptr));
    const std::wstring target = parent + L"\\Дедира\\";
    TWizard& wizard = WalkToComponents(FOptions.Medium, target);
    ExpectRunLines(Install(wizard, TDriverAnswer::Yes, nullptr), ExpectedDeployLines(0, true), FontLines(),
                   true);
    ExpectDeployedFiles(FOptions.Medium, target, 0);
    EXPECT_EQ(IniValue(target, L"options", L"HardwareType"), "1");
    EXPECT_EQ(DriverStarts(), std::vector<std::string>{DriverStart()});
    LeaveFromFontPage(wizard);
}

// "C:\My Dir\...\FTDIDriverInstall.exe" read without quotes is "C:\My.exe" with arguments: a program planted
// there must never run in place of the driver installer.
TEST_F(InstallTest, DriverInstallerStartsFromItsQuotedPathNotFromADecoy) {
    const std::wstring parent = L"C:\\My Dir";
    const std::wstring decoy = L"C:\\My.exe";
    // The demo installer records its starts beside itself: the decoy's would land in C:\.
    const std::wstring decoyRecord = L"C:\\FTDIDriverInstall.ran";
    FCleanUp.insert(FCleanUp.end(), {parent, decoy, decoyRecord});
    RemoveTree(parent);
    RemoveTree(decoyRecord);
    ASSERT_TRUE(::CreateDirectoryW(parent.c_str(), nullptr));
    ASSERT_TRUE(
        ::CopyFileW(JoinPath(FOptions.Medium, medium::DriverInstaller).c_str(), decoy.c_str(), FALSE));

    const std::wstring target = parent + L"\\Дедира\\";
    TWizard& wizard = WalkToComponents(FOptions.Medium, target);
    ExpectRunLines(Install(wizard, TDriverAnswer::Yes, nullptr), ExpectedDeployLines(0, true), FontLines(),
                   true);
    EXPECT_FALSE(FileExists(decoyRecord)) << "C:\\My.exe ran: " << ReadFileBytes(decoyRecord);
    EXPECT_EQ(DriverStarts(), std::vector<std::string>{DriverStart()});
    LeaveFromFontPage(wizard);
}

// The driver's installer never runs from the target, where a program could hold it or a library lie planted
// beside it: from a copy of the medium's folder in a private folder of the temporary folder, removed again
// afterwards. A reinstall whose target copy is held by a running program still starts it from there; the
// copy into the target that failed is named and the run does not count as complete.
TEST_F(InstallTest, DriverInstallerRunsFromAPrivateCopyEvenWhenTheTargetsIsHeld) {
    const std::wstring target = Target(L"Драйвер");
    const std::wstring options = L"/VERYSILENT /SUPPRESSMSGBOXES /DIR=" + Quoted(target);
    ASSERT_EQ(RunUnattended(FOptions.Medium, options), 0u);
    EXPECT_EQ(DriverStarts(), std::vector<std::string>{DriverStart()});

    const std::wstring held = JoinPath(target, medium::DriverInstaller);
    // A program of the target's own, where the installer was, as a user might leave it there.
    WriteFileBytes(held, "not the driver's installer");
    const std::wstring log = LogPath(L"held-driver");
    {
        THolder holder(held);
        EXPECT_EQ(RunUnattended(FOptions.Medium, options + L" /LOG=" + Quoted(log)), 1603u);
    }
    EXPECT_EQ(DriverStarts(), std::vector<std::string>(2, DriverStart()));
    EXPECT_EQ(PrivateDriverCopies(), std::vector<std::wstring>{});
    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Строка: " + DriverDone)) << Joined(entries);
    EXPECT_TRUE(LogHas(entries, L"Строка: Файл «" + held +
                                    L"» не скопирован: в папке комплекса он не совпадает с файлом носителя"))
        << Joined(entries);
    EXPECT_EQ(ReadFileBytes(held), "not the driver's installer");
}

// A relative entry is taken against the medium's folder (the wizard's own), not the folder it was started in.
TEST_F(InstallTest, RelativeTargetLandsBesideTheWizard) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-relative"));
    FCleanUp.push_back(medium.Folder());
    const std::wstring stray = JoinPath(FWorkingFolder, L"Prog");
    FCleanUp.push_back(stray);
    RemoveTree(stray);

    TWizard& wizard = WalkToComponents(medium.Folder(), L"Prog");
    const std::wstring target = medium.Path(L"Prog\\");
    ExpectRunLines(Install(wizard, TDriverAnswer::Yes, nullptr), ExpectedDeployLines(0, true), FontLines(),
                   true);
    ExpectDeployedFiles(medium.Folder(), target, 0);
    EXPECT_EQ(IniValue(target, L"options", L"FilterType"), "0");
    EXPECT_EQ(DriverStarts(), std::vector<std::string>{DriverStart()});
    EXPECT_FALSE(FolderExists(stray)) << "installed into the folder the wizard was started in";
    LeaveFromFontPage(wizard);
}

// A required server file missing from the medium: the general error report names it, the file's line says it
// failed, the first installation's copies are removed, "Выход" stays disabled, and the window can still be
// closed.
TEST_F(InstallTest, MissingServerFileIsNamedAndTheWindowStaysClosable) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-missing"));
    FCleanUp.push_back(medium.Folder());
    medium.RemoveFile(L"Firebird\\icuin30.Dll");
    const std::wstring target = Target(L"missing");

    TWizard& wizard = WalkToComponents(medium.Folder(), target);
    wizard.Click(InstallButton);
    TMessageBox report = wizard.WaitMessageBox(RunTimeout);
    EXPECT_NE(report.Text.find(medium.Path(L"Firebird\\icuin30.Dll")), std::wstring::npos)
        << ToUtf8(report.Text);
    wizard.Screenshot(L"13-error-report.png", report.Handle);
    wizard.Answer(report, IDOK);
    wizard.WaitPage(ProgressPage);
    std::vector<std::wstring> expected = ExpectedDeployLines(0, true);
    expected.resize(FirstLineOf(expected, L"Копирование файла icuin30.Dll....Завершено") + 1);
    expected.back() = L"Копирование файла icuin30.Dll....ОШИБКА!!!";
    expected.push_back(CopiesRemoved);
    EXPECT_EQ(Joined(wizard.ProgressLines()), Joined(expected));
    EXPECT_FALSE(::IsWindowEnabled(wizard.WaitButton(Exit)));
    wizard.Screenshot(L"14-progress-stopped.png");
    EXPECT_FALSE(FileExists(JoinPath(target, L"icuin30.Dll")));
    EXPECT_FALSE(FolderExists(JoinPath(target, L"udf")));

    wizard.PostToMain(WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);
}

// A second run that meets a read-only file where a server file must go: the report names that file, which is
// left exactly as it was.
TEST_F(InstallTest, ReadOnlyFileInTheWayIsNamedAndLeftAsItWas) {
    const std::wstring target = Target(L"read-only");
    ASSERT_EQ(RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /DIR=\"" + target + L"\""), 0u);
    const std::wstring blocked = JoinPath(target, L"fbclient.Dll");
    const std::string own = "the clinic's own fbclient.Dll";
    WriteFileBytes(blocked, own);
    ASSERT_TRUE(::SetFileAttributesW(blocked.c_str(), FILE_ATTRIBUTE_READONLY));

    TWizard& wizard = WalkToComponents(FOptions.Medium, target);
    wizard.Click(InstallButton);
    TMessageBox report = wizard.WaitMessageBox(RunTimeout);
    EXPECT_NE(report.Text.find(blocked), std::wstring::npos) << ToUtf8(report.Text);
    wizard.Answer(report, IDOK);
    wizard.WaitPage(ProgressPage);
    const std::vector<std::wstring> lines = wizard.ProgressLines();
    ASSERT_GE(lines.size(), 3u);
    // The file's line says it failed; the run, stopped after the database step, is undone: the clinic's
    // database never left its name (the medium's waited for the commit under a name of the run's), and
    // everything else is back.
    EXPECT_EQ(ToUtf8(lines[lines.size() - 2]), ToUtf8(L"Копирование файла fbclient.Dll....ОШИБКА!!!"));
    EXPECT_EQ(ToUtf8(lines.back()), ToUtf8(RolledBack));
    EXPECT_EQ(wizard.ProgressLinesOverhang(), 0) << Joined(lines);
    EXPECT_TRUE(Backups(target).empty());
    EXPECT_FALSE(::IsWindowEnabled(wizard.WaitButton(Exit)));
    EXPECT_EQ(ReadFileBytes(blocked), own);
    EXPECT_TRUE(::GetFileAttributesW(blocked.c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(StrayCopies(target), std::vector<std::wstring>{});
    wizard.PostToMain(WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);
}

// A copy that breaks off half-way: an own library only marks its line and the run goes on; a server file
// marks its line and ends the run. Nothing half-copied is left behind either way.
TEST_F(InstallTest, CopyThatBreaksOffHalfWay) {
    {
        const std::wstring target = Target(L"broken-library");
        TWizard& wizard =
            WalkToComponents(FOptions.Medium, target, {{L"TESSARO_E2E_FAIL_READ", L"ProcessingECG.Dll"}});
        const std::vector<std::wstring> lines = Install(wizard, TDriverAnswer::Yes, nullptr);
        std::vector<std::wstring> expected = ExpectedDeployLines(0, true);
        expected[FirstLineOf(expected, L"Копирование файла ProcessingECG.Dll....Завершено")] =
            L"Копирование файла ProcessingECG.Dll....ОШИБКА!!!";
        ExpectRunLines(lines, expected, FontLines(), true);
        EXPECT_FALSE(FileExists(JoinPath(target, L"udf\\ProcessingECG.Dll")));
        EXPECT_TRUE(FileExists(JoinPath(target, L"udf\\SDecision.Dll")));
        EXPECT_EQ(StrayCopies(target), std::vector<std::wstring>{});
        LeaveFromFontPage(wizard);
    }
    {
        const std::wstring target = Target(L"broken-server-file");
        TWizard& wizard =
            WalkToComponents(FOptions.Medium, target, {{L"TESSARO_E2E_FAIL_READ", L"gbak.exe"}});
        wizard.Click(InstallButton);
        // The run stops without a question or a box: the line says it all.
        wizard.WaitFor(L"\"Выход\" to stay disabled while the run stops", RunTimeout, [&]() -> HWND {
            const std::vector<std::wstring> lines = wizard.ProgressLines();
            return !lines.empty() && lines.back() == CopiesRemoved ? wizard.MainWindow() : nullptr;
        });
        wizard.ExpectPageStays(ProgressPage);
        std::vector<std::wstring> expected = ExpectedDeployLines(0, true);
        expected.resize(FirstLineOf(expected, L"Копирование файла gbak.exe....Завершено") + 1);
        expected.back() = L"Копирование файла gbak.exe....ОШИБКА!!!";
        expected.push_back(CopiesRemoved);
        EXPECT_EQ(Joined(wizard.ProgressLines()), Joined(expected));
        EXPECT_FALSE(::IsWindowEnabled(wizard.WaitButton(Exit)));
        EXPECT_FALSE(FileExists(JoinPath(target, L"gbak.exe")));
        EXPECT_EQ(StrayCopies(target), std::vector<std::wstring>{});
        wizard.PostToMain(WM_CLOSE, 0, 0);
        EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);
    }
}

} // namespace
