// The medium run again over a suite that is still in use, as clinics do: files held by its running programs,
// a package script that fails, a nearly full disk, a target whose parents are missing, a close while the
// run goes on and a run killed half-way. Each case starts from a complete installation of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "InstallCase.h"
#include "PrefixResolution.h"

using namespace e2e;

namespace {

// The next release on a medium of its own: the server's library, the newest package's shell and the updater's
// settings changed, a file added to the package.
TMediumBuilder NextRelease(const std::wstring& medium, const std::wstring& folder) {
    TMediumBuilder next(medium, folder);
    next.WriteFile(L"Firebird\\fbclient.Dll", "fbclient.Dll of the next release")
        .WriteFile(std::wstring(medium::Backup) + L"\\" + medium::NewestPackage + L"\\Files\\Shell.exe",
                   "next shell")
        .WriteFile(std::wstring(medium::Backup) + L"\\" + medium::NewestPackage + L"\\Новое\\added.dll",
                   "added")
        .WriteFile(medium::UpdaterSettings, "next settings");
    return next;
}

class ReinstallTest : public InstallCase {
protected:
    // A complete unattended installation, with the clinic's recordings in its database afterwards.
    void Installed(const std::wstring& medium, const std::wstring& target, const std::wstring& more = {}) {
        ASSERT_EQ(
            RunUnattended(medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target) + more),
            0u);
        WriteFileBytes(JoinPath(target, L"DTAfb\\T12.FDB"), Recordings);
    }
    // The wizard of `medium` started over `target`, the run begun and its first box awaited.
    TMessageBox InstallUntilABox(TWizard& wizard) {
        wizard.Click(InstallButton);
        TMessageBox box = wizard.WaitMessageBox(RunTimeout);
        if (box.Text == DriverQuestion) {
            wizard.Answer(box, IDNO);
            box = wizard.WaitMessageBox(RunTimeout);
        }
        return box;
    }

    const std::string Recordings = "the clinic's recordings";
};

// A server library held by a running program: the box names the file; once the program lets go, "Повтор"
// takes the run to its end.
TEST_F(ReinstallTest, HeldFileIsNamedAndTheRunGoesOnOnceItsProgramLetsGo) {
    const std::wstring target = Target(L"held-retry");
    Installed(FOptions.Medium, target);
    const std::wstring library = JoinPath(target, L"fbclient.Dll");
    THolder holder(library);
    // The next release: a file that is there as the medium has it is left alone, held or not.
    TMediumBuilder next = NextRelease(FOptions.Medium, TempPath(L"tessaro-e2e-medium-next"));
    FCleanUp.push_back(next.Folder());

    TWizard& wizard = WalkToComponents(next.Folder(), target, {}, L"/NODRIVER");
    const TMessageBox box = InstallUntilABox(wizard);
    EXPECT_NE(box.Text.find(L"Файл «" + library + L"» открыт другой программой"), std::wstring::npos)
        << ToUtf8(box.Text);
    wizard.Screenshot(L"18-file-in-use.png", box.Handle);
    holder.LetGo();
    wizard.Answer(box, IDRETRY);
    EXPECT_EQ(wizard.WaitRunEnd(RunTimeout), TRunOutcome::FontPage);
    LeaveFromFontPage(wizard);
    EXPECT_EQ(ReadFileBytes(library), "fbclient.Dll of the next release");
    const std::vector<std::wstring> backups = Backups(target);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\" + backups[0])), Recordings);
}

// "Отмена" stops the run and loses nothing: every file of the suite is byte for byte as before, the clinic's
// database included, and the settings the suite's program saved as it closed (the box asks for that) stay:
// the undo puts back only the keys the run wrote.
TEST_F(ReinstallTest, HeldFileCancelledLeavesEverythingAsItWas) {
    const std::wstring target = Target(L"held-cancel");
    Installed(FOptions.Medium, target);
    const auto before = TreeBelow(target);
    const std::wstring log = LogPath(L"held-cancel");
    THolder holder(JoinPath(target, L"fbclient.Dll"));
    TMediumBuilder next = NextRelease(FOptions.Medium, TempPath(L"tessaro-e2e-medium-next"));
    FCleanUp.push_back(next.Folder());

    TWizard& wizard = WalkToComponents(next.Folder(), target, {}, L"/NODRIVER /LOG=" + Quoted(log));
    const TMessageBox box = InstallUntilABox(wizard);
    ASSERT_NE(box.Text.find(L"fbclient.Dll"), std::wstring::npos) << ToUtf8(box.Text);
    const std::wstring settings = JoinPath(target, L"Settings\\holter.ini");
    const std::string saved = ReadFileBytes(settings) + "LastPatient=7\r\n";
    WriteFileBytes(settings, saved);
    wizard.Answer(box, IDCANCEL);
    // The run ends there, without another box repeating what the user just chose.
    wizard.WaitFor(L"the run's end", RunTimeout, [&]() -> HWND {
        const auto lines = wizard.ProgressLines();
        return !lines.empty() && lines.back() == RolledBack ? wizard.MainWindow() : nullptr;
    });
    EXPECT_FALSE(wizard.FindMessageBox().has_value());
    wizard.PostToMain(WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);
    holder.LetGo();

    const auto after = TreeBelow(target);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(ReadFileBytes(settings), saved) << "the settings saved during the run stay";
    for (auto [path, bytes] : before) {
        if (path == L"Settings\\holter.ini")
            bytes = saved;
        const auto now = after.find(path);
        if (now == after.end())
            ADD_FAILURE() << "gone: " << ToUtf8(path);
        else
            EXPECT_TRUE(now->second == bytes) << "changed: " << ToUtf8(path);
    }
    const auto entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Сведения: Отмена по выбору пользователя"));
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1603"));
}

// An update that stops before its commit leaves the suite exactly as it was: nobody there to close a program
// that holds a file of the package step (the run tries it again every two seconds for half a minute, then
// stops with 1603 and names it), or a copy that does not reach the disk. Every file of the folder is byte for
// byte as before, nothing is added, the entry is the one of before; the same run with nothing in the way then
// completes.
TEST_F(ReinstallTest, UpdateThatStopsBeforeItsCommitLeavesTheSuiteAsItWas) {
    const std::wstring target = Target(L"held-unattended");
    Installed(FOptions.Medium, target);
    TMediumBuilder next = NextRelease(FOptions.Medium, TempPath(L"tessaro-e2e-medium-next"));
    FCleanUp.push_back(next.Folder());
    const auto before = TreeBelow(target);
    const std::wstring version = EntryText(L"DisplayVersion"), installed = EntryText(L"InstallDate");
    const std::wstring held = JoinPath(target, L"Updater.exe.cfg");
    const std::wstring switches = L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target);
    {
        THolder holder(held);
        const std::wstring log = LogPath(L"held-unattended");
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(RunUnattended(next.Folder(), switches + L" /LOG=" + Quoted(log)), 1603u);
        EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(28));
        const auto entries = ReadRunLog(log);
        EXPECT_TRUE(LogHas(entries, L"Сведения: Файл «" + held + L"» открыт другой программой"));
        EXPECT_TRUE(LogHas(entries, L"Ошибка: Файл «" + held + L"» открыт другой программой"));
        EXPECT_TRUE(LogHas(entries, L"Строка: " + RolledBack));
    }
    EXPECT_TRUE(TreeBelow(target) == before) << "the suite as it was, byte for byte, nothing added";
    EXPECT_EQ(EntryText(L"DisplayVersion"), version);
    EXPECT_EQ(EntryText(L"InstallDate"), installed);

    const std::wstring flush = LogPath(L"flush-fails");
    EXPECT_EQ(RunUnattended(next.Folder(), switches + L" /LOG=" + Quoted(flush),
                            {{L"TESSARO_E2E_FAIL_FLUSH", L"added.dll"}}),
              1603u);
    EXPECT_TRUE(LogHas(ReadRunLog(flush), L"Строка: " + RolledBack)) << Joined(ReadRunLog(flush));
    EXPECT_TRUE(TreeBelow(target) == before) << "a copy that did not reach the disk undoes the run";

    // A package's file that cannot be copied: over an installation half a package is never committed.
    const std::wstring unread = LogPath(L"package-file-unread");
    EXPECT_EQ(RunUnattended(next.Folder(), switches + L" /LOG=" + Quoted(unread),
                            {{L"TESSARO_E2E_FAIL_READ", L"added.dll"}}),
              1603u);
    const auto unreadEntries = ReadRunLog(unread);
    EXPECT_TRUE(LogHas(unreadEntries, L"Пакеты обновлений скопированы не полностью: файл «"))
        << Joined(unreadEntries);
    EXPECT_TRUE(LogHas(unreadEntries, L"Строка: " + RolledBack));
    EXPECT_TRUE(TreeBelow(target) == before) << "half a package undoes the run";

    EXPECT_EQ(RunUnattended(next.Folder(), switches), 0u);
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"fbclient.Dll")), "fbclient.Dll of the next release");
    EXPECT_EQ(ReadFileBytes(held), "next settings");
    EXPECT_TRUE(StrayCopies(target).empty());
}

// A package whose script fails is not recorded as installed, the rest of the run goes on, and an unattended
// run says so with 1603.
TEST_F(ReinstallTest, FailingPackageScriptIsReportedAndNotRecorded) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-failing-script"));
    FCleanUp.push_back(medium.Folder());
    medium.WriteFile(std::wstring(medium::Backup) + L"\\" + medium::NewestPackage + L"\\Install.cmd",
                     "@echo off\r\nexit /b 5\r\n");
    const std::wstring target = Target(L"failing-script");
    const std::wstring log = LogPath(L"failing-script");
    EXPECT_EQ(RunUnattended(medium.Folder(), L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" +
                                                 Quoted(target) + L" /LOG=" + Quoted(log)),
              1603u);
    const auto entries = ReadRunLog(log);
    const std::wstring line = L"Пакет выпуска «R010321» не установлен: сценарий завершился с кодом 5";
    EXPECT_TRUE(LogHas(entries, L"Строка: " + line));
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"ReleaseInfo")),
              ReadFileBytes(medium.Path(medium::ReleaseInfo)))
        << "no level recorded for a package that did not install";
    EXPECT_TRUE(FileExists(DesktopLink())) << "the link comes all the same";
}

// Missing levels above the target are made, as any installer makes them.
TEST_F(ReinstallTest, TargetWhoseParentsAreMissingIsCreatedWithThem) {
    const std::wstring target = JoinPath(FRoot, L"Программы и данные\\Тессаро\\Дедира") + L"\\";
    EXPECT_EQ(
        RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target)),
        0u);
    ExpectDeployedFiles(FOptions.Medium, target, 0);
}

// A reinstall on a disk with little room left needs only what grows, not the whole medium again.
TEST_F(ReinstallTest, ReinstallOnANearlyFullDiskThatFits) {
    const std::wstring drive = L"S:\\";
    ULARGE_INTEGER free{}, total{};
    if (::GetDriveTypeW(drive.c_str()) == DRIVE_NO_ROOT_DIR ||
        !::GetDiskFreeSpaceExW(drive.c_str(), &free, &total, nullptr))
        GTEST_SKIP() << "no small drive S: here (the test script maps one where it may mount a memory disk)";
    if (total.QuadPart > 8u * 1024 * 1024)
        GTEST_SKIP() << "S: is no small memory disk here";
    // The medium with one package: small enough for the memory disk.
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-small"));
    FCleanUp.push_back(medium.Folder());
    medium.RemoveFolder(std::wstring(medium::Backup) + L"\\" + medium::OlderPackage)
        .RemoveFolder(std::wstring(medium::Backup) + L"\\" + medium::WithOutAnswer);
    const std::wstring target = drive + L"Дедира\\";
    FCleanUp.push_back(target);
    RemoveTree(target);
    Installed(medium.Folder(), target);

    // Fill the disk up to a little room, far less than the medium: what grows, and room for the largest file
    // the run replaces, whose new copy is written beside the old one before it takes its place.
    std::uint64_t largest = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(medium.Folder() + L"\\backup"))
        if (entry.is_regular_file())
            largest = std::max<std::uint64_t>(largest, entry.file_size());
    const std::wstring filler = drive + L"filler";
    FCleanUp.push_back(filler);
    ASSERT_TRUE(::GetDiskFreeSpaceExW(drive.c_str(), &free, &total, nullptr));
    const std::uint64_t leave = 96 * 1024 + largest;
    ASSERT_GT(free.QuadPart, leave);
    WriteFileBytes(filler, std::string(static_cast<std::size_t>(free.QuadPart - leave), 'f'));
    const std::wstring log = LogPath(L"nearly-full");
    EXPECT_EQ(RunUnattended(medium.Folder(), L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" +
                                                 Quoted(target) + L" /LOG=" + Quoted(log)),
              0u)
        << Joined(ReadRunLog(log));
    EXPECT_FALSE(LogHas(ReadRunLog(log), L"Недостаточно места"));
    RemoveTree(filler);
}

// The run goes on a thread of its own: a close or Esc while it runs, and one while its box about a held file
// is up, leave the window where it is until the run has ended, and then it closes without another question,
// with the run's exit code. In the protected stretch (the database step) a close is refused and forgotten:
// the run ends as it would have.
TEST_F(ReinstallTest, CloseOrEscDuringTheRunWaitsForItsEnd) {
    // A complete run at 120 dots per inch ends on the final question: only a close that is carried out
    // leaves without it (at 96 the run ends on the large-font page, question or not).
    TPrefixResolution resolution(120);
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-slow-script"));
    FCleanUp.push_back(medium.Folder());
    const std::wstring package = std::wstring(medium::Backup) + L"\\" + medium::NewestPackage;
    medium.WriteFile(package + L"\\e2e_hold.exe", ReadFileBytes(HoldProgram()));
    medium.WriteFile(package + L"\\hold", "");
    medium.WriteFile(package + L"\\Install.cmd",
                     "@echo off\r\n\"%~dp0e2e_hold.exe\"\r\ncopy /y \"%~dp0Files\\*.*\" "
                     "\"%~dp0..\\..\\\" >nul\r\nexit /b 0\r\n");
    // Files of another release than the one installed: a held file the medium has as it is is left alone.
    medium.WriteFile(L"Firebird\\fbclient.Dll", "fbclient.Dll of the next release")
        .WriteFile(medium::UpdaterSettings, "next settings");
    enum class TWhen { ScriptRuns, HeldUpdaterBox, HeldServerFileBox };
    enum class TAsk { Close, Esc };
    struct TCase {
        const wchar_t* Name;
        TWhen When;
        TAsk Ask;
        bool Closes; // the window closes by itself at the run's end
    };
    const TCase cases[] = {
        {L"close", TWhen::ScriptRuns, TAsk::Close, true},
        {L"esc", TWhen::ScriptRuns, TAsk::Esc, true},
        {L"close-at-box", TWhen::HeldUpdaterBox, TAsk::Close, true},
        {L"close-protected", TWhen::HeldServerFileBox, TAsk::Close, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Name));
        const std::wstring target = Target(c.Name);
        std::unique_ptr<THolder> holder;
        if (c.When != TWhen::ScriptRuns) {
            Installed(FOptions.Medium, target);
            holder = std::make_unique<THolder>(
                JoinPath(target, c.When == TWhen::HeldUpdaterBox ? L"Updater.exe.cfg" : L"fbclient.Dll"));
        }
        TWizard& wizard = WalkToComponents(medium.Folder(), target);
        wizard.Click(InstallButton);
        // The database step, and its held file, come before the driver's question.
        if (c.When != TWhen::HeldServerFileBox)
            wizard.Answer(wizard.WaitMessageBox(RunTimeout), IDNO);
        std::optional<TMessageBox> box;
        if (c.When == TWhen::ScriptRuns) {
            const std::wstring running = JoinPath(target, package + L"\\e2e_hold.ran");
            wizard.WaitFor(L"the package's script", RunTimeout,
                           [&]() -> HWND { return FileExists(running) ? wizard.MainWindow() : nullptr; });
        } else {
            box = wizard.WaitMessageBox(RunTimeout);
            EXPECT_NE(box->Text.find(L"открыт другой программой"), std::wstring::npos) << ToUtf8(box->Text);
        }
        if (c.Ask == TAsk::Close)
            wizard.PostToMain(WM_CLOSE, 0, 0);
        else
            wizard.PressKey(VK_ESCAPE);
        ::Sleep(1000);
        EXPECT_TRUE(::IsWindow(wizard.MainWindow()) && ::IsWindowVisible(wizard.MainWindow()))
            << "the window stays while the run goes on";
        if (box) {
            EXPECT_TRUE(::IsWindow(box->Handle)) << "the box stays for its answer";
            holder->LetGo();
            wizard.Answer(*box, IDRETRY);
        } else {
            EXPECT_FALSE(wizard.FindMessageBox().has_value());
        }
        if (c.When == TWhen::HeldServerFileBox) {
            wizard.Answer(wizard.WaitMessageBox(RunTimeout), IDNO);
            wizard.WaitFor(L"the package's script", RunTimeout, [&]() -> HWND {
                return FileExists(JoinPath(target, package + L"\\e2e_hold.ran")) ? wizard.MainWindow()
                                                                                 : nullptr;
            });
        }
        ::DeleteFileW(JoinPath(target, package + L"\\hold").c_str());
        if (c.Closes) {
            EXPECT_EQ(wizard.WaitExit(RunTimeout, true), 0u) << "no question after the close";
        } else {
            TMessageBox last;
            TRunOutcome outcome = wizard.WaitRunEnd(RunTimeout, &last);
            if (outcome == TRunOutcome::ExitEnabled) {
                last = wizard.WaitMessageBox(RunTimeout);
                outcome = TRunOutcome::MessageBox;
            }
            ASSERT_EQ(outcome, TRunOutcome::MessageBox) << "the refused close is forgotten";
            EXPECT_EQ(ToUtf8(last.Text), ToUtf8(L"Установка завершена. Выйти из программы установки?"));
            wizard.Answer(last, IDYES);
            EXPECT_EQ(wizard.WaitExit(RunTimeout, true), 0u);
        }
        EXPECT_TRUE(FileExists(DesktopLink())) << "the run finished its steps";
        holder.reset();
        RemoveTreeWithin(DesktopLink(), TDuration{2000});
    }
}

// Whether a recording is in the suite's database or in a dated copy beside it.
bool Recorded(const std::wstring& target, const std::string& recording) {
    std::vector<std::wstring> names = Backups(target);
    names.push_back(L"T12.FDB");
    for (const std::wstring& name : names) {
        const std::wstring path = JoinPath(target, L"DTAfb\\" + name);
        if ((name == L"T12.FDB" || name.ends_with(L".bak")) && FileExists(path) &&
            ReadFileBytes(path).find(recording) != std::string::npos)
            return true;
    }
    return false;
}

std::string RecordingText(int number) {
    std::string text = "; recording ";
    text += std::to_string(number);
    return text;
}

// A reinstall stopped again and again, as a power cut or the task manager stops it (while it copies the
// database or a package, and at points of its commit) and once by a log-off, while the clinic goes on
// recording into whatever database the suite has between the stops: after every stop the database's name
// holds a whole database and no recording is lost; the last run completes with the newer suite whole and
// nothing of the stopped runs left in the folder.
TEST_F(ReinstallTest, RunStoppedAgainAndAgainLosesNoRecordingAndTheLastCompletes) {
    TMediumBuilder medium = NextRelease(FOptions.Medium, TempPath(L"tessaro-e2e-medium-stopped"));
    FCleanUp.push_back(medium.Folder());
    const std::wstring target = Target(L"stopped");
    Installed(FOptions.Medium, target);
    const std::wstring database = JoinPath(target, L"DTAfb\\T12.FDB");
    const std::string mediumDatabase = ReadFileBytes(medium.Path(L"DTAfb\\T12.FDB"));
    const std::string largeDatabase(256u * 1024 * 1024, 'd');
    const std::wstring switches = L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target);
    const std::wstring package = std::wstring(medium::Backup) + L"\\" + medium::NewestPackage;
    TRunPause pause(TempPath(L"tessaro-e2e-pause"),
                    L"database-copied,server-files,database-swapped,committed");

    enum class TStop { KillCopyingDatabase, KillCopyingPackage, KillAt, LogOffAt };
    struct TCase {
        const wchar_t* Name;
        TStop Stop;
        const wchar_t* Point; // the pause the stop comes at
        bool BothKept;        // the run finds the database the clinic wrote to since the last stop's swap
    };
    const TCase cases[] = {
        {L"killed copying the database", TStop::KillCopyingDatabase, nullptr, false},
        {L"killed with the copy made", TStop::KillAt, L"database-copied", false},
        {L"logged off", TStop::LogOffAt, L"server-files", false},
        {L"killed with the database swapped", TStop::KillAt, L"database-swapped", false},
        {L"killed copying a package", TStop::KillCopyingPackage, nullptr, true},
        {L"killed after the commit", TStop::KillAt, L"committed", false},
    };
    int recordings = 0;
    WriteFileBytes(database, Recordings + RecordingText(0));
    for (const TCase& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Name));
        // Large files only where the stop must catch a copy under way.
        medium.WriteFile(L"DTAfb\\T12.FDB", c.Stop == TStop::KillCopyingDatabase
                                                ? std::string_view(largeDatabase)
                                                : mediumDatabase);
        if (c.Stop == TStop::KillCopyingPackage)
            medium.WriteFile(package + L"\\large.dat", std::string(256u * 1024 * 1024, 'p'));
        else if (FileExists(medium.Path(package + L"\\large.dat")))
            medium.RemoveFile(package + L"\\large.dat");
        const std::wstring log = LogPath(c.Name);
        TWizard& run =
            Launch(medium.Folder(), TLaunch{switches + L" /LOG=" + Quoted(log),
                                            c.Point ? pause.Environment()
                                                    : std::vector<std::pair<std::wstring, std::wstring>>{}});
        if (c.Point) {
            // The run passes the other points on its way: each is let go until the one of the case.
            for (std::wstring point = pause.WaitPaused(run, RunTimeout); point != c.Point;
                 point = pause.WaitPaused(run, RunTimeout)) {
                pause.Resume();
                ::Sleep(50);
            }
        } else {
            // The large file's own half-made copy: what earlier stops left beside other files is older.
            const std::wstring copying =
                c.Stop == TStop::KillCopyingDatabase ? L"T12.FDB.~tessaro-" : L"large.dat.~tessaro-";
            run.WaitFor(L"a copy under way", RunTimeout, [&]() -> HWND {
                for (const std::wstring& stray : StrayCopies(target))
                    if (stray.find(copying) != std::wstring::npos && stray.ends_with(L".tmp"))
                        return ::GetDesktopWindow();
                return nullptr;
            });
        }
        if (c.Stop == TStop::LogOffAt) {
            EXPECT_GE(run.EndSessionAnyway(), 1) << "the run's hidden window hears of the session's end";
            EXPECT_EQ(run.WaitExit(RunTimeout), 1603u);
            const auto entries = ReadRunLog(log);
            EXPECT_TRUE(LogHas(entries, L"Строка: " + RolledBack)) << Joined(entries);
            EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1603"));
        } else {
            ASSERT_TRUE(::TerminateProcess(run.Process(), 9));
            ::WaitForSingleObject(run.Process(), 10000);
            EXPECT_FALSE(LogHas(ReadRunLog(log), L"Код завершения")) << "killed before its end";
        }
        pause.Resume();
        // The recovery kept the database the clinic wrote to, and said so.
        EXPECT_EQ(LogHas(ReadRunLog(log), L"записывали во время установки: она сохранена как"), c.BothKept);
        // Whole: the clinic's with its recordings, or the medium's, which the clinic may have recorded into.
        const std::string now = ReadFileBytes(database);
        EXPECT_TRUE(now.starts_with(Recordings) || now.starts_with(mediumDatabase)) << now.substr(0, 80);
        for (int each = 0; each <= recordings; ++each)
            EXPECT_TRUE(Recorded(target, RecordingText(each))) << "recording " << each << " lost";
        // The clinic goes on recording into the database the suite has.
        WriteFileBytes(database, now + RecordingText(++recordings));
    }
    if (FileExists(medium.Path(package + L"\\large.dat")))
        medium.RemoveFile(package + L"\\large.dat");
    const std::wstring last = LogPath(L"after-the-stops");
    EXPECT_EQ(RunUnattended(medium.Folder(), switches + L" /LOG=" + Quoted(last)), 0u);
    for (int each = 0; each <= recordings; ++each)
        EXPECT_TRUE(Recorded(target, RecordingText(each))) << "recording " << each << " lost";
    EXPECT_EQ(ReadFileBytes(database), mediumDatabase);
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"fbclient.Dll")), "fbclient.Dll of the next release");
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"Updater.exe.cfg")), "next settings");
    EXPECT_TRUE(FileExists(JoinPath(target, package + L"\\Новое\\added.dll")));
    EXPECT_FALSE(FileExists(JoinPath(target, package + L"\\large.dat")));
    EXPECT_EQ(StrayCopies(target), std::vector<std::wstring>{});
    EXPECT_FALSE(FileExists(JoinPath(target, L"Uninstall\\journal.txt")));
    for (const std::wstring& name : Backups(target))
        EXPECT_TRUE(name.ends_with(L".bak") && name.find(L"~tessaro") == std::wstring::npos) << ToUtf8(name);
}

// The session's end during a reinstall, unattended with the progress page (/SILENT) and without any window
// that shows (/VERYSILENT): Wine's own end of the session is refused, said in the log, and the run goes on to
// its end; an end all the same (Windows' after "end anyway") stops the run, which undoes itself, and the
// process ends with 1603, the suite and the clinic's database as they were.
TEST_F(ReinstallTest, TheSessionsEndIsRefusedOrUndoesTheRun) {
    TMediumBuilder next = NextRelease(FOptions.Medium, TempPath(L"tessaro-e2e-medium-next"));
    FCleanUp.push_back(next.Folder());
    for (const wchar_t* mode : {L"/SILENT", L"/VERYSILENT"}) {
        SCOPED_TRACE(ToUtf8(mode));
        const std::wstring target = Target(std::wstring(L"session-end") + (mode[1] == L'V' ? L"-very" : L""));
        Installed(FOptions.Medium, target);
        const auto before = TreeBelow(target);
        const std::wstring switches =
            std::wstring(mode) + L" /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target);
        for (bool anyway : {true, false}) {
            TRunPause pause(TempPath(L"tessaro-e2e-pause"), L"package-copies");
            const std::wstring log = LogPath(anyway ? L"session-ended" : L"session-refused");
            TWizard& run =
                Launch(next.Folder(), TLaunch{switches + L" /LOG=" + Quoted(log), pause.Environment()});
            pause.WaitPaused(run, RunTimeout);
            if (anyway) {
                EXPECT_GE(run.EndSessionAnyway(), 1);
                EXPECT_EQ(run.WaitExit(RunTimeout), 1603u);
                EXPECT_TRUE(TreeBelow(target) == before) << "the run undone, the database as it was";
                const auto entries = ReadRunLog(log);
                EXPECT_TRUE(LogHas(entries, L"Строка: " + RolledBack)) << Joined(entries);
                EXPECT_TRUE(LogHas(entries, L"Сеанс Windows завершается"));
                continue;
            }
            EXPECT_EQ(EndSessionByWineboot(), 1u) << "the end of the session refused";
            EXPECT_TRUE(run.Running()) << "the run is not cut";
            pause.Resume();
            EXPECT_EQ(run.WaitExit(RunTimeout, true), 0u);
            EXPECT_TRUE(LogHas(ReadRunLog(log), L"Строка: Завершение сеанса Windows отложено: идёт установка "
                                                L"комплекса."));
            EXPECT_EQ(ReadFileBytes(JoinPath(target, L"fbclient.Dll")), "fbclient.Dll of the next release");
            EXPECT_EQ(Backups(target).size(), 1u) << Joined(Backups(target));
            EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\" + Backups(target).front())), Recordings);
        }
    }
}

// Two runs at once over one folder: the second does nothing and ends with 1618; the first goes on to its end.
TEST_F(ReinstallTest, ASecondRunOverTheSameFolderIsRefused) {
    const std::wstring target = Target(L"two-runs");
    Installed(FOptions.Medium, target);
    const std::wstring switches = L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target);
    TRunPause pause(TempPath(L"tessaro-e2e-pause"), L"locked");
    TWizard& first = Launch(FOptions.Medium, TLaunch{switches, pause.Environment()});
    pause.WaitPaused(first, RunTimeout);
    const auto before = TreeBelow(target);
    for (const std::wstring& second : {switches, L"/UNINSTALL " + switches}) {
        const std::wstring log = LogPath(L"second-run");
        EXPECT_EQ(RunUnattended(FOptions.Medium, second + L" /LOG=" + Quoted(log)), 1618u) << ToUtf8(second);
        EXPECT_TRUE(LogHas(ReadRunLog(log), L"уже работает другая программа установки или удаления"));
        EXPECT_TRUE(TreeBelow(target) == before) << "nothing done";
    }
    pause.Resume();
    EXPECT_EQ(first.WaitExit(RunTimeout, true), 0u);
}

} // namespace

namespace {

// Links any user may plant in the suite's folder are never followed. One to another folder is passed over by
// the reinstall's walk (the log names it), so that the record never lists what lies behind it; "udf\" made a
// link to that folder stops the next reinstall before anything is written through it, with the clinic's
// database back in place; and the removal after both leaves the other folder whole.
TEST_F(ReinstallTest, LinksPlantedInTheFolderAreNeverFollowed) {
    const std::wstring target = Target(L"links");
    Installed(FOptions.Medium, target);
    const std::wstring other = JoinPath(FRoot, L"Чужая папка");
    WriteFileBytes(JoinPath(other, L"Compare.Dll"), "another program's library");
    WriteFileBytes(JoinPath(other, L"Отчёты\\отчёт.txt"), "another program's report");
    const auto others = FilesBelow(other);
    const std::wstring archive = JoinPath(target, L"Архив");
    PlantLink(archive, other);

    const std::wstring walked = LogPath(L"links-walk");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" +
                                                 Quoted(target) + L" /LOG=" + Quoted(walked)),
              0u);
    EXPECT_TRUE(
        LogHas(ReadRunLog(walked), L"Ссылка пропущена (создана не администратором): " + Guillemets(archive)));
    EXPECT_EQ(ReadFileBytes(RecordPath(target)).find(ToUtf8(L"Архив")), std::string::npos)
        << "the record lists nothing behind the link";

    WriteFileBytes(JoinPath(target, L"DTAfb\\T12.FDB"), Recordings);
    const std::wstring udf = JoinPath(target, L"udf");
    RemoveTree(udf);
    PlantLink(udf, other);
    const std::wstring stopped = LogPath(L"links-udf");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" +
                                                 Quoted(target) + L" /LOG=" + Quoted(stopped)),
              1603u);
    const auto entries = ReadRunLog(stopped);
    // The line names the link; the box (here the log's error) where it leads and why nothing goes there.
    EXPECT_TRUE(
        LogHas(entries, L"Строка: Папка " + Guillemets(udf) + L" — ссылка, созданная не администратором."))
        << Joined(entries);
    EXPECT_TRUE(
        LogHas(entries, L"Ошибка: Папка " + Guillemets(udf) + L" — ссылка на " + Guillemets(other) +
                            L", созданная не администратором: программа установки не пишет в такие папки."))
        << Joined(entries);
    EXPECT_EQ(FilesBelow(other), others) << "nothing written through the link";
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\T12.FDB")), Recordings);

    EXPECT_EQ(
        RunUnattended(FOptions.Medium, L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /DIR=" + Quoted(target)),
        0u);
    EXPECT_EQ(FilesBelow(other), others) << "the removal took nothing behind a link";
    EXPECT_FALSE(FileExists(JoinPath(target, L"Shell.exe")));
}

// A folder of the suite's swapped for a link to another program's folder while the run waits: for a held file
// to be let go, or at its commit. Windows keeps anyone from renaming a folder the run holds; Wine does not
// keep the host's programs from it, which stand in here for a user who got there first. The run finds the
// folder changed on the handle it holds before it writes anything more, stops with 1603 and is undone, and
// nothing behind the link changes. What it left in the swapped folder itself (its copy of the medium's
// database) stays named in its journal, and the next run, with the folder back, removes it first and
// completes.
TEST_F(ReinstallTest, AFolderSwappedForALinkWhileTheRunWaitsStopsItAndItIsUndone) {
    TMediumBuilder next = NextRelease(FOptions.Medium, TempPath(L"tessaro-e2e-medium-next"));
    FCleanUp.push_back(next.Folder());
    const std::wstring other = JoinPath(FRoot, L"Чужая папка");
    WriteFileBytes(JoinPath(other, L"T12.FDB"), "another program's database");
    WriteFileBytes(JoinPath(other, L"holter.ini"), "[options]\r\nFilterType=9\r\n");
    const auto others = FilesBelow(other);
    struct TCase {
        const wchar_t* Name;
        const wchar_t* Point;
        const wchar_t* Held; // a file the run replaces, held until the swap
        const wchar_t* Swapped;
    };
    const TCase cases[] = {
        {L"database folder while its server holds the database", L"in-use", L"DTAfb\\T12.FDB", L"DTAfb"},
        {L"settings folder at a held file", L"in-use", L"Updater.exe.cfg", L"Settings"},
        {L"database folder at the commit", L"commit", nullptr, L"DTAfb"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Name));
        const std::wstring target = Target(std::wstring(L"swapped-") + c.Swapped + (c.Held ? L"-held" : L""));
        Installed(FOptions.Medium, target);
        const auto before = TreeBelow(target);
        const std::wstring switches = L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target);
        const std::wstring log = LogPath(L"swapped");
        TRunPause pause(TempPath(L"tessaro-e2e-pause"), c.Point);
        std::unique_ptr<THolder> holder =
            c.Held ? std::make_unique<THolder>(JoinPath(target, c.Held)) : nullptr;
        TWizard& run =
            Launch(next.Folder(), TLaunch{switches + L" /LOG=" + Quoted(log), pause.Environment()});
        EXPECT_EQ(ToUtf8(pause.WaitPaused(run, RunTimeout)), ToUtf8(c.Point));
        const std::wstring swapped = JoinPath(target, c.Swapped);
        SwapForLink(swapped, other);
        holder.reset();
        pause.Resume();
        EXPECT_EQ(run.WaitExit(RunTimeout), 1603u);
        const auto entries = ReadRunLog(log);
        EXPECT_TRUE(LogHas(entries, L"Строка: Папка " + Guillemets(swapped) +
                                        L" подменена во время работы программы установки."))
            << Joined(entries);
        // The copy the run had begun in the folder lost to it stays there, named, until the next run.
        EXPECT_TRUE(LogHas(entries, L"Строка: " + NotWhole)) << Joined(entries);
        EXPECT_EQ(FilesBelow(other), others) << "nothing written, renamed or removed behind the link";
        SwapBack(swapped);
        // Every file of the suite as it was; nothing more than the journal and what it names.
        const auto after = TreeBelow(target);
        for (const auto& [path, bytes] : before) {
            const auto now = after.find(path);
            EXPECT_TRUE(now != after.end() && now->second == bytes) << "changed: " << ToUtf8(path);
        }
        for (const auto& [path, bytes] : after)
            EXPECT_TRUE(before.count(path) || path == L"Uninstall\\journal.txt" ||
                        (path.starts_with(L"DTAfb\\T12.FDB.~tessaro-") && path.ends_with(L".new")))
                << "added: " << ToUtf8(path);
        EXPECT_EQ(RunUnattended(next.Folder(), switches), 0u);
        EXPECT_EQ(StrayCopies(target), std::vector<std::wstring>{});
        EXPECT_FALSE(FileExists(JoinPath(target, L"Uninstall\\journal.txt")));
        EXPECT_EQ(ReadFileBytes(JoinPath(target, L"fbclient.Dll")), "fbclient.Dll of the next release");
        ASSERT_EQ(Backups(target).size(), 1u);
        EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\" + Backups(target).front())), Recordings);
    }
}

// A suite's folder that is itself a link to another program's folder (any user may make one before the first
// installation) is refused: unattended with 1603 and a line naming where it leads, on the path page with the
// same words; nothing is written through it.
TEST_F(ReinstallTest, SuitesFolderThatIsALinkIsRefused) {
    const std::wstring other = JoinPath(FRoot, L"Другая программа");
    WriteFileBytes(JoinPath(other, L"program.exe"), "another program");
    const std::wstring target = JoinPath(FRoot, L"Дедира");
    PlantLink(target, other);
    const std::wstring log = LogPath(L"linked-target");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" +
                                                 Quoted(target + L"\\") + L" /LOG=" + Quoted(log)),
              1603u);
    const std::wstring refusal = L"Папка " + Guillemets(target) + L" — ссылка на " + Guillemets(other) +
                                 L", созданная не администратором";
    EXPECT_TRUE(LogHas(ReadRunLog(log),
                       L"Строка: Папка " + Guillemets(target) + L" — ссылка, созданная не администратором."))
        << Joined(ReadRunLog(log));
    EXPECT_TRUE(LogHas(ReadRunLog(log), L"Ошибка: " + refusal)) << Joined(ReadRunLog(log));
    EXPECT_EQ(FilesBelow(other).size(), 1u) << "nothing written through the link";
    // Nor is anything removed through it, whatever record lies behind it.
    WriteFileBytes(JoinPath(other, L"Uninstall\\installed.txt"), "Тессаро-Холтер: установленные файлы\r\n");
    const std::wstring removal = LogPath(L"linked-target-removal");
    EXPECT_EQ(RunUnattended(FOptions.Medium, L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES /DIR=" +
                                                 Quoted(target + L"\\") + L" /LOG=" + Quoted(removal)),
              1603u);
    EXPECT_TRUE(LogHas(ReadRunLog(removal), L"Ошибка: " + refusal)) << Joined(ReadRunLog(removal));
    EXPECT_EQ(FilesBelow(other).size(), 2u);

    TWizard& wizard = Launch(FOptions.Medium);
    wizard.WaitMainWindow();
    wizard.WaitPage(WelcomePage, StartTimeout);
    wizard.Click(NextButton);
    wizard.WaitPage(PathPage);
    wizard.SetPath(target);
    wizard.Click(NextButton);
    const TMessageBox box = wizard.WaitMessageBox();
    EXPECT_NE(box.Text.find(refusal), std::wstring::npos) << ToUtf8(box.Text);
    wizard.Screenshot(L"22-linked-folder-refused.png", box.Handle);
    wizard.Answer(box, IDOK);
    wizard.WaitPage(PathPage);
    EXPECT_EQ(FilesBelow(other).size(), 2u);
    wizard.PostToMain(WM_CLOSE, 0, 0);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1602u);
}

} // namespace
