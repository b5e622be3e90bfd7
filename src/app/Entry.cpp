// The program's entry: the shared modules in their order, then the wizard's windows and the message loop.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/CommandLine.h"
#include "app/Main.h"
#include "app/StartupTrace.h"
#include "app/TargetPath.h"
#include "common/TH_Common_Const.h"
#include "common/TextCodec.h"
#include "install/FileUtils.h"
#include "install/InstallRecord.h"
#include "install/HandOver.h"
#include "install/Links.h"
#include "install/InstallSession.h"
#include "install/Uninstall.h"
#include "install/RunLog.h"
#include "install/RunLogFile.h"
#include "resources/ResourceIds.h"
#include "win/MessageBox.h"
#include "win/Resources.h"
#include "win/SystemLibrary.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"
#include "common/TH_Common_Proc.h"
#include "common/TH_Common_Var.h"
#include "support/unitMyLog.h"
#include "app/ScreenMonitorManager.h"
#include "app/ScreenSourceWin.h"
#include "support/MessageLayout.h"
#include "support/WaitRun.h"
#include "win/Application.h"
#include "win/ComPtr.h"
#include "win/Window.h"
#ifdef TESSARO_TEST_HOOKS
#include "app/TestSeams.h"
#endif

namespace {

// The folder of /DIR, checked and created as the path page does it; empty with the reason when refused.
std::wstring PrepareTarget(const std::wstring& entry, std::wstring& refusal) {
    const TPathCheck check = CheckTargetPath(entry);
    refusal = RefusalText(check.Verdict);
    if (!refusal.empty())
        return {};
    // Nothing is made through a link anyone could have made: the run refuses such a folder, naming it.
    if (ForeignLevelOfTarget(check.Path).empty())
        CreateTargetFolders(check.Path);
    return check.Path;
}

// /? from a console: the text goes there too, for scripts that capture it.
void WriteHelpToConsole(const std::wstring& text) {
    if (!::AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    if (output && output != INVALID_HANDLE_VALUE &&
        !::WriteConsoleW(output, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        // Redirected to a file or pipe: UTF-8 bytes.
        const std::string bytes = WideToUtf8(text);
        ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
    ::FreeConsole();
}

int RunVerySilent(const TCommandLine& line, TRunLog& log, const TInstallOptions& options) {
    TWindowlessHost windowless;
    return RunRecordedInstallation(windowless, log, options, {true, line.SuppressMsgBoxes}) ==
                   TSessionEnd::Completed
               ? ecInstalled
               : ecRunFailed;
}

// The folder /UNINSTALL removes the suite from: /DIR; or the one this uninstaller lies in, as the folder
// "Uninstall" inside it; or the one registered. Empty, with the reason, when /DIR is refused.
std::wstring UninstallTarget(const TCommandLine& line, std::wstring& refusal) {
    if (line.Dir) {
        const TPathCheck check = CheckTargetPath(*line.Dir);
        refusal = RefusalText(check.Verdict);
        return refusal.empty() ? check.Path : std::wstring();
    }
    const std::wstring folder = ExecutableFolder();
    const std::wstring own = std::wstring(UninstallFolder) + L"\\";
    if (folder.size() > own.size() &&
        SameText(std::wstring_view(folder).substr(folder.size() - own.size()), own))
        return folder.substr(0, folder.size() - own.size());
    return DefaultTargetFolder();
}

int RunWizard(const TCommandLine& line, TRunLog& log, const std::wstring& logPath) {
    // Single-threaded COM before any window: the folder browser and the shell links need it.
    TOleInit ole;
    PassStartupPoint(TStartupPhase::ComReady);

    // Everything relative is taken against the medium, whatever folder the program was started from.
    ::SetCurrentDirectoryW(ExecutableFolder().c_str());

    TWinScreenSource screenSource;
    MyScreen = std::make_unique<TmyScreen>(screenSource);
    SelectMonitor(0);
    // The secondary windows live below the geometry object's layer: hand them its reading.
    SetChosenScreenSource([] {
        const TMonitorGeometry monitor = MyScreen->GetMonitor(MyScreen->Monitornumber);
        return TChosenScreen{MyScreen->Width,
                             MyScreen->Height,
                             {monitor.Left, monitor.Top, monitor.Width, monitor.Height},
                             monitor.PixelsPerInch};
    });

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    Application().SetTitle(L"Установка комплекса \"Тессаро-Холтер\"");
    PassStartupPoint(TStartupPhase::ControlsReady);

    int exitCode = ecNotInstalled;
    {
        TFMain main;
        FMain = &main;
        main.SetRunContext(line, log, logPath);
        main.Create();
        Application().SetMainWindow(main.Handle());
        // The hidden wait window is made at the first idle moment of an interactive start, after the first
        // page has painted; an unattended run has no such moment before it starts, and makes it at once.
        TFWaitRun wait;
        const auto createWait = [&wait] {
            wait.Create();
            FWaitRun = &wait;
        };
        if (line.Mode == TUiMode::Interactive)
            Application().RunWhenIdle([&createWait] { GuardHandler(createWait); });
        else
            createWait();
#ifdef TESSARO_TEST_HOOKS
        ApplyTestSeams(main);
#endif

        if (line.Uninstall) {
            const TUninstallOptions options = main.UninstallOptions();
            // Before anything else, while the file is the one this process was started from.
            HoldOwnImage();
            if (line.Mode == TUiMode::VerySilent) {
                TWindowlessHost windowless;
                exitCode = RemovalExitCode(
                    RunRecordedUninstallation(windowless, log, options, {true, line.SuppressMsgBoxes}));
            } else {
                GuardHandler([&] { main.StartUninstall(options); });
                if (::IsWindow(main.Handle()))
                    Application().Run();
                exitCode = main.ExitCode();
            }
            // Only a removal that completed lets its uninstaller go; one that did not keeps it for the next.
            if (exitCode == ecInstalled && SameText(options.Running, options.Target + UninstallerName)) {
                std::wstring why;
                if (!HandOverCleanUp(options.Target, why))
                    log.Write(L"Программа удаления оставлена в папке комплекса: " + why);
            }
        } else if (line.Mode == TUiMode::VerySilent) {
            exitCode = RunVerySilent(line, log, main.RunOptions());
        } else {
            if (line.Mode == TUiMode::Silent)
                GuardHandler([&] { main.StartSilentRun(); });
            else
                main.Show();
            if (::IsWindow(main.Handle()))
                Application().Run();
            exitCode = main.ExitCode();
        }
        Application().SetMainWindow(nullptr);
        FWaitRun = nullptr;
        FMain = nullptr;
    }
    SetChosenScreenSource({});
    MyScreen.reset();
    return exitCode;
}

// Where the log goes and the log itself; a log that cannot be created is reported and the run goes on
// without one, since the installation matters more than its record.
struct TLogSetup {
    std::unique_ptr<TRunLogFile> File;
    std::unique_ptr<TRunLog> Log;
    std::wstring Path;
};

TLogSetup OpenRunLog(const TCommandLine& line, bool showErrors) {
    TLogSetup setup;
    setup.Path = line.Log ? *line.Log : DefaultRunLogPath(LocalNow());
    try {
        setup.File = std::make_unique<TRunLogFile>(setup.Path);
    } catch (const TError& error) {
        if (showErrors)
            ShowMessageBox(nullptr, error.Message(), TBoxIcon::Warning);
        setup.Path.clear();
    }
    TRunLogFile* file = setup.File.get();
    setup.Log = std::make_unique<TRunLog>(LocalNow, [file](std::string_view bytes) {
        if (file)
            file->Write(bytes);
    });
    return setup;
}

int RunSetup() {
    const std::wstring commandLine = ::GetCommandLineW();
    const TCommandLine line = ParseCommandLine(SkipProgramName(commandLine));
    // The clean-up after an uninstaller keeps no log: the uninstaller's own has the whole story. It does
    // anything only for the uninstaller that made it; any other start of it is refused and changes nothing.
    if (line.Error.empty() && line.FinishUninstall) {
        if (!line.Dir)
            return ecBadCommandLine;
        const TPathCheck check = CheckTargetPath(*line.Dir);
        return check.Verdict == TPathVerdict::Accepted && FinishUninstall(check.Path, *line.FinishUninstall)
                   ? ecInstalled
                   : ecBadCommandLine;
    }
    const bool quiet = line.Mode != TUiMode::Interactive || line.SuppressMsgBoxes;
    TLogSetup log = OpenRunLog(line, !quiet);
    log.Log->Write(L"Командная строка: " + commandLine);
    PassStartupPoint(TStartupPhase::RunLogOpened);

    int exitCode = ecInstalled;
    if (!line.Error.empty()) {
        log.Log->Write(std::wstring(RunLogTag::Error) + line.Error);
        if (line.Mode == TUiMode::Interactive && !line.SuppressMsgBoxes)
            ShowMessageBox(nullptr, line.Error + L"\r\n\r\n" + CommandLineHelp(), TBoxIcon::Error);
        exitCode = ecBadCommandLine;
    } else if (line.Help) {
        WriteHelpToConsole(CommandLineHelp());
        ShowMessageBox(nullptr, CommandLineHelp(), TBoxIcon::Information);
        exitCode = ecInstalled;
    } else if (line.Uninstall) {
        TCommandLine checked = line;
        std::wstring refusal;
        const std::wstring target = UninstallTarget(line, refusal);
        if (!refusal.empty()) {
            log.Log->Write(std::wstring(RunLogTag::Error) + refusal);
            if (!quiet)
                ShowMessageBox(nullptr, refusal, TBoxIcon::Error);
            exitCode = ecBadCommandLine;
        } else {
            checked.Dir = target;
            exitCode = RunWizard(checked, *log.Log, log.Path);
        }
    } else {
        TCommandLine checked = line;
        if (line.Dir) {
            std::wstring refusal;
            checked.Dir = PrepareTarget(*line.Dir, refusal);
            if (!refusal.empty()) {
                log.Log->Write(std::wstring(RunLogTag::Error) + refusal);
                if (!quiet)
                    ShowMessageBox(nullptr, refusal, TBoxIcon::Error);
                exitCode = ecBadCommandLine;
            }
        } else if (line.Mode != TUiMode::Interactive) {
            // No /DIR: the folder the path page offers.
            std::wstring unused;
            checked.Dir = PrepareTarget(DefaultTargetFolder(), unused);
        }
        if (exitCode == ecInstalled)
            exitCode = RunWizard(checked, *log.Log, log.Path);
    }
    log.Log->Write(L"Код завершения: " + std::to_wstring(exitCode));
    return exitCode;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef TESSARO_TEST_HOOKS
    TraceStartupWhenAsked();
#endif
    PassStartupPoint(TStartupPhase::Entry);
    // Before anything can load a library: nothing is to come from the medium's folder.
    RestrictLibrarySearch();
    // Explicit order, not that of static initialisers: the log first, then the settings, then the vocabulary;
    // released in reverse. None of them may stop the start: a failure is reported and the wizard goes on.
    CreateMyLog();
    PassStartupPoint(TStartupPhase::LogOpened);
    SetSettingsNotice([](const std::wstring& text) {
        if (MyLog)
            MyLog->AddMessage(text);
    });
    GuardHandler([] { InitCommonVars(); });
    GuardHandler([] { LoadVocabulary(); });
    PassStartupPoint(TStartupPhase::SettingsRead);
    int exitCode = ecRunFailed;
    if (!GuardHandler([&] { exitCode = RunSetup(); }))
        exitCode = ecRunFailed;
    ReleaseVocabulary();
    ReleaseCommonVars();
    SetSettingsNotice({});
    FreeMyLog();
    return exitCode;
}
