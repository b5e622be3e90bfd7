// "Programs and Features": the entry a run leaves, the uninstaller it registers, unattended and through the
// window, and the next run's path page that starts with the registered folder.
#include <gtest/gtest.h>

#include "InstallCase.h"

using namespace e2e;

namespace {

class UninstallTest : public InstallCase {
protected:
    // An unattended installation, then what a clinic does with it: recordings in the database, a file of the
    // suite changed, one of its own added.
    void InstallAndUse(const std::wstring& target) {
        ASSERT_EQ(
            RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target)),
            0u);
        WriteFileBytes(JoinPath(target, L"DTAfb\\T12.FDB"), "the clinic's recordings");
        WriteFileBytes(JoinPath(target, L"ReleaseInfo"), "changed by the updater");
        WriteFileBytes(JoinPath(target, L"Заключения\\Иванов.txt"), "the clinic's own");
    }
    // The uninstaller's copy in the temporary folder removes the uninstaller itself a moment after it ended.
    void ExpectUninstallerGone(const std::wstring& target) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (FolderExists(JoinPath(target, L"Uninstall")) && std::chrono::steady_clock::now() < until)
            ::Sleep(100);
        EXPECT_FALSE(FolderExists(JoinPath(target, L"Uninstall")));
    }
    // What a removal leaves: the clinic's data, the changed file and the added one, and nothing else.
    void ExpectOnlyTheClinicsFilesLeft(const std::wstring& target) {
        for (const auto& [file, bytes] : FilesBelow(target))
            EXPECT_TRUE(file.starts_with(L"DTAfb\\") || file.starts_with(L"Settings\\") ||
                        file == L"ReleaseInfo" || file == L"Заключения\\Иванов.txt")
                << "left behind: " << ToUtf8(file);
        EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\T12.FDB")), "the clinic's recordings");
        EXPECT_TRUE(FileExists(JoinPath(target, L"Settings\\holter.ini")));
        EXPECT_EQ(ReadFileBytes(JoinPath(target, L"ReleaseInfo")), "changed by the updater");
        EXPECT_TRUE(FileExists(JoinPath(target, L"Заключения\\Иванов.txt")));
        EXPECT_EQ(EntryText(L"InstallLocation"), L"<none>");
        EXPECT_FALSE(FileExists(DesktopLink()));
    }
};

// The entry deployment tools read, then /UNINSTALL /VERYSILENT: only the clinic's data and files changed or
// added since remain; the entry and the link are gone; 0. A second removal finds nothing and says so.
TEST_F(UninstallTest, EntryThenUnattendedRemovalThenNothingLeftToRemove) {
    const std::wstring target = Target(L"Программы и данные\\Дедира");
    InstallAndUse(target);
    EXPECT_EQ(EntryText(L"DisplayName"), L"Тессаро-Холтер");
    EXPECT_EQ(EntryText(L"DisplayVersion"), L"1.2021.03.01");
    EXPECT_EQ(EntryNumber(L"VersionMajor"), 1u);
    EXPECT_EQ(EntryNumber(L"VersionMinor"), 20210301u);
    EXPECT_EQ(EntryText(L"Publisher"), L"ООО «Тессаро Медикал»");
    EXPECT_EQ(EntryText(L"InstallLocation"), target);
    EXPECT_EQ(EntryText(L"DisplayIcon"), target + L"Shell.exe");
    EXPECT_EQ(EntryText(L"UninstallString"), Quoted(target + L"Uninstall\\Setup.exe") + L" /UNINSTALL");
    EXPECT_EQ(EntryText(L"QuietUninstallString"),
              Quoted(target + L"Uninstall\\Setup.exe") + L" /UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES");
    EXPECT_EQ(EntryNumber(L"NoModify"), 1u);
    EXPECT_EQ(EntryNumber(L"NoRepair"), 1u);
    EXPECT_GT(EntryNumber(L"EstimatedSize"), 0u);
    EXPECT_EQ(EntryText(L"InstallDate").size(), 8u);
    ASSERT_TRUE(FileExists(DesktopLink()));

    const std::wstring log = LogPath(L"uninstall");
    TWizard& removal = Launch(JoinPath(target, L"Uninstall"),
                              TLaunch{L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /LOG=" + Quoted(log), {}});
    EXPECT_EQ(removal.WaitExit(RunTimeout, true), 0u);
    ExpectUninstallerGone(target);
    ExpectOnlyTheClinicsFilesLeft(target);
    const auto entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Удалено файлов: "));
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 0"));

    const std::wstring again = LogPath(L"uninstall-again");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /DIR=" +
                                                 Quoted(target) + L" /LOG=" + Quoted(again)),
              0u);
    EXPECT_TRUE(LogHas(ReadRunLog(again), L"удалять нечего"));
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\T12.FDB")), "the clinic's recordings");
}

// The same removal as a user makes it from "Programs and Features": the question, the progress page, the
// closing box, "Выход". The folder that keeps the clinic's data is named whole in the list's last line; a
// name as long as a clinic may give its folder runs past the list's width, which then scrolls sideways to it.
TEST_F(UninstallTest, RemovalThroughTheWindow) {
    const std::wstring target =
        Target(L"Клиника на Садовой, кабинет функциональной диагностики и суточного мониторирования ЭКГ");
    InstallAndUse(target);
    TWizard& removal = Launch(JoinPath(target, L"Uninstall"), TLaunch{L"/UNINSTALL", {}});
    removal.WaitMainWindow();
    TMessageBox question = removal.WaitMessageBox(RunTimeout);
    EXPECT_NE(question.Text.find(L"Удалить комплекс"), std::wstring::npos) << ToUtf8(question.Text);
    EXPECT_NE(question.Text.find(target), std::wstring::npos) << ToUtf8(question.Text);
    EXPECT_NE(question.Text.find(L"будут сохранены"), std::wstring::npos) << ToUtf8(question.Text);
    removal.Screenshot(L"19-uninstall-question.png", question.Handle);
    removal.Answer(question, IDYES);
    TMessageBox done = removal.WaitMessageBox(RunTimeout);
    EXPECT_NE(done.Text.find(L"завершено"), std::wstring::npos) << ToUtf8(done.Text);
    removal.Answer(done, IDOK);
    removal.WaitPage(ProgressPage);
    const auto lines = removal.ProgressLines();
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [](const std::wstring& line) { return line.starts_with(L"Удалено файлов: "); }),
              lines.end())
        << Joined(lines);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(ToUtf8(lines[lines.size() - 2]),
              ToUtf8(L"База данных, настройки и изменённые после установки файлы сохранены в папке:"));
    EXPECT_EQ(ToUtf8(lines.back()), ToUtf8(Guillemets(target)));
    EXPECT_GT(removal.ProgressLinesOverhang(), 0) << "the folder's line is reached by scrolling";
    removal.Screenshot(L"20-uninstall-done.png");
    removal.Click(Exit);
    EXPECT_EQ(removal.WaitExit(DefaultTimeout, true), 0u);
    ExpectUninstallerGone(target);
    ExpectOnlyTheClinicsFilesLeft(target);
}

// Declined, nothing changes and the program ends with 1602.
TEST_F(UninstallTest, DeclinedRemovalChangesNothing) {
    const std::wstring target = Target(L"declined");
    InstallAndUse(target);
    TWizard& removal = Launch(JoinPath(target, L"Uninstall"), TLaunch{L"/UNINSTALL", {}});
    removal.Answer(removal.WaitMessageBox(RunTimeout), IDNO);
    EXPECT_EQ(removal.WaitExit(DefaultTimeout, true), 1602u);
    EXPECT_TRUE(FileExists(JoinPath(target, L"Shell.exe")));
    EXPECT_EQ(EntryText(L"InstallLocation"), target);
}

// A second installation offers the folder the suite is registered in, not "C:\Dedira".
TEST_F(UninstallTest, NextInstallationStartsWithTheRegisteredFolder) {
    const std::wstring target = Target(L"Свой путь");
    ASSERT_EQ(
        RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target)),
        0u);
    TWizard& wizard = Launch(FOptions.Medium);
    wizard.WaitMainWindow();
    wizard.WaitPage(WelcomePage, StartTimeout);
    wizard.Click(NextButton);
    wizard.WaitPage(PathPage);
    EXPECT_EQ(ToUtf8(wizard.Path()), ToUtf8(target));
    wizard.PostToMain(WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
}

// The record is read as hostile. Lines that name the database in spellings Windows reads as the same file,
// a record without its data lines and a line that leads through a link planted in the folder remove nothing
// of the clinic's and nothing of anyone else's: each of those files carries the bytes of a recorded file of
// the suite, so only the record's reader and the removal's checks keep them.
TEST_F(UninstallTest, EditedRecordRemovesNothingOfTheClinicsOrBehindALink) {
    const std::wstring target = Target(L"edited-record");
    InstallAndUse(target);
    std::string record = ReadFileBytes(RecordPath(target));
    const std::string shellLine = [&] {
        for (std::size_t start = 0; start < record.size();) {
            const std::size_t end = record.find("\r\n", start);
            const std::string line = record.substr(start, end - start);
            if (line.starts_with("file\t") && line.ends_with("\tShell.exe"))
                return line;
            start = end + 2;
        }
        return std::string();
    }();
    ASSERT_FALSE(shellLine.empty()) << record;
    const std::string shell = ReadFileBytes(JoinPath(target, L"Shell.exe"));
    const std::string sizeAndHash = shellLine.substr(0, shellLine.size() - std::string("Shell.exe").size());
    WriteFileBytes(JoinPath(target, L"DTAfb\\T12.FDB"), shell);
    const std::wstring other = JoinPath(FRoot, L"Чужая папка");
    WriteFileBytes(JoinPath(other, L"f.txt"), shell);
    PlantLink(JoinPath(target, L"Ссылка"), other);
    std::string edited;
    for (std::size_t start = 0; start < record.size();) {
        const std::size_t end = record.find("\r\n", start);
        const std::string line = record.substr(start, end - start);
        if (!line.starts_with("data\t"))
            edited += line + "\r\n";
        start = end + 2;
    }
    for (const char* path : {"DTAfb/T12.FDB", "DTAfb.\\T12.FDB", "dtafb\\T12.FDB", "Ссылка\\f.txt"})
        edited += sizeAndHash + path + "\r\n";
    WriteFileBytes(RecordPath(target), edited);

    const std::wstring log = LogPath(L"edited-record");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /DIR=" +
                                                 Quoted(target) + L" /LOG=" + Quoted(log)),
              0u);
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\T12.FDB")), shell) << Joined(ReadRunLog(log));
    EXPECT_EQ(ReadFileBytes(JoinPath(other, L"f.txt")), shell);
    EXPECT_FALSE(FileExists(JoinPath(target, L"Shell.exe"))) << "the suite's own file went";
}

// A removal that did not happen keeps everything the next one needs: stopped at a held file, the
// uninstaller, the record and the entry stay (1603). Without its record the removal refuses to guess: 1603,
// the entry stays, nothing is removed.
TEST_F(UninstallTest, RemovalThatDidNotHappenKeepsItsUninstallerRecordAndEntry) {
    const std::wstring target = Target(L"stopped");
    InstallAndUse(target);
    {
        THolder holder(JoinPath(target, L"fbclient.Dll"));
        TWizard& removal = Launch(JoinPath(target, L"Uninstall"), TLaunch{L"/UNINSTALL", {}});
        removal.WaitMainWindow();
        removal.Answer(removal.WaitMessageBox(RunTimeout), IDYES);
        const TMessageBox held = removal.WaitMessageBox(RunTimeout);
        EXPECT_NE(held.Text.find(L"fbclient.Dll"), std::wstring::npos) << ToUtf8(held.Text);
        removal.Answer(held, IDCANCEL);
        EXPECT_EQ(removal.WaitRunEnd(RunTimeout), TRunOutcome::ExitEnabled);
        removal.Click(Exit);
        EXPECT_EQ(removal.WaitExit(DefaultTimeout, true), 1603u);
    }
    ::Sleep(1500); // a hand-over, were there one, would have removed the uninstaller by now
    EXPECT_TRUE(FileExists(JoinPath(target, L"Uninstall\\Setup.exe")));
    EXPECT_TRUE(FileExists(RecordPath(target)));
    EXPECT_EQ(EntryText(L"InstallLocation"), target);

    ::DeleteFileW(RecordPath(target).c_str());
    const std::wstring log = LogPath(L"no-record");
    EXPECT_EQ(RunUnattended(JoinPath(target, L"Uninstall"),
                            L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /LOG=" + Quoted(log)),
              1603u);
    EXPECT_TRUE(LogHas(ReadRunLog(log), L"нет сведений о том, какие файлы установлены"));
    EXPECT_TRUE(FileExists(JoinPath(target, L"Shell.exe")));
    EXPECT_TRUE(FileExists(JoinPath(target, L"Uninstall\\Setup.exe")));
    EXPECT_EQ(EntryText(L"InstallLocation"), target);
}

// The record and the journal are read with an administrator's rights only from an uninstaller's folder of the
// administrators'. One an ordinary user owns (so reported by the test build) is not trusted: the removal
// refuses it with 1603 and removes nothing; the next installation moves it aside with what it holds, names
// it, and makes the folder, the uninstaller and the record anew, after which the removal goes through.
TEST_F(UninstallTest, AnUninstallersFolderOfAnOrdinaryUserIsNeverTrusted) {
    const std::wstring target = Target(L"foreign-uninstaller");
    InstallAndUse(target);
    const std::wstring folder = JoinPath(target, L"Uninstall");
    const std::pair<std::wstring, std::wstring> usersOwn{L"TESSARO_E2E_USER_OWNED", L"Uninstall"};
    const std::wstring refused = LogPath(L"foreign-uninstaller-removal");
    EXPECT_EQ(RunUnattended(folder, L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /LOG=" + Quoted(refused),
                            {usersOwn}),
              1603u);
    EXPECT_TRUE(LogHas(ReadRunLog(refused),
                       L"Ошибка: Папке «" + folder + L"» нельзя доверять: её владелец — не администратор."))
        << Joined(ReadRunLog(refused));
    EXPECT_TRUE(FileExists(JoinPath(target, L"Shell.exe")));
    EXPECT_EQ(EntryText(L"InstallLocation"), target);

    const std::wstring reinstall = LogPath(L"foreign-uninstaller-reinstall");
    EXPECT_EQ(RunUnattended(FOptions.Medium,
                            L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target) + L" /LOG=" +
                                Quoted(reinstall),
                            {usersOwn}),
              0u);
    const std::vector<std::wstring> entries = ReadRunLog(reinstall);
    EXPECT_TRUE(LogHas(entries, L"Строка: Папке «" + folder +
                                    L"» нельзя было доверять: она отложена и создана заново."))
        << Joined(entries);
    EXPECT_TRUE(
        LogHas(entries, L"Сведения: Папке «" + folder +
                            L"» нельзя было доверять (её владелец — не администратор): она отложена как «" +
                            folder + L".~tessaro-"))
        << Joined(entries);
    EXPECT_TRUE(FileExists(RecordPath(target)));
    EXPECT_EQ(
        RunUnattended(FOptions.Medium, L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /DIR=" + Quoted(target)),
        0u);
    // What the run copied itself is in the new record; what only the set-aside record named stays.
    EXPECT_FALSE(FileExists(JoinPath(target, L"fbclient.Dll")));
}

// /FINISHUNINSTALL is the business of the uninstaller's own temporary copy: given to the medium's program,
// with /DIR or without, it is refused with 1, removes nothing and installs nothing.
TEST_F(UninstallTest, FinishUninstallFromElsewhereIsRefusedAndChangesNothing) {
    const std::wstring other = Target(L"Other");
    WriteFileBytes(JoinPath(other, L"Uninstall\\Setup.exe"), "another program's uninstaller");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/FINISHUNINSTALL=4 /DIR=" + Quoted(other)), 1u);
    EXPECT_EQ(ReadFileBytes(JoinPath(other, L"Uninstall\\Setup.exe")), "another program's uninstaller");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/FINISHUNINSTALL=4"), 1u);
    EXPECT_EQ(EntryText(L"InstallLocation"), L"<none>") << "no installation instead";
}

} // namespace
