// The end of an installation, driven from outside: the newest release package's own script, the release
// level it records, the fonts in the prefix and the link on the user's desktop; and the media whose release
// part is broken, which end the run with the general error report, no link and "Выход" disabled.
#include <gtest/gtest.h>

#include <shlobj.h>

#include "InstallCase.h"
#include "win/ComPtr.h"

using namespace e2e;

namespace {

struct TLink {
    std::wstring Target, Arguments, Description, WorkingDir;
};

// A link read back through the shell's own link object.
TLink ReadLink(const std::wstring& path) {
    TComInit com;
    TComPtr<IShellLinkW> link;
    HRESULT result =
        ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid());
    if (FAILED(result))
        throw TDriverError(L"no shell link object, error " + std::to_wstring(result));
    TComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.PutVoid());
    if (FAILED(result) || FAILED(result = file->Load(path.c_str(), STGM_READ)))
        throw TDriverError(L"cannot load the link \"" + path + L"\", error " + std::to_wstring(result));
    TLink content;
    wchar_t text[INFOTIPSIZE] = L"";
    // From the item list: Wine keeps the plain path beside it in the ANSI code page, which may lack the
    // Cyrillic letters of the target.
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items) {
        ::SHGetPathFromIDListW(items, text);
        ::CoTaskMemFree(items);
    }
    content.Target = text;
    text[0] = L'\0';
    link->GetArguments(text, INFOTIPSIZE);
    content.Arguments = text;
    text[0] = L'\0';
    link->GetDescription(text, INFOTIPSIZE);
    content.Description = text;
    text[0] = L'\0';
    link->GetWorkingDirectory(text, MAX_PATH);
    content.WorkingDir = text;
    return content;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

// Whether the process runs with the rights the font step needs.
bool Elevated(HANDLE process) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw))
        throw TDriverError(L"OpenProcessToken failed, error " + std::to_wstring(::GetLastError()));
    const TUniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        throw TDriverError(L"GetTokenInformation failed, error " + std::to_wstring(::GetLastError()));
    return elevation.TokenIsElevated != 0;
}

std::string WithLineFeeds(std::string text) {
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at))
        text.erase(at, 1);
    return text;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    if (at == std::string::npos)
        throw TDriverError(L"the medium's release file has no " + std::wstring(from.begin(), from.end()));
    return text.replace(at, from.size(), to);
}

class ReleaseTest : public InstallCase {
protected:
    // From "Начать установку" to the general error report that ends the run after the driver: returns the
    // report's text once it is answered, with the window back on the progress page, "Выход" disabled, and
    // the list complete up to the driver's lines.
    // `undone`: the report came before the run's commit, which the run's last line says it undid.
    // The run's last line says how it ended: after the commit, which undoes nothing, or undone.
    std::wstring RunToErrorReport(TWizard& wizard, const std::wstring& lastLine = StoppedAfterCommit) {
        wizard.Click(InstallButton);
        TMessageBox question = wizard.WaitMessageBox(RunTimeout);
        EXPECT_EQ(ToUtf8(question.Text), ToUtf8(DriverQuestion));
        wizard.Answer(question, IDYES);
        TMessageBox report;
        EXPECT_EQ(wizard.WaitRunEnd(RunTimeout, &report), TRunOutcome::MessageBox)
            << "the run ended without a report";
        if (!report.Handle)
            return {};
        wizard.Answer(report, IDOK);
        wizard.WaitPage(ProgressPage);
        EXPECT_FALSE(::IsWindowEnabled(wizard.WaitButton(Exit))) << ToUtf8(report.Text);
        std::vector<std::wstring> lines = wizard.ProgressLines();
        EXPECT_EQ(ToUtf8(lines.back()), ToUtf8(lastLine));
        lines.pop_back();
        ExpectRunLines(lines, ExpectedDeployLines(0, true), FontLines(), true);
        return report.Text;
    }

    // The window can still be closed, and the run counts as failed.
    void CloseAfterReport(TWizard& wizard) {
        wizard.PostToMain(WM_CLOSE, 0, 0);
        EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 1603u);
    }
};

// The demo medium into a folder with Cyrillic letters and blanks, by a wizard started as the driver starts
// every one (CreateProcessW) and left to its own check of its rights: the fonts go into the prefix, the
// store and the updater's files into the target, the newest package's script runs, "ReleaseInfo" records
// its level, and the desktop gets the link to the installed shell.
TEST_F(ReleaseTest, NewestPackageReleaseLevelFontsAndDesktopLink) {
    const std::wstring target = Target(L"Тессаро выпуск");
    const std::wstring log = TempPath(L"tessaro-e2e-release.log");
    ::DeleteFileW(log.c_str());
    FCleanUp.push_back(log);
    const std::wstring& source = FOptions.Medium;

    TWizard& wizard = WalkToComponents(source, target, {}, L"/LOG=\"" + log + L"\"");
    // The wizard's own check decides on the fonts; under Wine every program runs elevated, so it must let
    // them in, and the lines and the prefix below show that it did.
    EXPECT_TRUE(Elevated(wizard.Process())) << "the font step would be skipped";
    ExpectRunLines(Install(wizard, TDriverAnswer::Yes, nullptr), ExpectedDeployLines(0, true), FontLines(),
                   true);
    ExpectDemoFontsInstalled(source);

    // The newest package's script put its files in place, and it alone ran.
    const std::wstring newest = JoinPath(JoinPath(source, medium::Backup), medium::NewestPackage);
    for (const wchar_t* name : {medium::Shell, medium::PackageVersion}) {
        const std::wstring installed = JoinPath(target, name);
        ASSERT_TRUE(FileExists(installed)) << ToUtf8(installed);
        EXPECT_EQ(ReadFileBytes(installed), ReadFileBytes(JoinPath(JoinPath(newest, L"Files"), name)))
            << ToUtf8(installed);
    }
    EXPECT_EQ(WithLineFeeds(ReadFileBytes(JoinPath(target, medium::PackageVersion))), "R010321\n");
    EXPECT_EQ(WithLineFeeds(ReadFileBytes(JoinPath(target, medium::PackageLog))), "R010321\n");
    // The whole store is copied, the packages that never run included.
    for (const wchar_t* package : {medium::NewestPackage, medium::OlderPackage, medium::WithOutAnswer}) {
        const std::wstring script =
            JoinPath(JoinPath(JoinPath(target, medium::Backup), package), L"Install.cmd");
        EXPECT_TRUE(FileExists(script)) << ToUtf8(script);
    }

    // Only the level changes; the rest of the medium's file is kept.
    const std::wstring releaseInfo = JoinPath(target, L"ReleaseInfo");
    ASSERT_TRUE(FileExists(releaseInfo));
    EXPECT_EQ(WithLineFeeds(ReadFileBytes(releaseInfo)),
              Replaced(WithLineFeeds(ReadFileBytes(JoinPath(source, medium::ReleaseInfo))),
                       "<Level>000000</Level>", "<Level>010321</Level>"));
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"Updater.exe.cfg")),
              ReadFileBytes(JoinPath(source, medium::UpdaterSettings)));
    for (const wchar_t* name : {L"ReleaseInfo", L"Updater.exe.cfg"})
        EXPECT_FALSE(::GetFileAttributesW(JoinPath(target, name).c_str()) & FILE_ATTRIBUTE_READONLY)
            << ToUtf8(name) << " stays read-only in the target";

    const std::wstring linkPath = DesktopLink();
    ASSERT_TRUE(FileExists(linkPath)) << "no link " << ToUtf8(linkPath);
    const TLink link = ReadLink(linkPath);
    EXPECT_TRUE(SamePath(link.Target, JoinPath(target, medium::Shell)))
        << ToUtf8(link.Target) << " instead of " << ToUtf8(JoinPath(target, medium::Shell));
    EXPECT_EQ(ToUtf8(link.Description), ToUtf8(LinkDescription));
    EXPECT_TRUE(SamePath(WithoutTrailingBackslash(link.WorkingDir), WithoutTrailingBackslash(target)))
        << ToUtf8(link.WorkingDir);
    EXPECT_EQ(ToUtf8(link.Arguments), "");

    LeaveFromFontPage(wizard);
    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Ярлык на рабочем столе: " + Guillemets(linkPath))) << Joined(entries);
}

// A medium without "Updater": the script still runs, but there is no release file to record the level in.
TEST_F(ReleaseTest, MediumWithoutUpdaterEndsWithoutReleaseFile) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-no-updater"));
    FCleanUp.push_back(medium.Folder());
    medium.RemoveFolder(L"Updater");
    const std::wstring target = Target(L"no-updater");

    TWizard& wizard = WalkToComponents(medium.Folder(), target);
    EXPECT_EQ(ToUtf8(RunToErrorReport(wizard)), "Release info file does not exist");
    EXPECT_TRUE(FileExists(JoinPath(target, medium::Shell)));
    EXPECT_FALSE(FileExists(JoinPath(target, L"ReleaseInfo")));
    EXPECT_FALSE(FileExists(DesktopLink())) << "a run that failed made the link";
    CloseAfterReport(wizard);
}

// A release file of version 2 is refused and left as the medium has it, by the wizard and by a silent run.
TEST_F(ReleaseTest, ReleaseFileOfAnotherVersionIsRefusedAndKept) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-version-2"));
    FCleanUp.push_back(medium.Folder());
    medium.SetReleaseVersion("2");
    const std::string mediumText = ReadFileBytes(medium.Path(medium::ReleaseInfo));
    const std::wstring refusal = L"Cannot get release information, error: unknown release file version";

    const std::wstring target = Target(L"version-2");
    TWizard& wizard = WalkToComponents(medium.Folder(), target);
    EXPECT_EQ(ToUtf8(RunToErrorReport(wizard)), ToUtf8(refusal));
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"ReleaseInfo")), mediumText);
    EXPECT_FALSE(FileExists(DesktopLink()));
    CloseAfterReport(wizard);

    const std::wstring silentTarget = Target(L"version-2-silent");
    const std::wstring log = TempPath(L"tessaro-e2e-version-2.log");
    ::DeleteFileW(log.c_str());
    FCleanUp.push_back(log);
    EXPECT_EQ(RunUnattended(medium.Folder(), L"/VERYSILENT /SUPPRESSMSGBOXES /DIR=\"" + silentTarget +
                                                 L"\" /LOG=\"" + log + L"\""),
              1603u);
    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_TRUE(LogHas(entries, L"Ошибка: " + refusal)) << Joined(entries);
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1603"));
    EXPECT_EQ(ReadFileBytes(JoinPath(silentTarget, L"ReleaseInfo")), mediumText);
    EXPECT_FALSE(FileExists(DesktopLink()));
}

// "backup" without a package: the report names the store it found empty, and nothing is recorded.
TEST_F(ReleaseTest, EmptyPackageStoreIsNamed) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-empty-backup"));
    FCleanUp.push_back(medium.Folder());
    medium.EmptyBackup();
    const std::wstring target = Target(L"empty-backup");

    TWizard& wizard = WalkToComponents(medium.Folder(), target);
    const std::wstring report = RunToErrorReport(wizard, CopiesRemoved);
    EXPECT_NE(report.find(Guillemets(JoinPath(target, L"backup\\"))), std::wstring::npos) << ToUtf8(report);
    // The store was found empty before the run's commit: the run is undone, the updater's files with it.
    EXPECT_FALSE(FileExists(JoinPath(target, L"ReleaseInfo")));
    EXPECT_FALSE(FileExists(JoinPath(target, medium::Shell)));
    EXPECT_FALSE(FileExists(DesktopLink()));
    CloseAfterReport(wizard);
}

// The newest package has no script: the report names the script it could not start, and neither that
// package nor an older one is taken instead.
TEST_F(ReleaseTest, NewestPackageWhoseScriptCannotStart) {
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-medium-no-script"));
    FCleanUp.push_back(medium.Folder());
    medium.AddPackageWithoutScript(L"R020321");
    const std::wstring target = Target(L"no-script");

    TWizard& wizard = WalkToComponents(medium.Folder(), target);
    EXPECT_EQ(ToUtf8(RunToErrorReport(wizard)),
              ToUtf8(L"не смог создать процесс: " + JoinPath(target, L"backup\\R020321\\Install.cmd")));
    EXPECT_FALSE(FileExists(JoinPath(target, medium::Shell)));
    EXPECT_FALSE(FileExists(JoinPath(target, medium::PackageLog)));
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"ReleaseInfo")),
              ReadFileBytes(medium.Path(medium::ReleaseInfo)));
    EXPECT_FALSE(FileExists(DesktopLink()));
    CloseAfterReport(wizard);
}

// With an administrator's rights only a verified script runs. A package someone planted in "backup\" before
// the first installation, with a later date than the medium's newest and owned by that user (as the test
// build reports it: Wine gives every file one owner), never runs: the log names it passed over, and the
// medium's newest runs and is recorded. The medium's script rewritten in the target after the run copied it
// is refused before the run's commit, which undoes the run, and the rewritten script never runs.
TEST_F(ReleaseTest, OnlyVerifiedPackagesRunElevated) {
    const std::wstring target = Target(L"Пакеты");
    const std::wstring planted = JoinPath(target, L"backup\\R311299");
    const std::wstring marker = JoinPath(target, L"planted.txt");
    WriteFileBytes(JoinPath(planted, L"Install.cmd"), "@echo planted> ..\\..\\planted.txt\r\n");
    const std::wstring log = LogPath(L"planted");
    EXPECT_EQ(RunUnattended(FOptions.Medium,
                            L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(target) + L" /LOG=" +
                                Quoted(log),
                            {{L"TESSARO_E2E_USER_OWNED", L"R311299"}}),
              0u);
    const std::vector<std::wstring> entries = ReadRunLog(log);
    EXPECT_FALSE(FileExists(marker)) << "the planted script ran";
    EXPECT_TRUE(LogHas(entries, L"Строка: Пакет выпуска «R311299» пропущен: его нет на носителе, а его "
                                L"владелец — не администратор."))
        << Joined(entries);
    EXPECT_EQ(WithLineFeeds(ReadFileBytes(JoinPath(target, medium::PackageVersion))), "R010321\n");
    EXPECT_NE(ReadFileBytes(JoinPath(target, L"ReleaseInfo")).find("<Level>010321</Level>"),
              std::string::npos);
    EXPECT_EQ(ToUtf8(EntryText(L"DisplayVersion")), "1.2021.03.01");

    // The script a run has just copied, rewritten before it is chosen.
    const std::wstring other = Target(L"Подменённый сценарий");
    const std::wstring script = JoinPath(other, L"backup\\R010321\\Install.cmd");
    const std::wstring replacement = TempPath(L"tessaro-e2e-replacement.cmd");
    FCleanUp.push_back(replacement);
    WriteFileBytes(replacement, "@echo replaced> ..\\..\\replaced.txt\r\n");
    const std::wstring changed = LogPath(L"changed-script");
    EXPECT_EQ(RunUnattended(FOptions.Medium,
                            L"/VERYSILENT /SUPPRESSMSGBOXES /NODRIVER /DIR=" + Quoted(other) + L" /LOG=" +
                                Quoted(changed),
                            {{L"TESSARO_E2E_AFTER_PACKAGE_COPIES",
                              L"cmd.exe /c copy /y " + Quoted(replacement) + L" " + Quoted(script)}}),
              1603u);
    const std::vector<std::wstring> refused = ReadRunLog(changed);
    EXPECT_TRUE(LogHas(refused,
                       L"Ошибка: Сценарий установки пакета «R010321» в папке комплекса отличается от "
                       L"сценария на носителе: он не запущен."))
        << Joined(refused);
    EXPECT_TRUE(LogHas(refused, L"Строка: " + CopiesRemoved)) << Joined(refused);
    EXPECT_FALSE(FileExists(JoinPath(other, L"replaced.txt"))) << "the rewritten script ran";
    EXPECT_FALSE(FileExists(JoinPath(other, medium::Shell)));
}

} // namespace
