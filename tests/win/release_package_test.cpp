// The release packages step and the release information file, under Wine's own MSXML: which package's
// script runs and where, what "ReleaseInfo" keeps and what it refuses, and COM left as it was found.
#include <windows.h>
#include <ole2.h>

#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "AccessFactsKit.h"
#include "RecordingHost.h"
#include "WinScratch.h"
#include "common/Error.h"
#include "common/HandlesWin.h"
#include "install/trust/AccessRules.h"
#include "install/files/TargetFolder.h"
#include "install/steps/ReleasePackage.h"

namespace {

constexpr char ReleaseInfoText[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                                   "<!-- Сведения о выпуске -->\r\n"
                                   "<ROOT kind=\"release\" lang='ru'>\r\n"
                                   "  <Version>1</Version>\r\n"
                                   "  <!-- уровень пишет установка -->\r\n"
                                   "  <Level>R000000</Level>\r\n"
                                   "  <Server address=\"127.0.0.1\" port=\"3050\"/>\r\n"
                                   "  <Notes>Текст &amp; примечания</Notes>\r\n"
                                   "</ROOT>\r\n";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return text;
}

std::wstring MessageOf(auto&& call) {
    try {
        call();
    } catch (const TError& error) {
        return error.Message();
    }
    return L"(no error)";
}

std::string Between(const std::string& text, const std::string& open, const std::string& close) {
    const std::size_t start = text.find(open);
    if (start == std::string::npos)
        return "(missing " + open + ")";
    const std::size_t end = text.find(close, start + open.size());
    return text.substr(start + open.size(), end - start - open.size());
}

std::wstring CurrentFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = ::GetCurrentDirectoryW(MAX_PATH, buffer);
    std::wstring folder(buffer, length);
    if (folder.back() != L'\\')
        folder += L'\\';
    return folder;
}

bool ReadOnly(const std::wstring& path) {
    return (::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
}

class ReleaseInfo : public ::testing::Test {
protected:
    std::wstring File() const { return folder.Folder() + L"ReleaseInfo"; }
    TScratchDir folder;
};

TEST_F(ReleaseInfo, OnlyTheLevelChangesAndEverythingElseIsKept) {
    PutFile(File(), ReleaseInfoText);
    WriteReleaseLevel(folder.Folder(), L"010321");

    const std::string saved = FileBytes(File());
    EXPECT_EQ(Between(saved, "<Level>", "</Level>"), "010321");
    EXPECT_EQ(Between(saved, "<Version>", "</Version>"), "1");
    EXPECT_NE(saved.find("<!-- Сведения о выпуске -->"), std::string::npos) << saved;
    EXPECT_NE(saved.find("<!-- уровень пишет установка -->"), std::string::npos) << saved;
    EXPECT_NE(saved.find("kind=\"release\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("lang="), std::string::npos) << saved;
    EXPECT_NE(saved.find("address=\"127.0.0.1\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("<Notes>Текст &amp; примечания</Notes>"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("R000000"), std::string::npos);
    // The layout between the elements stays as it was (the parser reads every line end as LF).
    EXPECT_TRUE(saved.find("</Version>\r\n  <!--") != std::string::npos ||
                saved.find("</Version>\n  <!--") != std::string::npos)
        << saved;

    // A second level replaces the first.
    WriteReleaseLevel(folder.Folder(), L"Выпуск 2");
    EXPECT_EQ(Between(FileBytes(File()), "<Level>", "</Level>"), "Выпуск 2");
}

TEST_F(ReleaseInfo, UnknownVersionIsRefusedAndTheFileLeftAlone) {
    const std::wstring expected = L"Cannot get release information, error: unknown release file version";
    for (const std::string& version :
         {std::string("<Version>2</Version>"), std::string("<Version>один</Version>"),
          std::string("<Version/>"), std::string("")}) {
        const std::string text = Replaced(ReleaseInfoText, "<Version>1</Version>", version);
        PutFile(File(), text);
        EXPECT_EQ(MessageOf([&] { WriteReleaseLevel(folder.Folder(), L"010321"); }), expected) << version;
        EXPECT_EQ(FileBytes(File()), text);
    }
    // Blanks around the number are no other version.
    PutFile(File(), Replaced(ReleaseInfoText, "<Version>1</Version>", "<Version> 1 </Version>"));
    WriteReleaseLevel(folder.Folder(), L"010321");
    EXPECT_EQ(Between(FileBytes(File()), "<Level>", "</Level>"), "010321");
}

// The reason follows the updater's own English words in Russian, naming the file or the element, never a call
// of MSXML's.
TEST_F(ReleaseInfo, BrokenFilesAreRefusedWithTheReasonAndLeftAlone) {
    const std::wstring prefix = L"Cannot get release information, error: ";
    const std::wstring notXml = L"«" + File() + L"» — не документ XML";
    const struct {
        std::string Text;
        std::wstring Reason; // how the reason begins
    } broken[] = {
        {Replaced(ReleaseInfoText, "  <Level>R000000</Level>\r\n", ""), L"нет элемента «Level»"},
        {Replaced(Replaced(ReleaseInfoText, "<ROOT", "<ROOTS"), "</ROOT>", "</ROOTS>"),
         L"нет элемента «/ROOT»"},
        {"this is not XML at all", notXml},
        {Replaced(ReleaseInfoText, "</ROOT>", ""), notXml},
        {"", notXml},
    };
    for (const auto& each : broken) {
        PutFile(File(), each.Text);
        const std::wstring message = MessageOf([&] { WriteReleaseLevel(folder.Folder(), L"010321"); });
        EXPECT_EQ(message.rfind(prefix + each.Reason, 0), 0u) << WideToUtf8(message);
        EXPECT_EQ(FileBytes(File()), each.Text);
    }
}

TEST_F(ReleaseInfo, MissingFileIsSaidSo) {
    EXPECT_EQ(MessageOf([&] { WriteReleaseLevel(folder.Folder(), L"010321"); }),
              L"Release info file does not exist");
}

// After the call the thread's COM is as before: a fresh initialisation is the first again (S_OK).
TEST_F(ReleaseInfo, ComIsGivenBackOnEveryPath) {
    PutFile(File(), ReleaseInfoText);
    const std::wstring other = folder.Folder() + L"нет\\";
    for (const std::wstring& where : {folder.Folder(), other}) {
        HRESULT after = E_FAIL;
        std::thread([&] {
            try {
                WriteReleaseLevel(where, L"010321");
            } catch (const TError&) {
            }
            after = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(after))
                ::CoUninitialize();
        }).join();
        EXPECT_EQ(after, S_OK) << WideToUtf8(where);

        // A thread with OLE already, as the wizard's: one uninitialisation ends it all.
        std::thread([&] {
            ASSERT_EQ(::OleInitialize(nullptr), S_OK);
            try {
                WriteReleaseLevel(where, L"010322");
            } catch (const TError&) {
            }
            ::OleUninitialize();
            after = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (SUCCEEDED(after))
                ::CoUninitialize();
        }).join();
        EXPECT_EQ(after, S_OK) << WideToUtf8(where);
    }
    // A thread of the multithreaded apartment is served as well.
    std::thread([&] {
        ASSERT_EQ(::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        WriteReleaseLevel(folder.Folder(), L"010323");
        ::CoUninitialize();
    }).join();
    EXPECT_EQ(Between(FileBytes(File()), "<Level>", "</Level>"), "010323");
}

// The medium's packages each with a script that leaves a mark in the folder it was started in.
class ReleasePackage : public ::testing::Test {
protected:
    void SetUp() override {
        ::GetCurrentDirectoryW(MAX_PATH, savedFolder);
        source = medium / L"Носитель\\";
        target = medium / L"Дедира 2\\";
        ::CreateDirectoryW(source.c_str(), nullptr);
        ::CreateDirectoryW(target.c_str(), nullptr);
        ::CreateDirectoryW((source + L"backup").c_str(), nullptr);
    }
    void AddPackage(const std::wstring& name, bool withScript = true, int exitCode = 0) {
        const std::wstring folder = source + L"backup\\" + name;
        ::CreateDirectoryW(folder.c_str(), nullptr);
        ::CreateDirectoryW((folder + L"\\bin").c_str(), nullptr);
        PutFile(folder + L"\\bin\\Shell.exe", "program of " + WideToUtf8(name));
        if (withScript)
            PutFile(folder + L"\\Install.cmd",
                    "@echo ran> ran.txt\r\n@exit " + std::to_string(exitCode) + "\r\n");
    }
    void AddUpdater() {
        ::CreateDirectoryW((source + L"Updater").c_str(), nullptr);
        PutFile(source + L"Updater\\ReleaseInfo", ReleaseInfoText);
        PutFile(source + L"Updater\\Updater.exe.cfg", "config");
        PutFile(source + L"Updater\\Updater.exe", "updater");
        for (const wchar_t* name : {L"ReleaseInfo", L"Updater.exe.cfg"})
            ::SetFileAttributesW((source + L"Updater\\" + name).c_str(), FILE_ATTRIBUTE_READONLY);
    }
    bool Ran(const std::wstring& package) const {
        return FileExists(target + L"backup\\" + package + L"\\ran.txt");
    }
    // The package step as the run takes it: the copies, the package chosen, its script run.
    std::wstring Install(bool elevated = false) {
        return MessageOf([&] {
            TTargetFolder folder(target);
            const std::size_t notCopied = CopyReleasePackages(host, source, folder, false);
            TChosenPackage chosen = ChooseReleasePackage(host, source, folder, elevated);
            outcome = RunReleasePackage(host, folder, chosen);
            outcome.FilesNotCopied = notCopied;
        });
    }
    // A package in the suite's folder that the medium does not have (the updater's, or one planted there).
    void PutPackageInTarget(const std::wstring& name) {
        const std::wstring folder = target + L"backup\\" + name;
        ::CreateDirectoryW((target + L"backup").c_str(), nullptr);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        PutFile(folder + L"\\Install.cmd", "@echo ran> ran.txt\r\n");
    }
    std::string Level() const { return Between(FileBytes(target + L"ReleaseInfo"), "<Level>", "</Level>"); }
    void TearDown() override {
        AfterPackageCopies() = nullptr;
        ::SetCurrentDirectoryW(savedFolder);
    }

    TScratchDir medium;
    std::wstring source, target;
    TRecordingHost host;
    TPackageOutcome outcome;
    wchar_t savedFolder[MAX_PATH] = {};
};

TEST_F(ReleasePackage, NewestPackageRunsInItsFolderAndItsLevelIsRecorded) {
    for (const wchar_t* name : {L"R311220", L"b010321", L"A010321", L"WithOutAnswer"})
        AddPackage(name);
    AddUpdater();
    ASSERT_EQ(Install(), L"(no error)");

    EXPECT_TRUE(Ran(L"A010321"));
    for (const wchar_t* name : {L"R311220", L"b010321", L"WithOutAnswer"}) {
        EXPECT_FALSE(Ran(name)) << WideToUtf8(name);
        EXPECT_EQ(FileBytes(target + L"backup\\" + name + L"\\bin\\Shell.exe"),
                  "program of " + WideToUtf8(name));
    }
    EXPECT_EQ(Between(FileBytes(target + L"ReleaseInfo"), "<Level>", "</Level>"), "010321");
    EXPECT_EQ(FileBytes(target + L"Updater.exe"), "updater");
    EXPECT_FALSE(ReadOnly(target + L"ReleaseInfo"));
    EXPECT_FALSE(ReadOnly(target + L"Updater.exe.cfg"));
    EXPECT_EQ(CurrentFolder(), target);

    // A second run over the first finds everything in place and runs the same package again.
    ::DeleteFileW((target + L"backup\\A010321\\ran.txt").c_str());
    ASSERT_EQ(Install(), L"(no error)");
    EXPECT_TRUE(Ran(L"A010321"));
}

// A script that fails did not install its package: the list says so with the script's code, and the level
// stays unrecorded, so that the updater offers the package again.
TEST_F(ReleasePackage, FailedScriptIsReportedAndItsLevelNotRecorded) {
    AddPackage(L"R010321", true, 5);
    AddUpdater();
    ASSERT_EQ(Install(), L"(no error)");
    EXPECT_TRUE(Ran(L"R010321"));
    EXPECT_EQ(outcome.Package, L"R010321");
    EXPECT_EQ(outcome.ExitCode, 5);
    EXPECT_EQ(host.Lines, (std::vector<std::wstring>{
                              L"Пакет выпуска «R010321» не установлен: сценарий завершился с кодом 5"}));
    EXPECT_TRUE(host.Saw(L"trace: Сценарий установки пакета «R010321» завершился с кодом 5"));
    EXPECT_EQ(FileBytes(target + L"ReleaseInfo"), ReleaseInfoText);
}

// The updater still running from the last installation holds its program: it is named, and either let go
// and replaced, or the step stops naming it, instead of the old program silently staying.
TEST_F(ReleasePackage, HeldUpdaterIsNamedAndReplacedOnceLetGo) {
    AddPackage(L"R010321");
    AddUpdater();
    const std::wstring updater = target + L"Updater.exe";
    PutFile(updater, "the running updater");
    TUniqueFile held(
        ::CreateFileW(updater.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held.Valid());
    EXPECT_NE(Install().find(updater), std::wstring::npos) << "given up, the step stops naming the file";
    EXPECT_EQ(FileBytes(target + L"ReleaseInfo").find("<Level>010321"), std::string::npos);

    host = TRecordingHost();
    host.InUseAnswers = {TInUseAnswer::Retry};
    host.OnInUse = [&] { held.Reset(); };
    ASSERT_EQ(Install(), L"(no error)");
    EXPECT_TRUE(host.SawPrefix(L"in use: " + updater));
    EXPECT_EQ(FileBytes(updater), "updater");
}

TEST_F(ReleasePackage, EmptyStoreEndsTheStepNamingTheFolder) {
    AddPackage(L"WithOutAnswer");
    AddUpdater();
    const std::wstring message = Install();
    EXPECT_NE(message.find(L"«" + target + L"backup\\»"), std::wstring::npos) << WideToUtf8(message);
    EXPECT_FALSE(Ran(L"WithOutAnswer"));
    EXPECT_EQ(FileBytes(target + L"ReleaseInfo"), ReleaseInfoText);
}

TEST_F(ReleasePackage, PackageWithoutDateEndsTheStepNamingIt) {
    AddPackage(L"R010321");
    AddPackage(L"Старый выпуск");
    AddUpdater();
    const std::wstring message = Install();
    EXPECT_NE(message.find(target + L"backup\\Старый выпуск"), std::wstring::npos) << WideToUtf8(message);
    EXPECT_FALSE(Ran(L"R010321"));
}

TEST_F(ReleasePackage, ScriptThatCannotStartEndsTheStepInTheTarget) {
    AddPackage(L"R010321", false);
    AddUpdater();
    EXPECT_EQ(Install(), L"не смог создать процесс: " + target + L"backup\\R010321\\Install.cmd");
    EXPECT_EQ(CurrentFolder(), target);
    EXPECT_EQ(FileBytes(target + L"ReleaseInfo"), ReleaseInfoText);
}

TEST_F(ReleasePackage, MediumWithoutUpdaterEndsWithoutReleaseInfo) {
    AddPackage(L"R010321");
    EXPECT_EQ(Install(), L"Release info file does not exist");
    EXPECT_TRUE(Ran(L"R010321"));
}

// With an administrator's rights a package the medium did not bring runs only when its folder and its script
// are the machine's and no one else may change them; any other is passed over with a line naming it, and the
// newest of the rest runs and gives its level. A run without those rights takes the user's updater's package
// as before.
TEST_F(ReleasePackage, AnElevatedRunPassesOverPackagesAnOrdinaryUserCouldHaveMade) {
    AddPackage(L"R010321");
    AddUpdater();
    PutPackageInTarget(L"R311299");
    const std::wstring planted = target + L"backup\\R311299";
    struct TCase {
        const char* Name;
        bool UsersFolder, UsersScript, NoScript, Elevated;
        const wchar_t* Runs;
        TTrustFault Fault;
    };
    const TCase cases[] = {
        {"a user's package", true, false, false, true, L"R010321", TTrustFault::ForeignOwner},
        {"a user's script in the administrators' folder", false, true, false, true, L"R010321",
         TTrustFault::ForeignOwner},
        {"no script", false, false, true, true, L"R010321", TTrustFault::Missing},
        {"the administrators' package", false, false, false, true, L"R311299", TTrustFault::None},
        {"a user's package in the user's own run", true, true, false, false, L"R311299", TTrustFault::None},
    };
    for (const TCase& c : cases) {
        TAccessFactsKit facts;
        c.UsersFolder ? facts.UsersOwn(planted) : facts.AdministratorsOwn(planted);
        c.UsersScript ? facts.UsersOwn(planted + L"\\Install.cmd")
                      : facts.AdministratorsOwn(planted + L"\\Install.cmd");
        if (c.NoScript)
            ::DeleteFileW((planted + L"\\Install.cmd").c_str());
        for (const wchar_t* package : {L"R010321", L"R311299"})
            ::DeleteFileW((target + L"backup\\" + package + L"\\ran.txt").c_str());
        host = TRecordingHost();
        ASSERT_EQ(Install(c.Elevated), L"(no error)") << c.Name;
        EXPECT_TRUE(Ran(c.Runs)) << c.Name;
        EXPECT_EQ(Ran(L"R010321") + Ran(L"R311299"), 1) << c.Name << ": one package ran";
        EXPECT_EQ(Level(), WideToUtf8(std::wstring(c.Runs).substr(1))) << c.Name;
        const std::vector<std::wstring> passedOver =
            c.Fault == TTrustFault::None
                ? std::vector<std::wstring>{}
                : std::vector<std::wstring>{PackagePassedOverText(L"R311299", c.Fault)};
        EXPECT_EQ(host.Lines, passedOver) << c.Name;
        PutFile(planted + L"\\Install.cmd", "@echo ran> ran.txt\r\n");
    }
}

// The medium's script changed in the suite's folder after the step copied it (a user who could still write
// there, or anything else) never runs: the step stops before the run's commit, naming the package, and the
// next run brings the medium's script back and runs it. The script runs through the system's interpreter,
// which takes no program from the package's folder.
TEST_F(ReleasePackage, AMediumsScriptChangedAfterItsCopyIsRefused) {
    AddPackage(L"R010321");
    AddUpdater();
    AfterPackageCopies() = [](const std::wstring& folder) {
        const std::wstring script = folder + L"backup\\R010321\\Install.cmd";
        PutFile(script, FileBytes(script) + "@echo changed> changed.txt\r\n");
    };
    EXPECT_EQ(WideToUtf8(Install(true)), WideToUtf8(ScriptNotTheMediumsText(L"R010321")));
    EXPECT_FALSE(Ran(L"R010321"));
    EXPECT_FALSE(FileExists(target + L"backup\\R010321\\changed.txt"));
    EXPECT_EQ(Level(), "R000000");

    AfterPackageCopies() = nullptr;
    PutFile(source + L"backup\\R010321\\Install.cmd",
            "@echo ran> ran.txt\r\n@echo value=%NoDefaultCurrentDirectoryInExePath%> path.txt\r\n");
    ASSERT_EQ(Install(true), L"(no error)");
    EXPECT_TRUE(Ran(L"R010321"));
    EXPECT_EQ(FileBytes(target + L"backup\\R010321\\path.txt"), "value=1\r\n");
    EXPECT_EQ(Level(), "010321");
}

} // namespace
