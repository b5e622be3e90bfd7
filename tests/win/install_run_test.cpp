// The installation run against a small medium in a temporary folder, driven by a recording host: the order
// and texts of its lines, what it writes itself, how it ends and what it leaves behind.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "FontTestKit.h"
#include "RecordingHost.h"
#include "ShellLinkKit.h"
#include "WinScratch.h"
#include "common/Error.h"
#include "common/IniFile.h"
#include "install/files/ContentHash.h"
#include "install/files/Copies.h"
#include "install/files/CopyFileApi.h"
#include "install/files/TargetFolder.h"
#include "install/run/InstallRun.h"
#include "install/record/InstallRecord.h"
#include "install/record/InstalledFiles.h"
#include "install/record/Registration.h"
#include "install/run/RunTransaction.h"
#include "install/record/Uninstall.h"

namespace fs = std::filesystem;

namespace {

const wchar_t* const ServerFiles[] = {L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll",
                                      L"icudt30.Dll",  L"icuin30.Dll",   L"icuuc30.Dll",  L"msvcp80.Dll",
                                      L"msvcr80.Dll",  L"msvcp71.Dll",   L"msvcr71.Dll",  L"firebird.msg",
                                      L"gbak.exe",     L"gds32.dll"};

void Put(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What a run keeps or writes under a name of its own, anywhere below a folder.
std::vector<std::wstring> StrayFiles(const fs::path& folder) {
    std::vector<std::wstring> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.path().filename().wstring().find(L".~tessaro-") != std::wstring::npos)
            found.push_back(entry.path().wstring());
    return found;
}

bool Yes() {
    return true;
}
bool No() {
    return false;
}

class InstallRun : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(root);
        medium = root / L"Носитель";
        Put(medium / L"DTAfb" / L"T12.FDB", "database");
        for (const wchar_t* name : ServerFiles)
            Put(medium / L"Firebird" / name, "server file");
        for (const wchar_t* name : {L"fbintl.conf", L"fbintl.dll"})
            Put(medium / L"Firebird" / L"intl" / name, "intl");
        for (const wchar_t* name : {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql", L"ib_udf.sql", L"ib_udf2.sql"})
            Put(medium / L"Firebird" / L"udf" / name, "udf");
        for (const wchar_t* name : {L"Compare.Dll", L"PosStr.Dll", L"ProcessingECG.Dll", L"SDecision.Dll"})
            Put(medium / L"UDF" / name, "own library");
        // Two release packages, each with a script that leaves a mark where it ran, and the updater.
        for (const wchar_t* name : {L"R311220", L"R010321"}) {
            Put(medium / L"backup" / name / L"Install.cmd",
                "@echo ran> ran.txt\r\n@copy /y bin\\Shell.exe ..\\..\\Shell.exe >nul\r\n");
            Put(medium / L"backup" / name / L"bin" / L"Shell.exe", "shell");
        }
        Put(medium / L"Updater" / L"ReleaseInfo",
            "<?xml version=\"1.0\"?>\r\n<ROOT><Version>1</Version><Level>R000000</Level></ROOT>\r\n");
        Put(medium / L"Updater" / L"Updater.exe.cfg", "config");
        fs::create_directories(root / L"Рабочий стол");

        // Two levels that do not exist yet: the run makes both.
        options.TargetText = L"  " + (root / L"Программы и данные" / L"Дедира").wstring() + L"\\  ";
        options.SourceFolder = medium.wstring() + L"\\";
        options.InstallDriver = false;
        options.ProductName = L"Тессаро - Холтер";
        options.ProductDescription = L"Комплекс суточного мониторирования электрокардиограмм";
        options.ShellExe = L"Shell.exe";
        options.Elevated = Yes;
        // A small stand-in for the uninstaller the run leaves (a copy of the running program otherwise).
        Put(root / L"Setup.exe", "uninstaller");
        options.Uninstaller = (root / L"Setup.exe").wstring();
    }
    void TearDown() override {
        RemoveRegistration(Target().wstring() + L"\\");
        // The run leaves the process in the target folder, which could not go while it is current; so does
        // the program that Wine starts for every new link, for the moment it lives.
        ::SetCurrentDirectoryW(fs::temp_directory_path().c_str());
        std::error_code error;
        for (int attempt = 0; attempt < 100 && (fs::remove_all(root, error), error); ++attempt)
            ::Sleep(50);
        EXPECT_FALSE(error) << error.message();
    }

    fs::path Target() const { return root / L"Программы и данные" / L"Дедира"; }
    fs::path Link() const { return root / L"Рабочий стол" / L"Тессаро - Холтер.lnk"; }

    // The wizard's thread has OLE from its start; the run's link needs it.
    TOleInit ole;
    static fs::path TestRoot() {
        const char* name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        return fs::temp_directory_path() / L"Тест установки" / std::wstring(name, name + std::strlen(name));
    }

    fs::path root = TestRoot();
    TDesktopFolder desktop{(root / L"Рабочий стол").wstring()};
    fs::path medium;
    TInstallOptions options;
    TRecordingHost host;
};

TEST_F(InstallRun, FirstRunWritesItsFilesAndReportsEveryStep) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);

    ASSERT_GE(host.Lines.size(), 3u);
    EXPECT_EQ(host.Lines[0], L"Каталог создан...");
    EXPECT_EQ(host.Lines[1], L"Создание настроечных файлов....Завершено");
    EXPECT_EQ(host.Lines[2], L"Каталог <DTAfb> создан...");
    EXPECT_EQ(host.Lines[3], L"Копирование файла T12.FDB....Завершено");
    EXPECT_EQ(host.Lines.back(), L"Копирование файла SDecision.Dll....Завершено");
    EXPECT_EQ(host.Lines.size(), 3u + 24u);

    TIniFile ini((Target() / L"Settings" / L"holter.ini").wstring());
    EXPECT_EQ(ini.ReadString(L"options", L"FilterType", L"?"), L"0");
    EXPECT_EQ(ini.ReadString(L"options", L"HardwareType", L"?"), L"1");
    EXPECT_EQ(fs::file_size(Target() / L"Settings" / L"lastnum.dta"), 14u);
    EXPECT_FALSE(fs::exists(Target() / L"btooth.ini"));

    // The protected stretch went up once and came down again; nothing was asked.
    EXPECT_FALSE(host.Protected);
    EXPECT_TRUE(host.Saw(L"protect: on"));
    EXPECT_TRUE(host.Questions.empty());
    EXPECT_FALSE(host.SawPrefix(L"error: "));

    // The newest package's script ran in its folder and its level is recorded; the link is on the desktop.
    EXPECT_TRUE(fs::exists(Target() / L"backup" / L"R010321" / L"ran.txt"));
    EXPECT_FALSE(fs::exists(Target() / L"backup" / L"R311220" / L"ran.txt"));
    EXPECT_EQ(Read(Target() / L"Shell.exe"), "shell");
    EXPECT_NE(Read(Target() / L"ReleaseInfo").find("<Level>010321</Level>"), std::string::npos);
    ASSERT_TRUE(fs::exists(Link()));
    const TLinkContent link = ReadLink(Link().wstring());
    EXPECT_EQ(link.Target, (Target() / L"Shell.exe").wstring());
    EXPECT_EQ(link.Description,
              L"Комплекс суточного мониторирования электрокардиограмм \"Тессаро - Холтер\"");
    EXPECT_EQ(link.Arguments, L"");
    EXPECT_EQ(link.WorkingDir, Target().wstring() + L"\\");
}

TEST_F(InstallRun, PackageStepThatFailsEndsTheRunBeforeTheLinkAndLeavesTheDatabaseInPlace) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const fs::path database = Target() / L"DTAfb" / L"T12.FDB";
    Put(database, "the clinic's recordings");
    fs::remove_all(medium / L"backup");
    fs::remove_all(Target() / L"backup");
    host = TRecordingHost();
    const TRunOutcome outcome = RunInstallation(host, options);
    EXPECT_EQ(outcome.Kind, TOutcome::Undone);
    EXPECT_NE(outcome.Reason.find(Target().wstring() + L"\\backup\\"), std::wstring::npos)
        << WideToUtf8(outcome.Reason);
    EXPECT_FALSE(host.Protected);
    // The medium's database waited under the run's name for the commit: the clinic's never left its own, and
    // the copy is gone.
    EXPECT_EQ(Read(database), "the clinic's recordings");
    EXPECT_FALSE(host.SawPrefix(L"line: Прежняя база данных "));
    for (const auto& entry : fs::directory_iterator(Target() / L"DTAfb"))
        EXPECT_EQ(entry.path().filename(), L"T12.FDB");
}

// The run goes on past a package whose script fails, but says so, records no level and ends incomplete.
TEST_F(InstallRun, FailedPackageScriptLeavesTheRunIncomplete) {
    Put(medium / L"backup" / L"R010321" / L"Install.cmd", "@exit 5\r\n");
    EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Incomplete);
    EXPECT_TRUE(host.Saw(L"line: Пакет выпуска «R010321» не установлен: сценарий завершился с кодом 5"));
    EXPECT_NE(Read(Target() / L"ReleaseInfo").find("<Level>R000000</Level>"), std::string::npos);
    EXPECT_TRUE(fs::exists(Link()));
    EXPECT_TRUE(host.Questions.empty()) << "the window asks the last question, not the run";
}

// A reinstall needs room only for what grows: a disk with little more than the largest file free is enough,
// which a sum of the whole medium would refuse.
TEST_F(InstallRun, ReinstallThatFitsIsNotRefused) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    // The release file, some 80 bytes, is the largest.
    options.FreeBytes = [](const std::wstring&, std::uint64_t& bytes) {
        bytes = 128;
        return true;
    };
    TRecordingHost second;
    EXPECT_EQ(RunInstallation(second, options).Kind, TOutcome::Completed);
    EXPECT_FALSE(second.SawPrefix(L"error: "));
}

// Wine counts every process as elevated, so the token's own answer lets the font step run.
TEST_F(InstallRun, TheTokensOwnElevationLetsTheFontsBeInstalled) {
    TSystemFontsGuard system;
    if (system.HasForeignFonts())
        GTEST_SKIP() << "the prefix has fonts of the list of its own";
    PutTestFonts(medium.wstring() + L"\\fonts\\");
    options.Elevated = nullptr;
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);

    EXPECT_FALSE(host.SawPrefix(L"line: Шрифты не установлены"));
    const auto last =
        std::find(host.Lines.begin(), host.Lines.end(), L"Копирование файла SDecision.Dll....Завершено");
    ASSERT_EQ(host.Lines.end() - last, 1 + static_cast<std::ptrdiff_t>(std::size(TestFonts)));
    for (std::size_t i = 0; i < std::size(TestFonts); ++i)
        EXPECT_EQ(last[1 + i], L"Шрифт <" + std::wstring(TestFonts[i].DisplayName) +
                                   L"> у\x0063"
                                   L"тановлен");
    EXPECT_TRUE(FileExists(WindowsFontsFolder() + L"verdana.TTF"));
}

TEST_F(InstallRun, SecondRunKeepsOtherSettingsAndTheCounterFile) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const fs::path counter = Target() / L"Settings" / L"lastnum.dta";
    Put(counter, "fourteen bytes");
    TIniFile ini((Target() / L"Settings" / L"holter.ini").wstring());
    ini.WriteString(L"options", L"LanguageSetting", L"ENG");
    ini.WriteString(L"options", L"FilterType", L"5");
    ini.UpdateFile();

    TRecordingHost second;
    ASSERT_EQ(RunInstallation(second, options).Kind, TOutcome::Completed);
    EXPECT_EQ(second.Lines.at(0), L"Создание настроечных файлов....Завершено");
    TIniFile after((Target() / L"Settings" / L"holter.ini").wstring());
    EXPECT_EQ(after.ReadString(L"options", L"LanguageSetting", L"?"), L"ENG");
    EXPECT_EQ(after.ReadString(L"options", L"FilterType", L"?"), L"0");
    EXPECT_EQ(Read(counter), "fourteen bytes");
}

TEST_F(InstallRun, RelativeTargetIsTakenAgainstTheCurrentFolderAtTheStart) {
    wchar_t saved[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    ::SetCurrentDirectoryW(root.c_str());
    options.TargetText = L"Prog";
    const TOutcome end = RunInstallation(host, options).Kind;
    ::SetCurrentDirectoryW(saved);
    ASSERT_EQ(end, TOutcome::Completed);
    EXPECT_TRUE(fs::exists(root / L"Prog" / L"Settings" / L"holter.ini"));
    EXPECT_TRUE(fs::exists(root / L"Prog" / L"DTAfb" / L"T12.FDB"));
}

TEST_F(InstallRun, MissingServerFileEndsTheRunWithTheStretchLowered) {
    fs::remove(medium / L"Firebird" / L"icuin30.Dll");
    const TRunOutcome outcome = RunInstallation(host, options);
    EXPECT_EQ(outcome.Kind, TOutcome::Undone);
    EXPECT_NE(outcome.Reason.find(L"icuin30.Dll"), std::wstring::npos);
    EXPECT_FALSE(host.Protected);
    ASSERT_GE(host.Lines.size(), 2u);
    // The file's line stays open here: the session completes it as failed (RunLog.h).
    EXPECT_EQ(host.Lines[host.Lines.size() - 2], L"Копирование файла icuin30.Dll....");
    EXPECT_EQ(host.Lines.back(), UndoText::CopiesRemoved) << "a first installation is undone";
    // A first installation undone leaves nothing of itself: no file the run added, no folder it made.
    EXPECT_FALSE(fs::exists(Target() / L"fbclient.Dll"));
    EXPECT_FALSE(fs::exists(Target() / L"Settings" / L"holter.ini"));
    EXPECT_FALSE(fs::exists(Target() / L"DTAfb"));
    EXPECT_FALSE(fs::exists(Target() / L"Uninstall"));
}

// The new files' flushes are waited for before the package's script: one that failed stops the run there,
// before anything is registered, with the clinic's database where it was and the file gone.
TEST_F(InstallRun, FlushThatFailsStopsTheRunBeforeTheScriptAndLeavesTheDatabase) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    RemoveRegistration(Target().wstring() + L"\\");
    const fs::path database = Target() / L"DTAfb" / L"T12.FDB";
    Put(database, "the clinic's recordings");
    // Everything but the clinic's folders goes, so that every copy of the second run is a new file.
    for (const auto& entry : fs::directory_iterator(Target()))
        if (entry.path().filename() != L"DTAfb" && entry.path().filename() != L"Settings")
            fs::remove_all(entry.path());
    host = TRecordingHost();
    {
        // The first flush is the medium's database's, before it takes the name: it gets through; the server's
        // files after it, new files flushed later, do not.
        TFailingCopyIo failing(TFailingCopyIo::Flushes, 1);
        const TRunOutcome outcome = RunInstallation(host, options);
        EXPECT_EQ(outcome.Kind, TOutcome::Undone);
        EXPECT_NE(outcome.Reason.find((Target() / L"fbclient.Dll").wstring()), std::wstring::npos)
            << WideToUtf8(outcome.Reason);
    }
    EXPECT_TRUE(host.Saw(L"complete: Копирование файла fbclient.Dll....Завершено"));
    EXPECT_FALSE(fs::exists(Target() / L"fbclient.Dll"));
    EXPECT_FALSE(fs::exists(Target() / L"backup" / L"R010321" / L"Install.cmd"));
    EXPECT_FALSE(fs::exists(Target() / L"backup" / L"R010321" / L"ran.txt"));
    EXPECT_EQ(Read(database), "the clinic's recordings");
    EXPECT_FALSE(host.SawPrefix(L"line: Прежняя база данных "));
    EXPECT_FALSE(FindRegistration(true).has_value());
    EXPECT_TRUE(StrayFiles(Target()).empty());
}

// Every file below a folder with its content, and every folder, by path relative to it.
std::map<std::wstring, std::string> Snapshot(const fs::path& folder) {
    std::map<std::wstring, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        files[fs::relative(entry.path(), folder).wstring()] =
            entry.is_directory() ? std::string("<folder>") : Read(entry.path());
    return files;
}

// Fails the flush of every file whose name ends in FailingName, as a disk that fills up would.
struct TFailingFlushOf {
    static std::wstring& FailingName() {
        static std::wstring name;
        return name;
    }
    static BOOL WINAPI Flush(HANDLE file) {
        wchar_t path[MAX_PATH * 2] = L"";
        const DWORD length = ::GetFinalPathNameByHandleW(file, path, MAX_PATH * 2, 0);
        // Wine names a file renamed since it was opened by its first name: the copy's temporary one.
        if (length && std::wstring_view(path, length).find(FailingName()) != std::wstring_view::npos) {
            ::SetLastError(ERROR_DISK_FULL);
            return FALSE;
        }
        return ::FlushFileBuffers(file);
    }
    explicit TFailingFlushOf(std::wstring name) : FSaved(CopyFileApi()) {
        FailingName() = std::move(name);
        CopyFileApi().Flush = &Flush;
    }
    TFailingFlushOf(const TFailingFlushOf&) = delete;
    TFailingFlushOf& operator=(const TFailingFlushOf&) = delete;
    ~TFailingFlushOf() { CopyFileApi() = FSaved; }
    TCopyFileApi FSaved;
};

// A reinstall of the next release that stops before its commit leaves the suite as it was, byte for byte: the
// files it replaced back under their names (the clinic's database among them), the files and folders it added
// gone, no journal and no kept file left. Then the same run with nothing in the way completes.
TEST_F(InstallRun, ReinstallThatStopsBeforeItsCommitLeavesTheSuiteAsItWas) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    Put(Target() / L"DTAfb" / L"T12.FDB", "the clinic's recordings");
    const auto before = Snapshot(Target());
    // The next release: every server file, the newest package and the updater's file changed, files and a
    // folder added.
    for (const wchar_t* name : ServerFiles)
        Put(medium / L"Firebird" / name, "server file, next release");
    Put(medium / L"backup" / L"R010321" / L"bin" / L"Shell.exe", "next shell");
    Put(medium / L"backup" / L"R010321" / L"lib" / L"новый.dll", "added");
    Put(medium / L"Updater" / L"Updater.exe.cfg", "next config");
    Put(medium / L"Updater" / L"Новое.txt", "added");

    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<void, void (*)(void*)>()>
            Arrange; // what stops the run, undone when let go
    };
    const auto none = [](void*) {};
    const TCase cases[] = {
        {"a flush that fails",
         [&] {
             return std::unique_ptr<void, void (*)(void*)>(
                 new TFailingFlushOf(L"новый.dll"), [](void* p) { delete static_cast<TFailingFlushOf*>(p); });
         }},
        {"a held file that no one closes",
         [&] {
             const std::wstring held = (Target() / L"Updater.exe.cfg").wstring();
             HANDLE holder = ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr);
             return std::unique_ptr<void, void (*)(void*)>(holder, [](void* h) { ::CloseHandle(h); });
         }},
        {"a package without a date",
         [&] {
             Put(medium / L"backup" / L"Новый" / L"Install.cmd", "@exit 0\r\n");
             return std::unique_ptr<void, void (*)(void*)>(nullptr, none);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        host = TRecordingHost();
        {
            const auto stop = c.Arrange();
            EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Undone);
        }
        fs::remove_all(medium / L"backup" / L"Новый");
        fs::remove_all(Target() / L"backup" / L"Новый");
        EXPECT_TRUE(host.Saw(std::wstring(L"line: ") + UndoText::Restored));
        EXPECT_TRUE(Snapshot(Target()) == before) << "the suite is as it was";
        EXPECT_TRUE(StrayFiles(Target()).empty());
        EXPECT_FALSE(fs::exists(Target() / L"backup" / L"R010321" / L"lib"));
    }
    host = TRecordingHost();
    EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    EXPECT_EQ(Read(Target() / L"Updater.exe.cfg"), "next config");
    EXPECT_TRUE(StrayFiles(Target()).empty());
}

// A package's file that cannot be read is named, the rest of the run goes on, and the run does not count as
// complete: a missing file is never passed over in silence. Over an installation the same file stops the run
// before its commit and undoes it: half a package is never committed beside the release that was there.
TEST_F(InstallRun, PackageFileThatCannotBeCopiedLeavesAFirstRunIncompleteAndUndoesAReinstall) {
    const fs::path held = medium / L"backup" / L"R311220" / L"bin" / L"Shell.exe";
    TUniqueFile holder(::CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.Valid());
    EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Incomplete);
    const std::wstring copy = (Target() / L"backup" / L"R311220" / L"bin" / L"Shell.exe").wstring();
    // The line names the file once and then only the system's reason; the log has which call failed on which.
    const std::wstring line = L"Файл «" + copy + L"» не скопирован: ";
    const auto shown = std::find_if(host.Lines.begin(), host.Lines.end(),
                                    [&](const std::wstring& each) { return each.starts_with(line); });
    ASSERT_NE(shown, host.Lines.end()) << WideToUtf8(copy);
    const std::wstring reason = shown->substr(line.size());
    EXPECT_EQ(reason.find_first_of(L"«\":"), std::wstring::npos) << WideToUtf8(reason);
    EXPECT_NE(reason.find(L"(код 32)"), std::wstring::npos) << WideToUtf8(reason);
    EXPECT_TRUE(host.SawPrefix(L"trace: Не удалось открыть файл «" + held.wstring() + L"»: "));
    EXPECT_FALSE(fs::exists(copy));
    // Everything else arrived: the newest package's script ran and the link is there.
    EXPECT_EQ(Read(Target() / L"Shell.exe"), "shell");
    EXPECT_TRUE(fs::exists(Link()));

    Put(medium / L"Updater" / L"Updater.exe.cfg", "next config");
    Put(medium / L"Firebird" / L"fbclient.Dll", "next server");
    const auto before = Snapshot(Target());
    host = TRecordingHost();
    const TRunOutcome outcome = RunInstallation(host, options);
    EXPECT_EQ(outcome.Kind, TOutcome::Undone) << "a reinstall never goes on with half a package";
    EXPECT_NE(outcome.Reason.find(L"«" + copy + L"»"), std::wstring::npos) << WideToUtf8(outcome.Reason);
    EXPECT_TRUE(host.Saw(std::wstring(L"line: ") + UndoText::Restored));
    EXPECT_TRUE(Snapshot(Target()) == before) << "the installed release is whole, as it was";
}

// The record's hashes, taken as the files were copied, are those of the files as they are in the end: the
// release file the run rewrote and the script's copies included.
TEST_F(InstallRun, RecordedHashesAreThoseOfTheFilesInTheTarget) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const std::wstring target = Target().wstring() + L"\\";
    TTargetFolder folder(target);
    const auto record = ReadInstallRecord(folder);
    ASSERT_TRUE(record.has_value());
    ASSERT_GT(record->Files.size(), 20u);
    for (const TRecordedFile& file : record->Files)
        EXPECT_EQ(file.Hash, HashFile(target + file.Path)) << WideToUtf8(file.Path);
}

TEST_F(InstallRun, TargetThatCannotBeCreatedStopsBeforeAnythingIsWrittenAndSaysWhy) {
    // A file where a folder of the path should be: no level below it can be made.
    Put(root / L"Программы и данные", "not a folder");
    const fs::path blocked = root / L"Программы и данные";
    options.TargetText = (blocked / L"Тессаро" / L"Дедира").wstring();
    EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Refused);
    ASSERT_EQ(host.Errors.size(), 1u);
    EXPECT_EQ(host.Errors[0].rfind(L"Ошибка при создании каталога!\r\n«" + blocked.wstring() + L"»: ", 0), 0u)
        << WideToUtf8(host.Errors[0]);
    ASSERT_EQ(host.Lines.size(), 1u);
    EXPECT_EQ(host.Lines[0], L"Ошибка при создании каталога!");
    EXPECT_FALSE(host.SawPrefix(L"protect: "));
}

TEST_F(InstallRun, EditionWritesBtooth) {
    options.Edition = true;
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    TIniFile btooth((Target() / L"btooth.ini").wstring());
    EXPECT_EQ(btooth.ReadString(L"Common", L"Disk", L"?"), L"I");
}

TEST_F(InstallRun, DriverThatCannotStartIsReportedAsSuch) {
    options.InstallDriver = true;
    host.Answers = {true};
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    EXPECT_TRUE(host.Saw(L"ask: Подключите интерфейсный блок и нажмите \"Yes\"? -> Yes"));
    // The installer is never started from the target: from a private copy of the medium's, which has none.
    const std::wstring program = medium.wstring() + L"\\FTDIDriverInstall\\FTDIDriverInstall.exe";
    EXPECT_TRUE(host.Saw(L"line: Началась установка драйверов устройства..."));
    // The list names the medium's installer as it lies there, the log where it was to start from.
    EXPECT_TRUE(host.Saw(L"line: Установщик не запустился: «FTDIDriverInstall\\FTDIDriverInstall.exe»"));
    EXPECT_TRUE(host.Saw(L"trace: Установщик драйвера «" + program + L"» не запустился"));
    EXPECT_FALSE(host.Saw(L"line: Установка драйверов устройства завершена"));
}

TEST_F(InstallRun, DriverDeclinedAddsNothingAndNotElevatedSkipsTheFonts) {
    TSystemFontsGuard system;
    if (system.HasForeignFonts())
        GTEST_SKIP() << "the prefix has fonts of the list of its own";
    PutTestFonts(medium.wstring() + L"\\fonts\\");
    options.InstallDriver = true;
    options.Elevated = No;
    host.Answers = {false};
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    EXPECT_FALSE(host.SawPrefix(L"line: Началась"));
    EXPECT_TRUE(host.Saw(L"line: Шрифты не установлены: нет прав администратора"));
    // Not a font is tried: no line, no file in the Windows fonts folder, no value in the system's list.
    EXPECT_FALSE(host.SawPrefix(L"line: Шрифт <"));
    for (const TTestFont& font : TestFonts) {
        EXPECT_FALSE(FileExists(WindowsFontsFolder() + font.FileName)) << WideToUtf8(font.FileName);
        wchar_t data[MAX_PATH];
        DWORD size = sizeof data;
        EXPECT_NE(::RegGetValueW(HKEY_LOCAL_MACHINE, SystemFontsKey,
                                 (std::wstring(font.DisplayName) + L" (TrueType)").c_str(), RRF_RT_REG_SZ,
                                 nullptr, data, &size),
                  ERROR_SUCCESS)
            << WideToUtf8(font.DisplayName);
    }
}

TEST_F(InstallRun, TooLittleSpaceStopsBeforeTheFirstCopyWithBothFigures) {
    Put(medium / L"DTAfb" / L"T12.FDB", std::string(3 * 1024 * 1024, 'x'));
    options.FreeBytes = [](const std::wstring&, std::uint64_t& bytes) {
        bytes = 1024 * 1024;
        return true;
    };
    EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Refused);
    ASSERT_FALSE(host.Lines.empty());
    const std::wstring& line = host.Lines.back();
    EXPECT_EQ(line, L"Недостаточно места на диске «" + Target().root_path().wstring() +
                        L"»: нужно 3,0 МБ, свободно 1,0 МБ.")
        << WideToUtf8(line);
    EXPECT_TRUE(host.Saw(L"error: " + line));
    EXPECT_FALSE(fs::exists(Target() / L"DTAfb"));
    EXPECT_FALSE(host.SawPrefix(L"protect: "));
}

} // namespace

namespace {
std::wstring RegistryText(HKEY root, const wchar_t* name) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, UninstallKeyPath, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY, &raw) != ERROR_SUCCESS)
        return L"<no key>";
    const TUniqueRegKey key(raw);
    wchar_t value[1024] = L"";
    DWORD size = sizeof value - sizeof(wchar_t);
    if (::RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) !=
        ERROR_SUCCESS)
        return L"<none>";
    return value;
}
} // namespace

// A complete run registers the suite where deployment tools look for it (the machine's list with an
// administrator's rights, the user's own without), records what it put there and leaves its uninstaller.
TEST_F(InstallRun, CompleteRunRegistersRecordsAndLeavesItsUninstaller) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const std::wstring target = Target().wstring() + L"\\";
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, L"InstallLocation"), target);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, L"DisplayName"), L"Тессаро-Холтер");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, L"DisplayVersion"), L"1.2021.03.01");
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, L"UninstallString"),
              L"\"" + target + L"Uninstall\\Setup.exe\" /UNINSTALL");
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"InstallLocation"), L"<no key>");
    EXPECT_TRUE(fs::exists(Target() / L"Uninstall" / L"Setup.exe"));
    TTargetFolder folder(target);
    const auto record = ReadInstallRecord(folder);
    ASSERT_TRUE(record.has_value());
    EXPECT_TRUE(InDataFolder(*record, L"DTAfb\\T12.FDB") && InDataFolder(*record, L"Settings\\holter.ini"));
    std::vector<std::wstring> paths;
    for (const TRecordedFile& file : record->Files)
        paths.push_back(file.Path);
    for (const wchar_t* put : {L"fbclient.Dll", L"udf\\fbudf.dll", L"backup\\R010321\\bin\\Shell.exe",
                               L"ReleaseInfo", L"Shell.exe", L"backup\\R010321\\ran.txt"})
        EXPECT_NE(std::find(paths.begin(), paths.end(), put), paths.end()) << WideToUtf8(put);
    for (const std::wstring& path : paths)
        EXPECT_FALSE(path.starts_with(L"DTAfb") || path.starts_with(L"Settings") ||
                     path.starts_with(L"Uninstall"))
            << WideToUtf8(path);

    // Without an administrator's rights the fonts are left out and the user's own list is used.
    RemoveRegistration(target);
    options.Elevated = No;
    TRecordingHost second;
    ASSERT_EQ(RunInstallation(second, options).Kind, TOutcome::Completed);
    EXPECT_EQ(RegistryText(HKEY_CURRENT_USER, L"InstallLocation"), target);
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, L"InstallLocation"), L"<no key>");
    EXPECT_EQ(FindRegistration(true)->InstallLocation, target);
}

// The uninstaller removes what the record vouches for and nothing else: the clinic's database and settings,
// a file the user changed and one the user added stay; the link and the entry go. A second removal finds
// nothing to remove.
TEST_F(InstallRun, UninstallRemovesWhatIsUnchangedAndKeepsTheClinicsData) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const std::wstring target = Target().wstring() + L"\\";
    Put(Target() / L"ReleaseInfo", "changed by the updater");
    Put(Target() / L"Заметки.txt", "the clinic's own");
    ASSERT_TRUE(fs::exists(Link()));

    TRecordingHost removal;
    const TUninstallOptions uninstall{target, options.ProductName, options.ShellExe, L""};
    ASSERT_EQ(RunUninstallation(removal, uninstall), TRemovalEnd::Completed);
    EXPECT_TRUE(removal.Saw(L"ask: " + UninstallText::Question(target) + L" -> Yes"));
    EXPECT_FALSE(fs::exists(Link())) << [&] {
        std::string traces;
        for (const auto& trace : removal.Traces)
            traces += WideToUtf8(trace) + "\n";
        return traces;
    }();
    EXPECT_TRUE(fs::exists(Target() / L"DTAfb" / L"T12.FDB"));
    EXPECT_TRUE(fs::exists(Target() / L"Settings" / L"holter.ini"));
    EXPECT_EQ(Read(Target() / L"ReleaseInfo"), "changed by the updater");
    EXPECT_TRUE(fs::exists(Target() / L"Заметки.txt"));
    for (const wchar_t* gone :
         {L"fbclient.Dll", L"Shell.exe", L"backup", L"udf", L"Uninstall", L"Updater.exe.cfg"})
        EXPECT_FALSE(fs::exists(Target() / gone)) << WideToUtf8(gone);
    EXPECT_TRUE(removal.Saw(L"line: " + std::wstring(UninstallText::KeptHeading)));
    EXPECT_TRUE(removal.Saw(L"line: " + UninstallText::Kept(target)));
    EXPECT_EQ(RegistryText(HKEY_LOCAL_MACHINE, L"InstallLocation"), L"<no key>");

    TRecordingHost again;
    EXPECT_EQ(RunUninstallation(again, uninstall), TRemovalEnd::NothingToRemove);
    EXPECT_TRUE(again.Saw(L"line: " + UninstallText::NothingToRemove(target)));
    EXPECT_TRUE(again.Questions.empty());
}

// Declined, nothing changes; a recorded file held by a running program is named and waited for.
TEST_F(InstallRun, UninstallDeclinedChangesNothingAndAHeldFileIsNamed) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const std::wstring target = Target().wstring() + L"\\";
    const TUninstallOptions uninstall{target, options.ProductName, options.ShellExe, L""};
    TRecordingHost declined;
    declined.Answers = {false};
    EXPECT_EQ(RunUninstallation(declined, uninstall), TRemovalEnd::Declined);
    EXPECT_TRUE(fs::exists(Target() / L"fbclient.Dll"));
    EXPECT_TRUE(fs::exists(Link()));

    const std::wstring held = target + L"fbclient.Dll";
    TUniqueFile holder(
        ::CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.Valid());
    TRecordingHost cancelled;
    cancelled.InUseAnswers = {TInUseAnswer::Cancel};
    EXPECT_THROW(RunUninstallation(cancelled, uninstall), TCancelled);
    EXPECT_TRUE(cancelled.SawPrefix(L"in use: " + held));
    EXPECT_TRUE(fs::exists(Target() / L"fbclient.Dll"));

    TRecordingHost retried;
    retried.InUseAnswers = {TInUseAnswer::Retry};
    retried.OnInUse = [&] { holder.Reset(); };
    EXPECT_EQ(RunUninstallation(retried, uninstall), TRemovalEnd::Completed);
    EXPECT_FALSE(fs::exists(Target() / L"fbclient.Dll"));
}

#include <aclapi.h>
#include <sddl.h>

#include "AccessFactsKit.h"
#include "install/trust/FolderAccess.h"
#include "install/record/HandOver.h"
#include "install/trust/TargetAccess.h"

namespace {

std::wstring MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const TError& error) {
        return error.Message();
    }
    return L"(no error)";
}

std::vector<std::wstring> HandOverFolders() {
    std::vector<std::wstring> found;
    for (const auto& entry : fs::directory_iterator(fs::temp_directory_path()))
        if (IsHandOverFolderName(entry.path().filename().wstring()))
            found.push_back(entry.path().wstring());
    return found;
}

// The list a descriptor holds, read back as the system reads it.
TAccessList ListOf(PSECURITY_DESCRIPTOR descriptor) {
    TAccessList list;
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner) {
        LPWSTR text = nullptr;
        ::ConvertSidToStringSidW(owner, &text);
        list.Owner = text;
        ::LocalFree(text);
    }
    PACL acl = nullptr;
    ::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* raw = nullptr;
        ::GetAce(acl, i, &raw);
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(raw);
        LPWSTR sid = nullptr;
        ::ConvertSidToStringSidW(const_cast<DWORD*>(&ace->SidStart), &sid);
        list.Entries.push_back(
            {sid, ace->Mask, ace->Header.AceFlags, ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE});
        ::LocalFree(sid);
    }
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    list.Protected = control & SE_DACL_PROTECTED;
    return list;
}

// The lists the elevated run gives its folders reach the system as they were built: owner, entries with
// their flags, the protected bit. Wine keeps no list on the disk, so they are read back from the descriptors.
TEST(FolderAccess, DescriptorsHoldTheListsAsBuilt) {
    const TAccessList lists[] = {SuiteFolderAccess(),
                                 DataFolderAccess(),
                                 PrivateFolderAccess(L""),
                                 PrivateFolderAccess(L"S-1-5-21-1-2-3-1001"),
                                 UsersFileAccess(SuiteFolderAccess().Entries),
                                 {L"", {{L"S-1-5-32-545", FILE_GENERIC_WRITE, 0, false}}, false}};
    for (const TAccessList& list : lists) {
        TSecurityDescriptor descriptor(list);
        EXPECT_TRUE(::IsValidSecurityDescriptor(descriptor.Get()));
        EXPECT_TRUE(ListOf(descriptor.Get()) == list) << WideToUtf8(list.Owner) << " " << list.Entries.size();
    }
    EXPECT_THROW(TSecurityDescriptor({L"", {{L"no SID", 1, 0, true}}, true}), TError);
}

// The take-over, the users' lists and the administrators' folders as the run does them, through the
// folder's gateway.
void TakeOverTarget(IProgress& host, const std::wstring& target) {
    EnableOwnershipPrivileges();
    TTargetFolder folder(target, WRITE_DAC | WRITE_OWNER);
    TakeOverTarget(host, folder);
}
void GrantUsersTheirFiles(IProgress& host, const std::wstring& target) {
    TTargetFolder folder(target);
    GrantUsersTheirFiles(host, folder);
}
TFileBytes ReadFromAdminFolder(const std::wstring& folder, const std::wstring& name) {
    const fs::path path(folder);
    TTargetFolder parent(path.parent_path().wstring());
    return ReadFromAdminFolder(parent, path.filename().wstring(), name);
}

class AdminFolders : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }
    std::wstring Path(const wchar_t* name) const { return (root / name).wstring(); }
    std::vector<std::wstring> Asides(const wchar_t* name) const {
        std::vector<std::wstring> found;
        for (const auto& entry : fs::directory_iterator(root))
            if (entry.path().filename().wstring().starts_with(std::wstring(name) + L".~tessaro-"))
                found.push_back(entry.path().wstring());
        return found;
    }

    fs::path root = fs::temp_directory_path() / L"Тест доступа";
    TAccessFactsKit facts;
    TRecordingHost host;
};

// The uninstaller's folder (and every folder an elevated run reads from) is made with its list, or, where a
// folder is there that is not the administrators' alone, moved aside with what it holds and made anew: never
// trusted, never given the list in place. Its files are read only once it is found the administrators'.
TEST_F(AdminFolders, MadeOrMovedAsideAndMadeAnewNeverTrustedInPlace) {
    const std::wstring folder = Path(L"Uninstall");
    TAdminFolder made = EnsureAdminFolder(folder);
    EXPECT_TRUE(made.Made);
    EXPECT_TRUE(made.MovedAside.empty());
    Put(fs::path(folder) / L"installed.txt", "record");
    TFileBytes read = ReadFromAdminFolder(folder, L"installed.txt");
    EXPECT_EQ(read.Status, TReadStatus::Ok);
    EXPECT_EQ(read.Bytes, "record");
    EXPECT_EQ(ReadFromAdminFolder(folder, L"journal.txt").Status, TReadStatus::NotFound);
    EXPECT_EQ(ReadFromAdminFolder(Path(L"нет такой"), L"installed.txt").Status, TReadStatus::NotFound);
    EXPECT_FALSE(EnsureAdminFolder(folder).Made) << "the administrators' own stays as it is";

    struct TCase {
        const char* Name;
        std::function<void()> Prepare;
        TTrustFault Fault;
    };
    const TCase cases[] = {
        {"a user's folder", [&] { facts.UsersOwn(folder); }, TTrustFault::ForeignOwner},
        {"a file in its place",
         [&] {
             fs::remove_all(folder);
             Put(folder, "not a folder");
         },
         TTrustFault::Unknown},
    };
    for (const TCase& c : cases) {
        c.Prepare();
        if (fs::is_directory(folder)) {
            EXPECT_EQ(WideToUtf8(MessageOf([&] { ReadFromAdminFolder(folder, L"installed.txt"); })),
                      WideToUtf8(FolderNotTrustedText(folder, c.Fault)))
                << c.Name;
        }
        made = EnsureAdminFolder(folder);
        EXPECT_TRUE(made.Made) << c.Name;
        EXPECT_EQ(made.Fault, c.Fault) << c.Name;
        ASSERT_EQ(Asides(L"Uninstall").size(), 1u) << c.Name;
        EXPECT_EQ((root / made.MovedAside).wstring(), Asides(L"Uninstall").front()) << c.Name;
        EXPECT_TRUE(fs::is_directory(folder) && fs::is_empty(folder)) << c.Name;
        facts.AdministratorsOwn(folder);
        fs::remove_all(root / made.MovedAside);
    }
}

// A suite's folder whose level an ordinary user could rename, or whose volume keeps no rights, is refused by
// an elevated run, naming the level; Wine's own drive passes, as C:\Dedira does on Windows.
TEST_F(AdminFolders, LevelsAnOrdinaryUserCouldRenameRefuseTheSuitesFolder) {
    const std::wstring level = Path(L"Данные");
    const std::wstring target = level + L"\\Тессаро\\Дедира\\";
    fs::create_directories(level);
    EXPECT_EQ(WideToUtf8(TargetRefusal(target)), "");
    facts.UsersOwn(level);
    EXPECT_EQ(WideToUtf8(TargetRefusal(target)),
              WideToUtf8(LevelRefusalText(level, TTrustFault::ForeignOwner)));
    facts.AdministratorsOwn(level);
    facts.KeepsLists = false;
    EXPECT_EQ(WideToUtf8(TargetRefusal(target)),
              WideToUtf8(NoAccessListsText(WithoutTrailingBackslash(target))));
    facts.KeepsLists = true;
    EXPECT_EQ(WideToUtf8(TargetRefusal(target)), "");
}

// An existing suite's folder that is not the administrators' alone is taken over: its list replaced and every
// entry below made to inherit it, each through a handle opened relative to its folder, and the record says
// so; one that is theirs already is left as it is.
TEST_F(AdminFolders, TakeOverResetsEveryEntryBelowAndSaysSo) {
    const std::wstring target = Path(L"Дедира");
    for (const wchar_t* file : {L"Shell.exe", L"backup\\R010321\\Install.cmd", L"DTAfb\\T12.FDB",
                                L"Settings\\holter.ini", L"ReleaseInfo"})
        Put(fs::path(target) / file, "content");
    facts.UsersOwn(target);
    for (const wchar_t* file :
         {L"Shell.exe", L"backup\\R010321\\Install.cmd", L"DTAfb\\T12.FDB", L"ReleaseInfo"})
        facts.UsersOwn((fs::path(target) / file).wstring());
    // A handle someone opened for writing before keeps its rights: the take-over stops rather than let it be,
    // but the database server's hold on the clinic's database does not matter.
    const auto holdForWriting = [&](const wchar_t* file) {
        return TUniqueFile(::CreateFileW((fs::path(target) / file).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                         nullptr));
    };
    const TUniqueFile database = holdForWriting(L"DTAfb\\T12.FDB");
    {
        const TUniqueFile held = holdForWriting(L"Shell.exe");
        ASSERT_TRUE(held.Valid() && database.Valid());
        EXPECT_NE(MessageOf([&] { TakeOverTarget(host, target); }).find(L"\\Shell.exe"), std::wstring::npos);
    }
    host = TRecordingHost();
    TakeOverTarget(host, target);
    const std::wstring said = L"trace: Папка комплекса передана администраторам: «" + target +
                              L"» (владелец был " + TAccessFactsKit::Bob +
                              L"); права доступа заменены у вложенных файлов и папок: 9, "
                              L"оставлено ссылок: 0, файлов обычных пользователей: 2";
    EXPECT_TRUE(host.Saw(said)) << WideToUtf8(said);
    // What an ordinary user put among the programs stays, named; the clinic's data is the users' anyway.
    for (const wchar_t* file : {L"Shell.exe", L"backup\\R010321\\Install.cmd"})
        EXPECT_TRUE(host.Saw(L"trace: Файл обычного пользователя оставлен в папке комплекса: «" + target +
                             L"\\" + file + L"» (владелец " + TAccessFactsKit::Bob + L")"))
            << WideToUtf8(file);
    EXPECT_FALSE(host.SawPrefix(L"trace: Права доступа не заменены")) << "every list was replaced";

    host = TRecordingHost();
    facts.AdministratorsOwn(target);
    TakeOverTarget(host, target);
    GrantUsersTheirFiles(host, target);
    EXPECT_FALSE(host.SawPrefix(L"trace: Папка комплекса передана")) << "taken over once";
    EXPECT_FALSE(host.SawPrefix(L"trace: Права доступа не заменены"));
    EXPECT_EQ(Read(fs::path(target) / L"DTAfb" / L"T12.FDB"), "content");
}

// The list a file holds, as the system reports it.
TAccessList FileListOf(const fs::path& file) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(file.c_str(), SE_FILE_OBJECT,
                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return {L"(unknown)", {}, false};
    TAccessList list = ListOf(descriptor);
    ::LocalFree(descriptor);
    return list;
}

// A file of the suite's folder that has another name elsewhere (a hard link, which any user may make in
// "DTAfb" and "Settings", or in a folder of their own before it is taken over) is that other file: its list
// is never replaced through the suite's name of it, and the record names it. Outside the folders the users
// write anyway, the take-over stops at it.
TEST_F(AdminFolders, AFileWithAnotherNameKeepsItsList) {
    const std::wstring target = Path(L"Дедира");
    const fs::path outside = root / L"Системный файл.dll";
    struct TCase {
        const wchar_t* Name;
        bool TakeOverStops;
        bool Granted; // among what the users are given on every run
    };
    const TCase cases[] = {{L"Settings\\holter.ini", false, true},
                           {L"DTAfb\\Копии\\T12.FDB", false, true},
                           {L"btooth.ini", true, true},
                           {L"Shell.exe", true, false}};
    for (const TCase& c : cases) {
        const std::string name = WideToUtf8(c.Name);
        fs::remove_all(target);
        Put(fs::path(target) / L"Settings" / L"lastnum.dta", "counter");
        Put(fs::path(target) / L"DTAfb" / L"Копии" / L"T11.FDB", "copy");
        Put(outside, "not the suite's");
        const fs::path planted = fs::path(target) / c.Name;
        ASSERT_TRUE(::CreateHardLinkW(planted.c_str(), outside.c_str(), nullptr)) << name;
        const TAccessList before = FileListOf(outside);
        const std::wstring said =
            L"trace: Права доступа не заменены: «" + planted.wstring() + L"»: " + HardLinkedText;

        host = TRecordingHost();
        facts.UsersOwn(target);
        const std::wstring stopped = MessageOf([&] { TakeOverTarget(host, target); });
        EXPECT_EQ(stopped.find(planted.wstring()) != std::wstring::npos, c.TakeOverStops)
            << name << ": " << WideToUtf8(stopped);
        EXPECT_TRUE(host.Saw(said)) << name;
        EXPECT_TRUE(FileListOf(outside) == before) << name << ": taken over through its other name";

        host = TRecordingHost();
        facts.AdministratorsOwn(target);
        GrantUsersTheirFiles(host, target);
        EXPECT_EQ(host.Saw(said), c.Granted) << name;
        EXPECT_TRUE(FileListOf(outside) == before) << name << ": given to the users through its other name";
        fs::remove(planted);
        fs::remove(outside);
    }
}

// Any user may nest folders in "DTAfb" and "Settings" deeper than the run's stack could follow (a path of
// 32767 characters holds sixteen thousand levels), and in a folder of their own before it is taken over: the
// lists go down a bounded number of levels and the folder where they stop is named; outside the users' own
// folders the take-over stops there.
TEST_F(AdminFolders, FoldersNestedWithoutEndAreWalkedToALimit) {
    const std::wstring target = Path(L"Дедира");
    fs::create_directories(fs::path(target) / L"DTAfb");
    const auto nest = [&](const wchar_t* folder) {
        std::vector<fs::path> levels{fs::path(target) / folder};
        for (std::size_t level = 0; level < MaxFolderDepth + 3; ++level)
            levels.push_back(levels.back() / L"v");
        fs::create_directories(levels.back());
        return levels;
    };
    const std::wstring data = nest(L"Settings")[MaxFolderDepth].wstring();
    const std::wstring other = nest(L"Временные")[MaxFolderDepth].wstring();
    GrantUsersTheirFiles(host, target);
    const std::wstring said = L"trace: Права доступа не заменены: «" + data + L"»: " + TooDeepText;
    EXPECT_TRUE(host.Saw(said));
    EXPECT_EQ(host.Traces.size(), 1u);

    host = TRecordingHost();
    facts.UsersOwn(target);
    EXPECT_NE(MessageOf([&] { TakeOverTarget(host, target); }).find(L"«" + other + L"»: " + TooDeepText),
              std::wstring::npos);
    EXPECT_TRUE(host.Saw(said));
}

// The hand-over's event is made by the uninstaller alone: one of that name made first by someone else refuses
// the hand-over, and no private folder stays.
TEST(HandOver, AnEventMadeFirstBySomeoneElseRefusesTheHandOver) {
    HoldOwnImage();
    const std::wstring name = L"Local\\TessaroUninstallHandOver-" + std::to_wstring(::GetCurrentProcessId());
    const TUniqueHandle squatted(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(squatted.Valid());
    const std::vector<std::wstring> before = HandOverFolders();
    std::wstring why;
    EXPECT_FALSE(HandOverCleanUp(fs::temp_directory_path().wstring(), why));
    EXPECT_EQ(WideToUtf8(why), WideToUtf8(L"событие передачи уже создано другой программой"));
    EXPECT_EQ(HandOverFolders(), before);
}

} // namespace

#include <thread>

#include "install/files/Folders.h"
#include "install/run/RunJournal.h"
#include "install/run/RunLock.h"
#include "install/run/RunStop.h"

namespace {

// At each point the run passes (RunStop.h), the test's stand-in for what happens there.
class TAtRunPoints {
public:
    explicit TAtRunPoints(std::function<void(const std::wstring&)> action) {
        Action() = std::move(action);
        RunPointHook() = &Pass;
    }
    TAtRunPoints(const TAtRunPoints&) = delete;
    TAtRunPoints& operator=(const TAtRunPoints&) = delete;
    ~TAtRunPoints() {
        RunPointHook() = nullptr;
        Action() = nullptr;
        RunStop().Reset();
    }

private:
    static std::function<void(const std::wstring&)>& Action() {
        static std::function<void(const std::wstring&)> action;
        return action;
    }
    static void Pass(const wchar_t* point) { Action()(point); }
};

// Every file of the database's folder, by name, with its content.
std::map<std::wstring, std::string> DatabaseFiles(const fs::path& target) {
    std::map<std::wstring, std::string> files;
    for (const auto& entry : fs::directory_iterator(target / L"DTAfb"))
        files[entry.path().filename().wstring()] = Read(entry.path());
    return files;
}

// The text of one recording of the clinic's.
std::string Recording(int number) {
    std::string text = "recording ";
    text += std::to_string(number);
    text += ';';
    return text;
}

// Whether a recording is in the database or in a dated copy beside it.
// The folder as a run killed at `point` left it, as a power cut or the task manager would (what it holds at
// that moment is all that stays); the outcome the run reported as it went on to undo itself.
TRunOutcome KilledAt(const std::wstring& point, IInstallHost& host, const TInstallOptions& options,
                     const fs::path& root, const fs::path& target) {
    const fs::path state = root / L"Состояние при остановке";
    fs::remove_all(state);
    TRunOutcome outcome;
    {
        const TAtRunPoints killed([&](const std::wstring& passed) {
            if (passed != point)
                return;
            CopyTree(target.wstring(), state.wstring());
            throw TError(L"killed");
        });
        outcome = RunInstallation(host, options);
    }
    ::SetCurrentDirectoryW(root.c_str());
    fs::remove_all(target);
    fs::rename(state, target);
    return outcome;
}

bool Recorded(const fs::path& target, const std::string& recording) {
    for (const auto& [name, bytes] : DatabaseFiles(target))
        if ((name == L"T12.FDB" || name.ends_with(L".bak")) && bytes.find(recording) != std::string::npos)
            return true;
    return false;
}

// A reinstall of the next release killed at each point of its run, as a power cut or the task manager would
// (what the folder holds at that moment is all that stays), while the clinic goes on recording into whatever
// database the suite finds between the stops: at every stop the database's name holds a whole database, no
// recording is lost, and the next run completes with nothing of the killed one left.
TEST_F(InstallRun, ReinstallKilledAtAnyPointLosesNoRecordingAndTheNextCompletes) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const std::string emptyDatabase = Read(medium / L"DTAfb" / L"T12.FDB");
    Put(Target() / L"DTAfb" / L"T12.FDB", Recording(0));
    for (const wchar_t* name : ServerFiles)
        Put(medium / L"Firebird" / name, "server file, next release");
    Put(medium / L"backup" / L"R010321" / L"bin" / L"Shell.exe", "next shell");
    int recording = 0;
    for (const wchar_t* point : {L"settings-written", L"database-copied", L"server-files", L"package-copies",
                                 L"commit", L"database-swapped", L"committed"}) {
        SCOPED_TRACE(WideToUtf8(point));
        host = TRecordingHost();
        EXPECT_EQ(KilledAt(point, host, options, root, Target()).Reason, L"killed");
        const std::string database = Read(Target() / L"DTAfb" / L"T12.FDB");
        EXPECT_TRUE(database.starts_with(Recording(0)) || database == emptyDatabase) << database;
        for (int earlier = 0; earlier <= recording; ++earlier)
            EXPECT_TRUE(Recorded(Target(), Recording(earlier))) << earlier;
        // The clinic records into the database the suite has.
        Put(Target() / L"DTAfb" / L"T12.FDB", database + Recording(++recording));
    }
    host = TRecordingHost();
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    for (int each = 0; each <= recording; ++each)
        EXPECT_TRUE(Recorded(Target(), Recording(each))) << each;
    EXPECT_EQ(Read(Target() / L"DTAfb" / L"T12.FDB"), emptyDatabase);
    EXPECT_EQ(Read(Target() / L"fbclient.Dll"), "server file, next release");
    EXPECT_EQ(Read(Target() / L"Shell.exe"), "next shell");
    EXPECT_TRUE(StrayFiles(Target()).empty());
    EXPECT_FALSE(fs::exists(Target() / L"Uninstall" / L"journal.txt"));
}

// The session's end asks the run to stop: before its commit it stops at the next file and is undone, the
// settings keys it wrote back to what they held, and what the suite wrote meanwhile stays; a held file's
// "Отмена" does the same.
TEST_F(InstallRun, StopsBeforeTheCommitPutBackTheRunsKeysAndKeepTheSuitesOwn) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const fs::path ini = Target() / L"Settings" / L"holter.ini";
    Put(ini, "[options]\r\nFilterType=5\r\nLanguageSetting=RUS\r\n");
    Put(medium / L"Updater" / L"Updater.exe.cfg", "next config");
    // The suite's program that held the file saves its settings as it closes.
    const auto suiteSaves = [&] {
        TIniFile saved(ini.wstring());
        saved.WriteString(L"options", L"LastPatient", L"Ivanov");
        saved.WriteString(L"options", L"LanguageSetting", L"ENG");
        saved.UpdateFile();
    };
    struct TCase {
        const char* Name;
        bool Session; // the session ends; otherwise a held file is cancelled
    };
    for (const TCase& c : {TCase{"the session ends", true}, TCase{"a held file cancelled", false}}) {
        SCOPED_TRACE(c.Name);
        const TUniqueFile holder(::CreateFileW((Target() / L"Updater.exe.cfg").c_str(), GENERIC_READ,
                                               FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        const TAtRunPoints points([&](const std::wstring& point) {
            if (c.Session && point == L"server-files") {
                suiteSaves();
                RunStop().Request();
            }
        });
        host = TRecordingHost();
        host.InUseAnswers = {TInUseAnswer::Cancel};
        host.OnInUse = suiteSaves;
        EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Cancelled);
        EXPECT_EQ(host.SawPrefix(L"in use: "), !c.Session);
        EXPECT_TRUE(host.Saw(std::wstring(L"line: ") + UndoText::Restored));
        TIniFile after(ini.wstring());
        EXPECT_EQ(after.ReadString(L"options", L"FilterType", L"?"), L"5") << "the run's key as it was";
        EXPECT_EQ(after.ReadString(L"options", L"HardwareType", L"?"), L"?") << "the run's new key gone";
        EXPECT_EQ(after.ReadString(L"options", L"LastPatient", L"?"), L"Ivanov") << "the suite's own stays";
        EXPECT_EQ(after.ReadString(L"options", L"LanguageSetting", L"?"), L"ENG");
        EXPECT_EQ(Read(Target() / L"Updater.exe.cfg"), "config");
        EXPECT_TRUE(StrayFiles(Target()).empty());
        Put(ini, "[options]\r\nFilterType=5\r\nLanguageSetting=RUS\r\n");
    }
    // Killed once its keys are written; the next run cannot put them back (a second name of the file, which
    // any user may make): it stops and keeps the journal, with what the keys held, for a run that can.
    host = TRecordingHost();
    EXPECT_EQ(KilledAt(L"settings-written", host, options, root, Target()).Reason, L"killed");
    const fs::path secondName = root / L"holter.ini";
    ASSERT_TRUE(::CreateHardLinkW(secondName.c_str(), ini.c_str(), nullptr));
    host = TRecordingHost();
    EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Refused);
    EXPECT_TRUE(host.Saw(std::wstring(L"line: ") + RunText::NotRecoveredLine));
    const auto journal = ParseRunJournal(Read(Target() / L"Uninstall" / L"journal.txt"));
    ASSERT_TRUE(journal.has_value());
    ASSERT_FALSE(journal->Settings.empty());
    EXPECT_EQ(journal->Settings.front().Before, std::optional<std::wstring>(L"5"));
    fs::remove(secondName);
    host = TRecordingHost();
    const TAtRunPoints stop([](const std::wstring& point) {
        if (point == L"server-files")
            throw TError(L"stopped");
    });
    EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Undone);
    EXPECT_EQ(TIniFile(ini.wstring()).ReadString(L"options", L"FilterType", L"?"), L"5");
}

// A file the run replaces twice (the updater's tree and a package's bring the same one) keeps its first
// predecessor, which an undo puts back; a predecessor a running program holds at the commit stays listed in
// the journal and goes with the next run.
TEST_F(InstallRun, PredecessorsKeptTwiceOrHeldAtTheCommit) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const fs::path shell = Target() / L"backup" / L"R010321" / L"bin" / L"Shell.exe";
    Put(medium / L"backup" / L"R010321" / L"bin" / L"Shell.exe", "next shell");
    Put(medium / L"Updater" / L"backup" / L"R010321" / L"bin" / L"Shell.exe", "updater's shell");
    {
        const TAtRunPoints stop([](const std::wstring& point) {
            if (point == L"package-copies")
                throw TError(L"stopped");
        });
        host = TRecordingHost();
        EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Undone);
        EXPECT_EQ(Read(shell), "shell") << "the first predecessor back";
    }
    TUniqueFile held;
    {
        const TAtRunPoints holdAtCommit([&](const std::wstring& point) {
            if (point != L"commit")
                return;
            const auto kept = FilesContaining(shell.parent_path().wstring() + L"\\", L".prev");
            ASSERT_EQ(kept.size(), 1u);
            held.Reset(::CreateFileW((shell.parent_path() / kept[0]).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
        });
        host = TRecordingHost();
        ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    }
    EXPECT_EQ(Read(shell), "updater's shell");
    ASSERT_TRUE(held.Valid());
    const auto journal = ParseRunJournal(Read(Target() / L"Uninstall" / L"journal.txt"));
    ASSERT_TRUE(journal.has_value());
    EXPECT_TRUE(journal->Committed);
    EXPECT_EQ(journal->Leftovers.size(), 1u);
    held.Reset();
    host = TRecordingHost();
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    EXPECT_TRUE(StrayFiles(Target()).empty());
    EXPECT_FALSE(fs::exists(Target() / L"Uninstall" / L"journal.txt"));
}

// One run at a time in a folder: an installation or a removal that finds another at work there does nothing
// and says so. A removal that finds what a killed installation left puts it back first.
TEST_F(InstallRun, OneRunPerFolderAndARemovalRecoversFirst) {
    {
        // A first installation into a drive's root locks the folder before it makes it: under the name a run
        // started once it is there takes, whatever the current folder on that drive.
        const fs::path fresh = Target().root_path() / (L"Тессаро-замок-" + RandomHex(8));
        ::SetCurrentDirectoryW(root.c_str());
        const std::wstring before = RunLockName(fresh.wstring() + L"\\");
        ASSERT_TRUE(::CreateDirectoryW(fresh.c_str(), nullptr));
        const std::wstring after = RunLockName(fresh.wstring() + L"\\");
        ::RemoveDirectoryW(fresh.c_str());
        EXPECT_EQ(WideToUtf8(before), WideToUtf8(after));
    }
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    const std::wstring target = Target().wstring() + L"\\";
    const TUninstallOptions uninstall{target, options.ProductName, options.ShellExe, L""};
    {
        // Held by another thread, as by another process: a mutex is its owner thread's again and again.
        HANDLE taken = ::CreateEventW(nullptr, TRUE, FALSE, nullptr),
               done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::thread other([&] {
            const TRunLock lock(Target().wstring() + L"\\..\\" + Target().filename().wstring());
            EXPECT_TRUE(lock.Held());
            ::SetEvent(taken);
            ::WaitForSingleObject(done, INFINITE);
        });
        ::WaitForSingleObject(taken, INFINITE);
        const auto before = Snapshot(Target());
        host = TRecordingHost();
        EXPECT_EQ(RunInstallation(host, options).Kind, TOutcome::Busy);
        EXPECT_TRUE(host.Saw(L"error: " + RunBusyText(target)));
        TRecordingHost removal;
        EXPECT_EQ(RunUninstallation(removal, uninstall), TRemovalEnd::Busy);
        EXPECT_TRUE(Snapshot(Target()) == before);
        ::SetEvent(done);
        other.join();
        ::CloseHandle(taken);
        ::CloseHandle(done);
    }
    Put(Target() / L"DTAfb" / L"T12.FDB", "the clinic's recordings");
    Put(medium / L"Firebird" / L"fbclient.Dll", "next server");
    host = TRecordingHost();
    EXPECT_EQ(KilledAt(L"database-swapped", host, options, root, Target()).Kind, TOutcome::Undone);
    TRecordingHost removal;
    ASSERT_EQ(RunUninstallation(removal, uninstall), TRemovalEnd::Completed);
    EXPECT_TRUE(
        removal.Saw(L"line: Прежняя база данных возвращена на место: «" + target + L"DTAfb\\T12.FDB»"));
    EXPECT_EQ(DatabaseFiles(Target()),
              (std::map<std::wstring, std::string>{{L"T12.FDB", "the clinic's recordings"}}));
    EXPECT_FALSE(fs::exists(Target() / L"fbclient.Dll"));
    EXPECT_TRUE(StrayFiles(Target()).empty());
}

} // namespace

#include <stdexcept>

#include "install/run/RunLog.h"
#include "session/InstallSession.h"

namespace {

// What the session adds to the run's own record, in the list and the log alike: a step line an error cut
// short completed as failed, the reason of an error in a box and the log (that of an error no one expected
// too), the line of a stop after the commit, and the large-font advice in the log for a run that installed
// the suite on a screen with small fonts, whether or not the window then shows it.
TEST_F(InstallRun, TheSessionRecordsEachEndInTheListAndTheLog) {
    ASSERT_EQ(RunInstallation(host, options).Kind, TOutcome::Completed);
    Put(medium / L"Firebird" / L"fbclient.Dll", "next server");
    const std::wstring advice = L"Сведения: Экран работает с мелким шрифтом (меньше 100 точек на дюйм): "
                                L"рекомендуется крупный шрифт";
    struct TCase {
        const char* Name;
        const wchar_t* Point;  // where the run meets its fault; null: none
        bool Unexpected;       // the fault is no error of the run's own
        const wchar_t* Script; // the newest package's script instead of its own
        bool SmallFonts;
        TOutcome Outcome;
        std::wstring Error;    // the box and the log's error; "" for none
        std::wstring LastLine; // of the list, where the end adds one of its own; "": not looked at
        bool Advice;
    };
    const std::wstring stopped = L"Установка прервана после копирования файлов из-за ошибки.";
    const TCase cases[] = {
        {"completed at small fonts", nullptr, false, nullptr, true, TOutcome::Completed, L"", L"", true},
        {"completed at large fonts", nullptr, false, nullptr, false, TOutcome::Completed, L"", L"", false},
        {"incomplete at small fonts", nullptr, false, L"@exit 5\r\n", true, TOutcome::Incomplete, L"",
         L"Пакет выпуска «R010321» не установлен: сценарий завершился с кодом 5", true},
        {"an unexpected fault before the commit", L"package-copies", true, nullptr, true, TOutcome::Undone,
         L"Непредвиденная ошибка программы установки: bad_alloc", UndoText::Restored, false},
        {"an error after the commit", L"committed", false, nullptr, true, TOutcome::Stopped, L"stopped",
         stopped, false},
    };
    const std::string script = Read(medium / L"backup" / L"R010321" / L"Install.cmd");
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Put(medium / L"backup" / L"R010321" / L"Install.cmd", c.Script ? WideToUtf8(c.Script) : script);
        std::vector<std::wstring> logged;
        TRunLog log([] { return TLocalTime{}; },
                    [&](std::string_view line) {
                        std::wstring text = Utf8ToWide(std::string(line));
                        logged.push_back(text.substr(24, text.size() - 24 - 2));
                    });
        const TAtRunPoints fault([&](const std::wstring& point) {
            if (!c.Point || point != c.Point)
                return;
            if (c.Unexpected)
                throw std::runtime_error("bad_alloc");
            throw TError(L"stopped");
        });
        host = TRecordingHost();
        TSessionPolicy policy;
        policy.SmallFonts = c.SmallFonts ? Yes : No;
        EXPECT_EQ(RunRecordedInstallation(host, log, options, policy).Kind, c.Outcome);
        EXPECT_EQ(host.Errors, c.Error.empty() ? std::vector<std::wstring>{} : std::vector{c.Error});
        EXPECT_EQ(std::count(logged.begin(), logged.end(), L"Ошибка: " + c.Error), c.Error.empty() ? 0 : 1);
        ASSERT_FALSE(host.Lines.empty());
        if (!c.LastLine.empty()) {
            EXPECT_EQ(host.Lines.back(), c.LastLine);
        }
        EXPECT_EQ(std::count(logged.begin(), logged.end(), advice), c.Advice ? 1 : 0);
        EXPECT_TRUE(std::none_of(host.Lines.begin(), host.Lines.end(), [](const std::wstring& line) {
            return line.ends_with(L"....");
        })) << "no step line is left open";
    }
}

// The undo line says what the rollback achieved, in its three forms: a first installation's copies removed;
// a reinstall's predecessors restored; not everything put back, with a line for each file that stayed (a
// predecessor whose place a program holds keeps its kept name, said in a box too, and the journal stays for
// the next run; a copy a program holds stays where it is).
TEST_F(InstallRun, TheUndoLineSaysWhatTheRollbackAchieved) {
    const fs::path target = Target();
    const fs::path old = target / L"fbclient.Dll", added = target / L"udf" / L"новый.dll";
    enum class THold { Nothing, Replaced, Added };
    struct TCase {
        const char* Name;
        bool Reinstall; // the folder holds an installation, and the run replaces one of its files
        THold Held;     // what a program holds open as the run is undone
        TUndo Undo;
        std::vector<std::wstring> Lines; // from the undo line on
        bool Box;
    };
    const std::wstring restored = UndoText::Restored, removed = UndoText::CopiesRemoved,
                       notWhole = UndoText::NotWhole;
    const TCase cases[] = {
        {"a first installation", false, THold::Nothing, TUndo::CopiesRemoved, {removed}, false},
        {"a reinstall", true, THold::Nothing, TUndo::Restored, {restored}, false},
        {"a replaced file held",
         true,
         THold::Replaced,
         TUndo::NotWhole,
         {notWhole, NotRestoredLine(old.wstring())},
         true},
        {"a copy held",
         false,
         THold::Added,
         TUndo::NotWhole,
         {notWhole, NotRemovedLine(added.wstring())},
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        fs::remove_all(target);
        fs::create_directories(target / L"udf");
        if (c.Reinstall) {
            Put(old, "before");
            Put(target / L"ReleaseInfo", "<ROOT/>");
        }
        host = TRecordingHost();
        const fs::path after = root / L"after", addedSource = root / L"added";
        Put(after, "after");
        Put(addedSource, "added");
        TTargetFolder folder(target.wstring() + L"\\");
        TRunTransaction transaction(host, folder);
        transaction.SetReplacesInstallation(c.Reinstall);
        transaction.Begin(false);
        if (c.Reinstall) {
            ASSERT_TRUE(CopyInto(folder, after.wstring(), L"fbclient.Dll"));
        }
        ASSERT_TRUE(CopyInto(folder, addedSource.wstring(), L"udf\\новый.dll"));
        folder.FinishFlushes();
        const fs::path heldPath = c.Held == THold::Replaced ? old : added;
        TUniqueFile held(c.Held == THold::Nothing
                             ? INVALID_HANDLE_VALUE
                             : ::CreateFileW(heldPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        EXPECT_EQ(transaction.RollBack(), c.Undo);
        held.Reset();
        const auto undo = std::find(host.Lines.begin(), host.Lines.end(), c.Lines.front());
        ASSERT_NE(undo, host.Lines.end());
        EXPECT_EQ(std::vector<std::wstring>(undo, host.Lines.end()), c.Lines);
        EXPECT_EQ(host.Errors.size(), c.Box ? 1u : 0u);
        EXPECT_EQ(fs::exists(target / L"Uninstall" / L"journal.txt"), c.Held == THold::Replaced)
            << "the journal stays only for what the next run can put back";
        if (c.Reinstall && c.Held == THold::Nothing) {
            EXPECT_EQ(Read(old), "before");
        }
    }
}

// A step line an error cuts short (a copy that breaks off) is completed as failed, the list's and the log's.
TEST_F(InstallRun, TheSessionCompletesTheLineAnErrorCutShort) {
    fs::remove(medium / L"Firebird" / L"icuin30.Dll");
    std::vector<std::wstring> logged;
    TRunLog log([] { return TLocalTime{}; },
                [&](std::string_view line) { logged.push_back(Utf8ToWide(std::string(line))); });
    EXPECT_EQ(RunRecordedInstallation(host, log, options, TSessionPolicy{}).Kind, TOutcome::Undone);
    ASSERT_GE(host.Lines.size(), 2u);
    EXPECT_EQ(host.Lines[host.Lines.size() - 2], L"Копирование файла icuin30.Dll....ОШИБКА!!!");
    EXPECT_TRUE(std::any_of(logged.begin(), logged.end(), [](const std::wstring& line) {
        return line.ends_with(L"Итог: Копирование файла icuin30.Dll....ОШИБКА!!!\r\n");
    }));
}

} // namespace
