// Group Policy's way in: msiexec with the medium's Tessaro-Holter.msi, without a window, as a policy runs it.
// The installation with the public properties, values the package or Setup.exe refuses, the removal through
// the package, and a newer package over an older one. The older package comes from the build
// (--older-package=<Windows path>, the release before the medium's), and so do signed copies of the package
// and of the test build (--signed=<Windows path of their folder>).
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <msi.h>
#include <msiquery.h>

#include <set>

#include "InstallCase.h"

using namespace e2e;

namespace {

constexpr wchar_t UninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t SuiteKey[] = L"TessaroHolter";
// Where the package notes which release installed the suite last.
constexpr wchar_t OwnerKey[] = L"Software\\TessaroHolter";
constexpr wchar_t PackageName[] = L"Tessaro-Holter.msi";
// A whole msiexec run: Setup.exe's own run under a loaded machine, and Windows Installer's around it.
constexpr DWORD MsiexecTimeoutMs = 2 * RunTimeout.count();

// A value below HKLM in one view of the registry; false when it is missing or of another type.
bool MachineValue(const std::wstring& key, const wchar_t* name, REGSAM view, DWORD type, void* data,
                  DWORD size) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_QUERY_VALUE | view, &raw) != ERROR_SUCCESS)
        return false;
    const TUniqueRegKey opened(raw);
    DWORD found = 0;
    return ::RegQueryValueExW(opened.Get(), name, nullptr, &found, static_cast<BYTE*>(data), &size) ==
               ERROR_SUCCESS &&
           found == type;
}

// "<none>" when it is missing.
std::wstring MachineText(const std::wstring& key, const wchar_t* name, REGSAM view) {
    wchar_t value[1024] = L"";
    return MachineValue(key, name, view, REG_SZ, value, sizeof value - sizeof(wchar_t)) ? value : L"<none>";
}

// A value of the suite's entry, in the 32-bit view where a 32-bit installer writes it.
std::wstring EntryText(const wchar_t* name) {
    return MachineText(std::wstring(UninstallKey) + L"\\" + SuiteKey, name, KEY_WOW64_32KEY);
}

// The entries "Programs and Features" shows: those of either view with a name that do not ask to be hidden.
std::set<std::wstring> VisibleEntries() {
    std::set<std::wstring> visible;
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY raw = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey, 0, KEY_READ | view, &raw) != ERROR_SUCCESS)
            continue;
        const TUniqueRegKey list(raw);
        wchar_t name[256];
        for (DWORD i = 0;; ++i) {
            DWORD length = 256;
            if (::RegEnumKeyExW(list.Get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            const std::wstring key = std::wstring(UninstallKey) + L"\\" + name;
            DWORD hidden = 0;
            MachineValue(key, L"SystemComponent", view, REG_DWORD, &hidden, sizeof hidden);
            if (hidden != 1 && MachineText(key, L"DisplayName", view) != L"<none>")
                visible.insert(name);
        }
    }
    return visible;
}

// A property of a package, read from its database.
std::wstring PackageProperty(const std::wstring& package, const wchar_t* name) {
    MSIHANDLE database = 0;
    if (::MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, &database) != ERROR_SUCCESS)
        throw TDriverError(L"cannot open the package \"" + package + L"\"");
    std::wstring value;
    MSIHANDLE view = 0;
    const std::wstring query =
        L"SELECT `Value` FROM `Property` WHERE `Property` = '" + std::wstring(name) + L"'";
    if (::MsiDatabaseOpenViewW(database, query.c_str(), &view) == ERROR_SUCCESS) {
        MSIHANDLE record = 0;
        if (::MsiViewExecute(view, 0) == ERROR_SUCCESS && ::MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            wchar_t text[256] = L"";
            DWORD length = 256;
            if (::MsiRecordGetStringW(record, 1, text, &length) == ERROR_SUCCESS)
                value = text;
            ::MsiCloseHandle(record);
        }
        ::MsiCloseHandle(view);
    }
    ::MsiCloseHandle(database);
    return value;
}

bool Registered(const std::wstring& productCode) {
    return ::MsiQueryProductStateW(productCode.c_str()) == INSTALLSTATE_DEFAULT;
}

// msiexec's log, which it writes in the ANSI code page.
std::wstring InstallerLog(const std::wstring& path) {
    const std::string bytes = FileExists(path) ? ReadFileBytes(path) : std::string();
    if (bytes.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
    return text;
}

// The end of an installer's log, where a failure shows, without its list of properties.
std::string LogTail(const std::wstring& log) {
    std::wstring actions;
    for (std::size_t at = 0; at < log.size();) {
        const std::size_t end = std::min(log.find(L'\n', at), log.size());
        if (log.compare(at, 12, L"Property(S):") != 0 && log.compare(at, 12, L"Property(C):") != 0)
            actions += log.substr(at, end + 1 - at);
        at = end + 1;
    }
    return ToUtf8(actions.substr(actions.size() > 4000 ? actions.size() - 4000 : 0));
}

// The names of the programs running, for a run that does not end.
std::string RunningPrograms() {
    std::string names;
    const TUniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && ::Process32FirstW(snapshot.Get(), &entry); more;
         more = ::Process32NextW(snapshot.Get(), &entry))
        names += ToUtf8(entry.szExeFile) + " ";
    return names;
}

// A text as the ANSI code page renders it: a letter the page lacks comes out of msiexec's log as "?".
std::wstring AsLogged(const std::wstring& text) {
    const int size = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr,
                          nullptr);
    std::wstring rendered(bytes.size(), L'\0');
    const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()),
                                             rendered.data(), static_cast<int>(rendered.size()));
    rendered.resize(static_cast<size_t>(length));
    return rendered;
}

// The line the package's action writes when the program it started has ended.
std::wstring EndedLine(const std::wstring& program, DWORD code) {
    return AsLogged(L"TessaroHolter: \"" + program + L"\" ended with exit code " + std::to_wstring(code));
}

std::wstring Option(const std::wstring& prefix) {
    int count = 0;
    LPWSTR* args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::wstring value;
    for (int i = 1; args && i < count; ++i)
        if (std::wstring arg = args[i]; arg.starts_with(prefix))
            value = arg.substr(prefix.size());
    ::LocalFree(args);
    return value;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

class MsiTest : public InstallCase {
protected:
    void SetUp() override {
        InstallCase::SetUp();
        FPackage = JoinPath(FOptions.Medium, PackageName);
        ASSERT_TRUE(FileExists(FPackage));
        FProductCode = PackageProperty(FPackage, L"ProductCode");
        ASSERT_FALSE(FProductCode.empty());
        FOlderPackage = Option(L"--older-package=");
        if (!FOlderPackage.empty())
            FOlderCode = PackageProperty(FOlderPackage, L"ProductCode");
        ForgetPackages();
    }
    void TearDown() override {
        ForgetPackages();
        InstallCase::TearDown();
    }

    // Every package of the suite that Windows Installer still counts as installed is removed, once the
    // suite's entry is gone, so that it removes nothing else; and the note of the last one. Both packages by
    // their codes as well: under Wine an upgrade leaves the newer one unlisted under the upgrade code.
    void ForgetPackages() {
        RemoveUninstallEntry();
        std::set<std::wstring> products{FProductCode};
        if (!FOlderCode.empty())
            products.insert(FOlderCode);
        const std::wstring upgradeCode = PackageProperty(FPackage, L"UpgradeCode");
        wchar_t product[39];
        for (DWORD i = 0; ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS; ++i)
            products.insert(product);
        for (const std::wstring& code : products)
            if (Registered(code))
                Msiexec(L"/x " + code, {});
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, OwnerKey, KEY_WOW64_32KEY, 0);
    }

    // The medium of the release before: without the newer release package, with its own package.
    std::wstring OlderMedium() {
        if (FOlderPackage.empty())
            throw TDriverError(L"give the older package: --older-package=<path>");
        const std::wstring folder = TempPath(L"tessaro-e2e-older-medium");
        FCleanUp.push_back(folder);
        TMediumBuilder(FOptions.Medium, folder)
            .RemoveFolder(JoinPath(medium::Backup, medium::NewestPackage))
            .WriteFile(PackageName, ReadFileBytes(FOlderPackage));
        return folder;
    }

    // msiexec with `arguments`, without a window and with a verbose log at `log` when one is given; its exit
    // code.
    DWORD Msiexec(const std::wstring& arguments, const std::wstring& log) {
        // The system's own msiexec, as a policy starts it: on a 64-bit Windows the 64-bit one, which runs the
        // package's 32-bit action in a 32-bit helper, even when this test is a 32-bit program.
        wchar_t windows[MAX_PATH] = L"";
        ::GetWindowsDirectoryW(windows, MAX_PATH);
        BOOL wow64 = FALSE;
        ::IsWow64Process(::GetCurrentProcess(), &wow64);
        const std::wstring program =
            JoinPath(windows, wow64 ? L"Sysnative\\msiexec.exe" : L"System32\\msiexec.exe");
        std::wstring line = Quoted(program) + L" " + arguments + L" /qn";
        if (!log.empty())
            line += L" /l*v " + Quoted(log);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                              FWorkingFolder.c_str(), &startup, &info)) {
            ADD_FAILURE() << "msiexec cannot be started: " << ::GetLastError();
            return 0xFFFFFFFF;
        }
        ::CloseHandle(info.hThread);
        const TUniqueHandle process(info.hProcess);
        if (::WaitForSingleObject(process.Get(), MsiexecTimeoutMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "msiexec did not end within " << MsiexecTimeoutMs << " ms: " << ToUtf8(line)
                          << "\nrunning: " << RunningPrograms() << "\n"
                          << LogTail(InstallerLog(log));
            ::TerminateProcess(process.Get(), 1);
            return 0xFFFFFFFF;
        }
        DWORD code = 0xFFFFFFFF;
        ::GetExitCodeProcess(process.Get(), &code);
        return code;
    }

    // msiexec /i of `package` with `properties`, its log under the temporary name `logName`; its exit code.
    DWORD InstallPackage(const std::wstring& package, const std::wstring& properties,
                         const wchar_t* logName) {
        return Msiexec(L"/i " + Quoted(package) + L" " + properties, LogPath(logName));
    }

    // The uninstaller's copy in the temporary folder removes the uninstaller a moment after it ended.
    void ExpectUninstallerGone(const std::wstring& target) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (FolderExists(JoinPath(target, L"Uninstall")) && std::chrono::steady_clock::now() < until)
            ::Sleep(100);
        EXPECT_FALSE(FolderExists(JoinPath(target, L"Uninstall")));
    }

    // What a clinic does with an installed suite: recordings in the database, a file of its own.
    void UseTheSuite(const std::wstring& target) {
        WriteFileBytes(JoinPath(target, L"DTAfb\\T12.FDB"), Recordings);
        WriteFileBytes(JoinPath(target, L"Заключения\\Иванов.txt"), "the clinic's own");
    }

    // Installs `package` with properties set directly, as a transform or a policy's settings would, rather
    // than from a command line: Wine's msiexec takes every quotation mark out of a command line's values, and
    // Windows' keeps a doubled one. The installer's result.
    UINT InstallWithProperties(const std::wstring& package,
                               const std::vector<std::pair<std::wstring, std::wstring>>& properties,
                               const std::wstring& log) {
        ::MsiEnableLogW(INSTALLLOGMODE_VERBOSE, log.c_str(), 0);
        const INSTALLUILEVEL before = ::MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
        MSIHANDLE handle = 0;
        UINT result = ::MsiOpenPackageW(package.c_str(), &handle);
        if (result == ERROR_SUCCESS) {
            for (const auto& [name, value] : properties)
                ::MsiSetPropertyW(handle, name.c_str(), value.c_str());
            result = ::MsiDoActionW(handle, L"INSTALL");
            ::MsiCloseHandle(handle);
        }
        ::MsiSetInternalUI(before, nullptr);
        ::MsiEnableLogW(0, nullptr, 0);
        return result;
    }

    const std::string Recordings = "the clinic's recordings";
    std::wstring FPackage;
    std::wstring FProductCode;
    std::wstring FOlderPackage; // empty when the test was not given one
    std::wstring FOlderCode;
};

// /i /qn with every public property: Setup.exe runs from the package's folder with the switches they stand
// for, the suite is installed and registered under its own entry, the only one "Programs and Features" shows,
// and the installer's log holds Setup.exe's exit code.
TEST_F(MsiTest, InstallsTheSuiteWithThePropertiesAsSwitchesAndShowsOnlyTheSuitesEntry) {
    const std::wstring target = Target(L"Программы клиники\\Дедира");
    const std::wstring setupLog = LogPath(L"msi-setup");
    const std::wstring log = LogPath(L"msi-install");
    ASSERT_EQ(Msiexec(L"/i " + Quoted(FPackage) + L" INSTALLDIR=" + Quoted(WithoutTrailingBackslash(target)) +
                          L" NODRIVER=1 WINDOWSXP=1 SETUPLOG=" + Quoted(setupLog),
                      log),
              0u)
        << LogTail(InstallerLog(log));

    EXPECT_EQ(ToUtf8(EntryText(L"InstallLocation")), ToUtf8(target));
    EXPECT_EQ(ToUtf8(EntryText(L"DisplayVersion")), "1.2021.03.01");
    EXPECT_TRUE(Registered(FProductCode));
    EXPECT_EQ(VisibleEntries(), std::set<std::wstring>{SuiteKey});
    ExpectDeployedFiles(FOptions.Medium, target, 1);
    EXPECT_EQ(DriverStarts(), std::vector<std::string>{});

    const auto entries = ReadRunLog(setupLog);
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(ToUtf8(entries.front()),
              ToUtf8(L"Командная строка: " + Quoted(JoinPath(FOptions.Medium, L"Setup.exe")) +
                     L" /VERYSILENT /SUPPRESSMSGBOXES /DIR=" + Quoted(WithoutTrailingBackslash(target)) +
                     L" /NODRIVER /WINDOWSXP /LOG=" + Quoted(setupLog)));
    EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 0"));
    const std::wstring ended = EndedLine(JoinPath(FOptions.Medium, L"Setup.exe"), 0);
    EXPECT_NE(InstallerLog(log).find(ended), std::wstring::npos) << ToUtf8(ended);
}

// Values that cannot be right fail the package, and nothing is installed: a folder Setup.exe refuses (its
// code, 1, in the installer's log, the reason in its run log), and values the package refuses before it
// starts anything (a quotation mark, which no path holds and which would end Setup.exe's switch early and let
// the rest of the value pass for switches of its own; switch properties other than 1 or 0).
TEST_F(MsiTest, RefusedValuesFailThePackageAndInstallNothing) {
    const std::wstring target = Target(L"refused");
    const std::wstring folder = WithoutTrailingBackslash(target);
    struct TCase {
        const char* Name;
        std::vector<std::pair<std::wstring, std::wstring>> Properties;
        const wchar_t* Refusal; // the package's action that refuses them; none when Setup.exe does (exit 1)
    };
    const TCase cases[] = {
        {"a drive root", {{L"INSTALLDIR", L"C:\\"}}, nullptr},
        {"two letters", {{L"INSTALLDIR", L"ab"}}, nullptr},
        {"a quotation mark",
         {{L"INSTALLDIR", folder + L"\" /UNINSTALL /DIR=\"C:\\Dedira"}},
         L"TH_RefuseQuotedFolder"},
        {"a quotation mark in the log's name",
         {{L"INSTALLDIR", folder}, {L"SETUPLOG", L"C:\\a\" /UNINSTALL \"b.log"}},
         L"TH_RefuseQuotedLog"},
        {"NODRIVER=yes", {{L"INSTALLDIR", folder}, {L"NODRIVER", L"yes"}}, L"TH_RefuseNoDriverValue"},
        {"WINDOWSXP=2", {{L"INSTALLDIR", folder}, {L"WINDOWSXP", L"2"}}, L"TH_RefuseWindowsXPValue"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::wstring setupLog = LogPath(L"msi-refused-setup");
        const std::wstring log = LogPath(L"msi-refused");
        auto properties = c.Properties;
        const bool quoted = std::any_of(properties.begin(), properties.end(), [](const auto& p) {
            return p.second.find(L'"') != std::wstring::npos;
        });
        if (quoted) {
            EXPECT_EQ(InstallWithProperties(FPackage, properties, log),
                      static_cast<UINT>(ERROR_INSTALL_FAILURE));
        } else {
            std::wstring line = L"/i " + Quoted(FPackage) + L" SETUPLOG=" + Quoted(setupLog);
            for (const auto& [name, value] : properties)
                line += L" " + name + L"=" + Quoted(value);
            EXPECT_EQ(Msiexec(line, log), 1603u);
        }
        EXPECT_FALSE(Registered(FProductCode));
        EXPECT_EQ(ToUtf8(EntryText(L"InstallLocation")), "<none>");
        EXPECT_FALSE(FolderExists(target));
        const std::wstring installerLog = InstallerLog(log);
        if (!c.Refusal) {
            EXPECT_NE(installerLog.find(EndedLine(JoinPath(FOptions.Medium, L"Setup.exe"), 1)),
                      std::wstring::npos)
                << LogTail(installerLog);
            const auto entries = ReadRunLog(setupLog);
            EXPECT_TRUE(LogHas(entries, L"Ошибка: ")) << Joined(entries);
            ASSERT_FALSE(entries.empty());
            EXPECT_EQ(ToUtf8(entries.back()), ToUtf8(L"Код завершения: 1"));
        } else {
            EXPECT_NE(installerLog.find(L"Action start"), std::wstring::npos) << "no log";
            EXPECT_NE(installerLog.find(std::wstring(L": ") + c.Refusal + L"."), std::wstring::npos)
                << LogTail(installerLog);
            EXPECT_EQ(installerLog.find(L"TessaroHolter: starting"), std::wstring::npos);
            EXPECT_FALSE(FileExists(setupLog));
        }
        ForgetPackages();
        RemoveTreeWithin(target, TDuration{10000});
    }
}

// msiexec /x removes the suite through its registered uninstaller and keeps the clinic's data; where the
// suite is gone already, through its own entry or with its folder, the package finds nothing to run and
// removes only itself. Always 0, and the package no longer registered.
TEST_F(MsiTest, RemovalThroughThePackage) {
    enum class TBefore { Nothing, RemovedByItsOwnEntry, FolderDeletedByHand };
    struct TCase {
        const char* Name;
        TBefore Before;
        const wchar_t* Logged; // what the package's action writes, or nothing when it does not run
    };
    const TCase cases[] = {
        {"installed", TBefore::Nothing, L"ended with exit code 0"},
        {"removed through its own entry", TBefore::RemovedByItsOwnEntry, nullptr},
        {"its folder deleted by hand", TBefore::FolderDeletedByHand, L"nothing is left to remove"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::wstring target = Target(L"removal");
        ASSERT_EQ(
            InstallPackage(FPackage, L"NODRIVER=1 INSTALLDIR=" + Quoted(target), L"msi-removal-install"), 0u);
        UseTheSuite(target);
        if (c.Before == TBefore::RemovedByItsOwnEntry) {
            TWizard& removal = Launch(JoinPath(target, L"Uninstall"),
                                      TLaunch{L"/UNINSTALL /VERYSILENT /SUPPRESSMSGBOXES", {}});
            ASSERT_EQ(removal.WaitExit(RunTimeout, true), 0u);
            ExpectUninstallerGone(target);
        } else if (c.Before == TBefore::FolderDeletedByHand) {
            ASSERT_EQ(RemoveTreeWithin(target, TDuration{10000}), "");
        }

        const std::wstring log = LogPath(L"msi-removal");
        EXPECT_EQ(Msiexec(L"/x " + Quoted(FPackage), log), 0u);
        EXPECT_FALSE(Registered(FProductCode));
        const std::wstring installerLog = InstallerLog(log);
        if (c.Logged)
            EXPECT_NE(installerLog.find(c.Logged), std::wstring::npos) << LogTail(installerLog);
        else
            EXPECT_EQ(installerLog.find(L"TessaroHolter: starting"), std::wstring::npos);
        if (c.Before != TBefore::FolderDeletedByHand) {
            ExpectUninstallerGone(target);
            EXPECT_EQ(ToUtf8(EntryText(L"InstallLocation")), "<none>");
            std::set<std::wstring> left;
            for (const auto& [file, bytes] : FilesBelow(target))
                if (!file.starts_with(L"Settings\\"))
                    left.insert(file);
            EXPECT_EQ(left, (std::set<std::wstring>{L"DTAfb\\T12.FDB", L"Заключения\\Иванов.txt"}));
            EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\T12.FDB")), Recordings);
        }
        RemoveUninstallEntry();
        RemoveTreeWithin(target, TDuration{10000});
    }
}

// The next release's package over the one before it: the older package goes, the suite stays where it was
// and is brought up to the new release by Setup.exe in place, the uninstaller never runs (the release
// packages' record in "Install.log" shows both), the clinic's data stays. The newer package's removal then
// removes the suite.
TEST_F(MsiTest, NewerPackageReplacesTheOlderWithoutRemovingTheSuite) {
    const std::wstring olderMedium = OlderMedium();
    ASSERT_NE(FOlderCode, FProductCode);
    const std::wstring target = Target(L"upgrade");
    ASSERT_EQ(InstallPackage(JoinPath(olderMedium, PackageName), L"NODRIVER=1 INSTALLDIR=" + Quoted(target),
                             L"msi-upgrade-older"),
              0u);
    EXPECT_EQ(ToUtf8(EntryText(L"DisplayVersion")), "1.2020.12.31");
    EXPECT_TRUE(Registered(FOlderCode));
    UseTheSuite(target);

    ASSERT_EQ(InstallPackage(FPackage, L"NODRIVER=1", L"msi-upgrade-newer"), 0u);
    EXPECT_TRUE(Registered(FProductCode));
    EXPECT_FALSE(Registered(FOlderCode));
    EXPECT_EQ(ToUtf8(EntryText(L"InstallLocation")), ToUtf8(target));
    EXPECT_EQ(ToUtf8(EntryText(L"DisplayVersion")), "1.2021.03.01");
    EXPECT_EQ(VisibleEntries(), std::set<std::wstring>{SuiteKey});
    const std::string packages = ReadFileBytes(JoinPath(target, medium::PackageLog));
    EXPECT_NE(packages.find("R010321"), std::string::npos) << packages;
    EXPECT_LT(packages.find("R311220"), packages.find("R010321")) << packages;
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"Заключения\\Иванов.txt")), "the clinic's own");
    const std::vector<std::wstring> backups = Backups(target);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(ReadFileBytes(JoinPath(target, L"DTAfb\\" + backups[0])), Recordings);

    EXPECT_EQ(Msiexec(L"/x " + Quoted(FPackage), LogPath(L"msi-upgrade-removal")), 0u);
    EXPECT_FALSE(Registered(FProductCode));
    ExpectUninstallerGone(target);
    EXPECT_EQ(ToUtf8(EntryText(L"InstallLocation")), "<none>");
    EXPECT_FALSE(FileExists(JoinPath(target, L"Shell.exe")));
}

// The older release's package where the newer one is installed fails and changes nothing.
TEST_F(MsiTest, OlderPackageRefusesToGoOverTheNewer) {
    const std::wstring olderMedium = OlderMedium();
    const std::wstring target = Target(L"downgrade");
    ASSERT_EQ(InstallPackage(FPackage, L"NODRIVER=1 INSTALLDIR=" + Quoted(target), L"msi-downgrade-newer"),
              0u);
    const auto before = FilesBelow(target);

    const std::wstring log = LogPath(L"msi-downgrade-older");
    EXPECT_EQ(Msiexec(L"/i " + Quoted(JoinPath(olderMedium, PackageName)) + L" NODRIVER=1", log), 1603u);
    EXPECT_EQ(InstallerLog(log).find(L"TessaroHolter: starting"), std::wstring::npos);
    EXPECT_FALSE(Registered(FOlderCode));
    EXPECT_TRUE(Registered(FProductCode));
    EXPECT_EQ(ToUtf8(EntryText(L"DisplayVersion")), "1.2021.03.01");
    EXPECT_TRUE(FilesBelow(target) == before) << "the suite's files changed";
}

// A signed package vouches for the Setup.exe it starts as SYSTEM from a share others may write to: beside an
// unsigned one it fails (1603), the installer's log says why, and nothing runs; beside one signed by the same
// certificate it installs the suite.
TEST_F(MsiTest, ASignedPackageStartsOnlyASetupSignedByItsCertificate) {
    const std::wstring signedCopies = Option(L"--signed=");
    if (signedCopies.empty() || !FileExists(JoinPath(signedCopies, PackageName)))
        GTEST_SKIP() << "no signed copies (--signed=<folder>): the build had no openssl or osslsigncode";
    TMediumBuilder medium(FOptions.Medium, TempPath(L"tessaro-e2e-signed-medium"));
    FCleanUp.push_back(medium.Folder());
    medium.WriteFile(PackageName, ReadFileBytes(JoinPath(signedCopies, PackageName)));
    const std::wstring target = Target(L"Подписанный пакет");
    const std::wstring properties = L"INSTALLDIR=" + Quoted(target) + L" NODRIVER=1";

    const std::wstring install = L"/i " + Quoted(medium.Path(PackageName)) + L" " + properties;
    const std::wstring refusedLog = LogPath(L"msi-signed-unsigned-setup");
    EXPECT_EQ(Msiexec(install, refusedLog), 1603u);
    const std::wstring refused = InstallerLog(refusedLog);
    EXPECT_NE(refused.find(L"Setup.exe\" does not carry a valid signature by the package's certificate"),
              std::wstring::npos)
        << LogTail(refused);
    EXPECT_EQ(refused.find(L"TessaroHolter: starting"), std::wstring::npos);
    EXPECT_FALSE(FileExists(JoinPath(target, L"Shell.exe")));

    medium.WriteFile(L"Setup.exe", ReadFileBytes(JoinPath(signedCopies, L"Setup.exe")));
    const std::wstring installedLog = LogPath(L"msi-signed");
    EXPECT_EQ(Msiexec(install, installedLog), 0u);
    const std::wstring installed = InstallerLog(installedLog);
    EXPECT_NE(installed.find(L"Setup.exe\" carries the package's signature"), std::wstring::npos)
        << LogTail(installed);
    EXPECT_TRUE(FileExists(JoinPath(target, L"Shell.exe")));
}

} // namespace
