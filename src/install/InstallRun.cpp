// The installation run, step by step. It knows no window: every line, question and error goes to the host.
#include "install/InstallRun.h"

#include <windows.h>

#include <exception>

#include "common/ErrorWin.h"
#include "common/HandlesWin.h"
#include "common/IniFile.h"
#include "common/StrUtils.h"
#include "common/TH_Common_Const.h"
#include "install/DatabaseServer.h"
#include "install/FileUtils.h"
#include "install/Fonts.h"
#include "install/ReleasePackage.h"
#include "install/RunFiles.h"
#include "install/RunLogFile.h"
#include "support/Shortcut.h"

namespace {

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The trimmed target made absolute against the current folder (still the wizard's own here): later steps
// change the current folder, and a relative target would then point somewhere else.
std::wstring AbsoluteTarget(const std::wstring& trimmed) {
    if (trimmed.empty())
        return trimmed;
    const DWORD needed = ::GetFullPathNameW(trimmed.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return trimmed;
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(trimmed.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return trimmed;
    full.resize(length);
    if (full.back() != L'\\')
        full += L'\\';
    return full;
}

bool ProcessIsElevated() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    TUniqueHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

void WriteSettingsKeys(const std::wstring& target) {
    TIniFile ini(target + std::wstring(SettingsDir) + std::wstring(SettingsFileName));
    ini.WriteInteger(L"options", L"FilterType", 0);
    ini.WriteInteger(L"options", L"HardwareType", 1);
    ini.UpdateFile();
}

// Written once; the suite counts on from what it finds, so an existing file is never touched.
void WriteLastNum(const std::wstring& target, IProgress& progress) {
    const std::wstring settings = target + std::wstring(SettingsDir);
    const std::wstring fileName = settings + L"lastnum.dta";
    if (!FolderExists(settings) || FileExists(fileName))
        return;
    const auto bytes = LastNumContent(DaysSince1899(LocalNow()));
    TUniqueFile file(::CreateFileW(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size())
        progress.Trace(L"\"" + fileName + L"\" не записан: " + SystemMessage(::GetLastError()));
}

void WriteBtooth(const std::wstring& target) {
    TIniFile ini(target + L"btooth.ini");
    ini.WriteString(L"Common", L"Disk", L"I");
    ini.UpdateFile();
}

void InstallDriver(IInstallHost& host, const std::wstring& source, const std::wstring& target) {
    if (!host.AskYesNo(RunText::DriverQuestion))
        return;
    const std::wstring driverSource = source + L"FTDIDriverInstall";
    // Onto the target itself: the shell then puts the folder inside it, and merges into it on a second run.
    if (FolderExists(driverSource))
        ShellCopyDir(driverSource, target, static_cast<HWND>(host.OwnerWindow()));
    host.AddLine(RunText::DriverStarted);
    host.Pump();
    const std::wstring program = target + L"FTDIDriverInstall\\FTDIDriverInstall.exe";
    if (ExecProgram(L"\"" + program + L"\"", SW_HIDE, true) == -1)
        host.AddLine(RunText::DriverNotStarted + program);
    else
        host.AddLine(RunText::DriverDone);
}

} // namespace

TRunEnd RunInstallation(IInstallHost& Host, const TInstallOptions& Options) {
    const std::wstring target = AbsoluteTarget(TrimControl(Options.TargetText));
    const std::wstring& source = Options.SourceFolder;

    Host.ShowProgressPage();
    Host.Pump();

    if (!FolderExists(target)) {
        if (!::CreateDirectoryW(target.c_str(), nullptr)) {
            Host.Trace(L"CreateDirectoryW \"" + target + L"\": " + SystemMessage(::GetLastError()));
            Host.ShowError(RunText::DirCreateError);
            Host.AddLine(RunText::DirCreateError);
            return TRunEnd::Stopped;
        }
        Host.AddLine(RunText::DirCreated);
        Host.Pump();
    }
    // A target created just now has no settings folder yet, and the settings file goes into it.
    EnsureDir(target + std::wstring(SettingsDir));
    WriteSettingsKeys(target);

    {
        TProtectedStretch stretch(Host);
        Host.Pump();
        const std::size_t line = Host.AddStepLine(RunText::SettingsStep);
        Host.Pump();
        EnsureDir(target + std::wstring(SettingsDir));
        Host.CompleteLine(line, RunText::Done);

        if (DeployDatabaseServer(Host, source, target, Options.WindowsIndex) == TDeployResult::Stopped)
            return TRunEnd::Stopped;
        WriteLastNum(target, Host);
        if (Options.Edition)
            WriteBtooth(target);
    }

    const bool elevated = Options.Elevated ? Options.Elevated() : ProcessIsElevated();
    if (!elevated) {
        Host.AddLine(RunText::FontsNotElevated);
    } else {
        try {
            InstallFonts(Host, source);
        } catch (const TError& error) {
            Host.Trace(L"Установка шрифтов прервана: " + error.Message());
        } catch (const std::exception&) {
            Host.Trace(L"Установка шрифтов прервана");
        }
    }

    if (Options.InstallDriver)
        InstallDriver(Host, source, target);

    InstallReleasePackage(source, target, target);

    std::wstring linkPath;
    CreateShortcut(target + Options.ShellExe, 0, L"", L"", L"",
                   Options.ProductDescription + L" \"" + Options.ProductName + L"\"", Options.ProductName,
                   linkPath);

    Host.EnableExit();
    const bool small = Options.SmallFonts ? Options.SmallFonts() : IsSmallFonts();
    if (small)
        Host.ShowLargeFontPage();
    else if (Host.AskYesNo(RunText::FinalQuestion))
        Host.CloseWindow();
    return TRunEnd::Completed;
}
