// Installations without a user: /VERYSILENT and /SILENT against the interactive wizard, the exit codes that
// deployment tools check, and the run log that is their only record.
#include <gtest/gtest.h>

#include <cwchar>
#include <set>

#include "InstallCase.h"

using namespace e2e;

namespace {

class UnattendedTest : public InstallCase {};

// The figure after `label` in "... Нужно: 3,3 МБ, свободно: 1,0 МБ.", in megabytes; negative when absent.
double Figure(const std::wstring& text, const std::wstring& label) {
    const size_t at = text.find(label);
    if (at == std::wstring::npos)
        return -1;
    std::wstring number = text.substr(at + label.size());
    number = number.substr(0, number.find(L' '));
    for (wchar_t& c : number)
        if (c == L',')
            c = L'.';
    return std::wcstod(number.c_str(), nullptr);
}

// The same medium installed by the wizard and by /VERYSILENT: the log of each rebuilds the list the wizard
// showed, line for line. A second silent run over the first must finish on its own, too: nobody is there
// to answer the shell before it replaces the driver installer.
TEST_F(UnattendedTest, VerySilentRunMatchesTheWizardLineForLine) {
    const std::wstring interactiveLog = LogPath(L"interactive");
    const std::wstring silentLog = LogPath(L"verysilent");
    const std::wstring againLog = LogPath(L"verysilent-again");
    const std::wstring interactiveTarget = Target(L"interactive");
    const std::wstring silentTarget = Target(L"verysilent");

    TWizard& wizard =
        WalkToComponents(FOptions.Medium, interactiveTarget, {}, L"/LOG=" + Quoted(interactiveLog));
    const std::vector<std::wstring> shown = Install(wizard, TDriverAnswer::Yes, nullptr);
    ExpectRunLines(shown, ExpectedDeployLines(0, true), FontLines(), true);
    LeaveFromFontPage(wizard);
    const std::vector<std::wstring> interactiveEntries = ReadRunLog(interactiveLog);
    EXPECT_EQ(Joined(ListFromLog(interactiveEntries)), Joined(shown));
    EXPECT_TRUE(LogHas(interactiveEntries, L"Вопрос: " + DriverQuestion + L" Ответ: Да"));
    EXPECT_EQ(ToUtf8(interactiveEntries.back()), ToUtf8(L"Код завершения: 0"));

    // The fonts the wizard installed go again, so that the silent run has the same font lines to write; its
    // link goes too, so that the silent run must make its own.
    RemoveDemoFonts(FOptions.Medium);
    RemoveTree(DesktopLink());
    ASSERT_EQ(RunUnattended(FOptions.Medium,
                            L"/VERYSILENT /DIR=" + Quoted(silentTarget) + L" /LOG=" + Quoted(silentLog)),
              0u);
    const std::vector<std::wstring> silentEntries = ReadRunLog(silentLog);
    EXPECT_EQ(Joined(ListFromLog(silentEntries)), Joined(shown));
    EXPECT_TRUE(
        LogHas(silentEntries, L"Вопрос: " + DriverQuestion +
                                  L" Ответ: Да (вопрос не показывался: запуск без участия пользователя)"));
    ExpectDeployedFiles(FOptions.Medium, silentTarget, 0);
    EXPECT_EQ(DriverStarts(), std::vector<std::string>(2, DriverStart()))
        << "the wizard's start, then this one";
    EXPECT_TRUE(FileExists(DesktopLink()));
    EXPECT_TRUE(LogHas(silentEntries, L"Ярлык на рабочем столе: " + Guillemets(DesktopLink())))
        << Joined(silentEntries);
    EXPECT_EQ(ToUtf8(silentEntries.back()), ToUtf8(L"Код завершения: 0"));

    ASSERT_EQ(RunUnattended(FOptions.Medium,
                            L"/VERYSILENT /DIR=" + Quoted(silentTarget) + L" /LOG=" + Quoted(againLog)),
              0u);
    const std::vector<std::wstring> backups = Backups(silentTarget);
    ASSERT_EQ(backups.size(), 1u);
    ExpectRunLines(ListFromLog(ReadRunLog(againLog)), ExpectedDeployLines(0, false), {}, true,
                   JoinPath(silentTarget, L"DTAfb\\" + backups[0]));
    EXPECT_EQ(DriverStarts(), std::vector<std::string>(3, DriverStart()));
    EXPECT_EQ(PrivateDriverCopies(), std::vector<std::wstring>{}) << "each run removes its copy";
}

// /SILENT: the main window shows the progress page from its first appearance to its end, asks nothing and
// ends with 0. The driver installer is a program that waits while told to, so that the page is seen (and
// photographed) in the middle of the run.
TEST_F(UnattendedTest, SilentRunShowsTheProgressPageOnly) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-silent"));
    FCleanUp.push_back(medium.Folder());
    medium.WriteFile(medium::DriverInstaller, ReadFileBytes(HoldProgram()));
    medium.WriteFile(L"FTDIDriverInstall\\hold", "");
    const std::wstring target = Target(L"silent");
    const std::wstring log = LogPath(L"silent");

    TWizard& wizard =
        Launch(medium.Folder(), TLaunch{L"/SILENT /DIR=" + Quoted(target) + L" /LOG=" + Quoted(log), {}});
    wizard.WaitMainWindow();
    // The page's own caption, read without a message: while the driver installer runs, the wizard's thread
    // waits for it and answers none.
    std::set<std::wstring> pages;
    const auto notePage = [&] {
        if (HWND page = wizard.VisiblePage()) {
            wchar_t caption[64] = L"";
            const int length = ::GetWindowTextW(page, caption, 64);
            // A page destroyed as the run ends, between the look and the read, has no caption left to read.
            if (length > 0 || ::IsWindow(page))
                pages.insert(caption);
        }
    };
    notePage();
    EXPECT_EQ(Joined({pages.begin(), pages.end()}), Joined({ProgressPage})) << "the first page shown";
    // The run starts the installer from a private copy of the medium's folder, where it records its start.
    std::wstring copy;
    wizard.WaitFor(L"the run to start the driver installer", RunTimeout, [&]() -> HWND {
        notePage();
        for (const std::wstring& folder : PrivateDriverCopies())
            if (FileExists(TempPath(folder + L"\\FTDIDriverInstall.ran")))
                copy = TempPath(folder);
        return copy.empty() ? nullptr : wizard.MainWindow();
    });
    const std::wstring hold = JoinPath(copy, L"hold");
    notePage();
    wizard.Screenshot(L"15-progress-silent.png");
    ::DeleteFileW(hold.c_str());
    while (wizard.Running()) {
        notePage();
        if (auto box = wizard.FindMessageBox())
            FAIL() << "a silent run asked \"" << ToUtf8(box->Text) << "\"";
        ::Sleep(5);
    }
    EXPECT_EQ(wizard.WaitExit(), 0u);
    EXPECT_EQ(Joined({pages.begin(), pages.end()}), Joined({ProgressPage})) << "pages seen during the run";
    const std::vector<std::wstring> entries = ReadRunLog(log);
    ExpectRunLines(ListFromLog(entries), ExpectedDeployLines(0, true), FontLines(), true);
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 0"));
    ExpectDeployedFiles(medium.Folder(), target, 0);
}

// A medium without a required server file: 1603, and the log names the file. Without /SUPPRESSMSGBOXES the
// general error report shows it too, owned by no window since there is none.
TEST_F(UnattendedTest, MissingServerFileEndsWith1603AndTheLogNamesIt) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-missing-silent"));
    FCleanUp.push_back(medium.Folder());
    medium.RemoveFile(L"Firebird\\icuin30.Dll");
    const std::wstring missing = medium.Path(L"Firebird\\icuin30.Dll");

    const std::wstring log = LogPath(L"missing");
    EXPECT_EQ(RunUnattended(medium.Folder(), L"/VERYSILENT /SUPPRESSMSGBOXES /DIR=" +
                                                 Quoted(Target(L"quiet")) + L" /LOG=" + Quoted(log)),
              1603u);
    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Ошибка: ") && LogHas(entries, missing)) << Joined(entries);
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1603"));

    TWizard& wizard =
        Launch(medium.Folder(), TLaunch{L"/VERYSILENT /DIR=" + Quoted(Target(L"reported")), {}});
    TMessageBox report = wizard.WaitMessageBox(RunTimeout);
    EXPECT_NE(report.Text.find(missing), std::wstring::npos) << ToUtf8(report.Text);
    wizard.Answer(report, IDOK);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);
}

// A switch the program does not know: 1, nothing installed, the log says which.
TEST_F(UnattendedTest, UnknownSwitchEndsWith1AndInstallsNothing) {
    const std::wstring log = LogPath(L"bad-switch");
    const std::wstring target = Target(L"bad-switch");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/VERYSILENT /DIR=" + Quoted(target) + L" /LOG=" + Quoted(log) +
                                                 L" /REBOOT=yes"),
              1u);
    EXPECT_FALSE(FolderExists(target));
    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Ошибка: Неизвестный параметр командной строки: «/REBOOT=yes»"))
        << Joined(entries);
    EXPECT_FALSE(LogHas(entries, L"Установка: "));
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1"));
}

// Leaving the wizard through its cancel page installs nothing and says so with 1602, in the log as well.
TEST_F(UnattendedTest, CancelPageEndsWith1602) {
    const std::wstring log = LogPath(L"cancelled");
    TWizard& wizard = WalkToComponents(FOptions.Medium, Target(L"cancelled"), {}, L"/LOG=" + Quoted(log));
    wizard.Click(CancelButton);
    wizard.Answer(wizard.WaitMessageBox(), IDYES);
    wizard.WaitPage(CancelPage);
    wizard.Click(Exit);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_FALSE(LogHas(entries, L"Установка: "));
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1602"));
}

// A disk too small for the medium (drive S: is a small memory disk when the test script could make one):
// the run stops before the first copy, and both the box and the log give what is needed and what is free.
TEST_F(UnattendedTest, TooLittleSpaceStopsBeforeTheFirstCopy) {
    const std::wstring drive = L"S:\\";
    ULARGE_INTEGER free{}, total{};
    if (::GetDriveTypeW(drive.c_str()) == DRIVE_NO_ROOT_DIR ||
        !::GetDiskFreeSpaceExW(drive.c_str(), &free, &total, nullptr))
        GTEST_SKIP() << "no small drive S: here (the test script maps one where it may mount a memory disk)";
    ASSERT_LT(free.QuadPart, 8u * 1024 * 1024) << "S: is too large to run out of space";

    // A database larger than the whole disk: the medium cannot fit, whatever the rest of it needs.
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-no-space"));
    FCleanUp.push_back(medium.Folder());
    medium.WriteFile(L"DTAfb\\T12.FDB", std::string(8 * 1024 * 1024, 'd'));
    const std::wstring target = drive + L"Дедира\\";
    FCleanUp.push_back(target);
    RemoveTree(target);
    const std::wstring log = LogPath(L"no-space");
    TWizard& wizard = WalkToComponents(medium.Folder(), target, {}, L"/LOG=" + Quoted(log));
    wizard.Click(InstallButton);
    TMessageBox box = wizard.WaitMessageBox(RunTimeout);
    // The disk that lacks the room is named: the fonts may go to another.
    const std::wstring prefix = L"Недостаточно места на диске «" + drive + L"»: нужно ";
    EXPECT_TRUE(box.Text.starts_with(prefix)) << ToUtf8(box.Text);
    const double needed = Figure(box.Text, L"нужно ");
    const double left = Figure(box.Text, L"свободно ");
    EXPECT_GT(needed, left) << ToUtf8(box.Text);
    // What the test sees free, a little less after the path page made its two folders.
    EXPECT_NEAR(left, static_cast<double>(free.QuadPart) / (1024 * 1024), 0.15) << ToUtf8(box.Text);
    wizard.Screenshot(L"16-no-space.png", box.Handle);
    wizard.Answer(box, IDOK);
    wizard.WaitPage(ProgressPage);
    EXPECT_EQ(Joined(wizard.ProgressLines()), Joined({box.Text}));
    EXPECT_FALSE(FileExists(JoinPath(target, L"Settings\\holter.ini")));
    EXPECT_FALSE(FolderExists(JoinPath(target, L"DTAfb")));
    EXPECT_FALSE(::IsWindowEnabled(wizard.WaitButton(Exit)));
    wizard.PostToMain(WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);

    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Ошибка: " + box.Text)) << Joined(entries);
    EXPECT_EQ(Joined(ListFromLog(entries)), Joined({box.Text}));
}

} // namespace

namespace {

// Every spelling of a drive's root is refused as the root, and a folder not given in full as such: 1, nothing
// installed anywhere, the log says why.
TEST_F(UnattendedTest, DriveRootInAnySpellingAndARelativeFolderAreRefused) {
    for (const wchar_t* dir : {L"C:\\.", L"C:/", L"C:\\\\", L"\\\\?\\C:\\", L"C:", L"Prog", L"C:Prog"}) {
        const std::wstring log = LogPath(L"refused-dir");
        EXPECT_EQ(RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" +
                                                     Quoted(dir) + L" /LOG=" + Quoted(log)),
                  1u)
            << ToUtf8(dir);
        const auto entries = ReadRunLog(log);
        EXPECT_FALSE(LogHas(entries, L"Установка: ")) << ToUtf8(dir);
        EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1"));
        EXPECT_FALSE(FolderExists(L"C:\\Settings")) << ToUtf8(dir);
        EXPECT_FALSE(FolderExists(JoinPath(FWorkingFolder, L"Prog")));
        EXPECT_FALSE(FolderExists(JoinPath(FOptions.Medium, L"Prog")));
        ::DeleteFileW(log.c_str());
    }
}

// With an administrator's rights the suite's folder becomes the administrators'. Where that cannot hold it is
// refused before anything is made in it, with 1603, a line saying so and the log saying why: a level above it
// that an ordinary user owns (so reported by the test build: Wine gives every file one owner), or a disk that
// keeps no rights.
TEST_F(UnattendedTest, FolderAnElevatedRunCannotProtectIsRefused) {
    const std::wstring shared = JoinPath(FRoot, L"Общая папка");
    ASSERT_TRUE(::CreateDirectoryW(shared.c_str(), nullptr));
    struct TCase {
        const wchar_t* Name;
        std::wstring Target;
        std::pair<std::wstring, std::wstring> Seam;
        std::wstring Line;
    };
    const std::wstring below = JoinPath(shared, L"Дедира");
    const std::wstring plain = JoinPath(FRoot, L"Дедира на FAT");
    const TCase cases[] = {
        {L"a user's level",
         below,
         {L"TESSARO_E2E_USER_OWNED", L"Общая папка"},
         L"Папку «" + shared +
             L"» может подменить обычный пользователь: её владелец — не администратор. "
             L"Программа установки с правами администратора в такую папку не устанавливает: выберите другую "
             L"папку "
             L"(например, «C:\\Dedira» или папку в «C:\\Program Files»)."},
        {L"a disk without rights",
         plain,
         {L"TESSARO_E2E_NO_ACCESS_LISTS", L"1"},
         L"Диск папки «" + plain +
             L"» не хранит прав доступа (FAT, exFAT): защитить на нём программы комплекса "
             L"от изменения обычными пользователями нельзя. Выберите папку на диске NTFS."},
    };
    for (const TCase& c : cases) {
        const std::wstring log = LogPath(c.Name);
        EXPECT_EQ(
            RunUnattended(FOptions.Medium,
                          L"/VERYSILENT /SUPPRESSMSGBOXES /DIR=" + Quoted(c.Target) + L" /LOG=" + Quoted(log),
                          {c.Seam}),
            1603u)
            << ToUtf8(c.Name);
        // The list's line is short; the reason is the box's, and the log's.
        const std::vector<std::wstring> entries = ReadRunLog(log);
        EXPECT_TRUE(LogHas(entries, L"Ошибка: " + c.Line)) << Joined(entries);
        EXPECT_TRUE(
            LogHas(entries, L"Строка: Папку «" + c.Target +
                                L"» нельзя защитить от изменения обычными пользователями: установка в "
                                L"неё отклонена."))
            << Joined(entries);
        EXPECT_FALSE(FolderExists(c.Target)) << ToUtf8(c.Name) << ": nothing is made there";
    }
}

} // namespace
