// The program's entry: the shared modules in their order, the start resolved once from its command line,
// then its run: without any window of ours for /VERYSILENT, the wizard's windows and the message loop
// otherwise.
#include <windows.h>

#include <memory>
#include <string>

#include "app/LargeFonts.h"
#include "app/Main.h"
#include "app/ScreenMonitorManager.h"
#include "app/ScreenSourceWin.h"
#include "app/SessionEnd.h"
#include "app/StartupTrace.h"
#include "common/FileIO.h"
#include "common/StrUtils.h"
#include "common/TH_Common_Proc.h"
#include "common/TH_Common_Var.h"
#include "common/TextCodec.h"
#include "resources/ResourceIds.h"
#include "session/InstallSession.h"
#include "session/RunEnd.h"
#include "session/StartOptions.h"
#include "session/StartOptionsWin.h"
#include "session/TargetPath.h"
#include "support/MessageLayout.h"
#include "support/WaitRun.h"
#include "support/unitMyLog.h"
#include "win/Application.h"
#include "win/ComCtlFunctions.h"
#include "win/MessageBox.h"
#include "win/Resources.h"
#include "win/SystemLibrary.h"
#include "win/Window.h"
#ifdef TESSARO_TEST_HOOKS
#include "TestSeams.h"
#endif

namespace {

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

// /VERYSILENT: no window that shows; the run goes on a worker thread while this one keeps a hidden window
// that hears of the session's end (SessionEnd.h), and the run log is its whole record.
int RunWindowless(const TStart& start, TRunLog& log) {
    // The large-font advice has no page here: the log keeps it.
    const TSessionPolicy policy{true, start.Line.SuppressMsgBoxes, IsSmallFonts};
    const bool removing = start.Action == TStartAction::Uninstall;
    return RunInHiddenWindow(
        [&start, &log, policy, removing] {
            TWindowlessHost windowless;
            if (removing)
                return RemovalEnd(RunRecordedUninstallation(windowless, log, start.Uninstall, policy))
                    .ExitCode;
            return InstallationEnd(RunRecordedInstallation(windowless, log, start.Install, policy).Kind)
                .ExitCode;
        },
        &log, removing);
}

int RunWizard(const TStart& start, TRunLog& log, const std::wstring& logPath) {
    // OLE comes with the information box, after the first paint (TFMain::CreateInfoBox).
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
    ComCtl::InitCommonControlsEx(&controls);
    PassStartupPoint(TStartupPhase::ControlsReady);

    int exitCode = ecNotInstalled;
    {
        TFMain main;
        FMain = &main;
        main.SetRunContext(start, log, logPath);
        main.Create();
        Application().SetMainWindow(main.Handle());
        // The hidden wait window is made at the first idle moment of an interactive start, after the first
        // page has painted; an unattended one has no such moment before its run starts, and makes it at once.
        TFWaitRun wait;
        const auto createWait = [&wait] {
            wait.Create();
            FWaitRun = &wait;
        };
        if (start.Line.Mode == TUiMode::Interactive && start.Action == TStartAction::Install)
            Application().RunWhenIdle([&createWait] { GuardHandler(createWait); });
        else
            createWait();
#ifdef TESSARO_TEST_HOOKS
        ApplyWindowTestSeams(main);
#endif
        if (start.Action == TStartAction::Uninstall)
            GuardHandler([&] { main.StartUninstall(); });
        else if (start.Line.Mode == TUiMode::Silent)
            GuardHandler([&] { main.StartSilentRun(); });
        else
            main.Show();
        if (::IsWindow(main.Handle()))
            Application().Run();
        exitCode = main.ExitCode();
        Application().SetMainWindow(nullptr);
        FWaitRun = nullptr;
        FMain = nullptr;
    }
    SetChosenScreenSource({});
    MyScreen.reset();
    return exitCode;
}

int RunSetup() {
    const std::wstring commandLine = ::GetCommandLineW();
    const TStart start = ResolveStart(SkipProgramName(commandLine), SystemStartFacts(ProgramTexts()));
    // The caption of the general error report: a removal's says so.
    Application().SetTitle(start.Action == TStartAction::Uninstall
                               ? L"Удаление комплекса «Тессаро-Холтер»"
                               : L"Установка комплекса \"Тессаро-Холтер\"");
    // The clean-up after an uninstaller keeps no log: the uninstaller's own has the whole story. It does
    // anything only for the uninstaller that made it; any other start of it is refused and changes nothing.
    if (start.Action == TStartAction::FinishUninstall)
        return FinishRemoval(start.FinishTarget, start.FinishProcess) ? ecInstalled : ecBadCommandLine;
    if (start.Line.FinishUninstall)
        return ecBadCommandLine;
    // The uninstaller's own file, before anything else and while it is the one this process was started from.
    if (start.Action == TStartAction::Uninstall)
        HoldUninstaller();

#ifdef TESSARO_TEST_HOOKS
    ApplyTestSeams();
#endif
    TLogSetup log = OpenRunLog(start.Line.Log, !start.Quiet);
    log.Log->Write(L"Командная строка: " + commandLine);
    PassStartupPoint(TStartupPhase::RunLogOpened);
    // A session that ends during the run ends the process from the window that heard of it.
    SetSessionEndFinish([&log](int code, bool runEnded) { RecordSessionEnd(*log.Log, code, runEnded); });

    int exitCode = ecInstalled;
    switch (start.Action) {
    case TStartAction::Refused:
        RecordError(*log.Log, start.Refusal);
        if (!start.Quiet)
            ShowMessageBox(nullptr,
                           start.RefusalShowsHelp ? start.Refusal + L"\r\n\r\n" + CommandLineHelp()
                                                  : start.Refusal,
                           TBoxIcon::Error);
        exitCode = ecBadCommandLine;
        break;
    case TStartAction::Help:
        WriteHelpToConsole(CommandLineHelp());
        ShowMessageBox(nullptr, CommandLineHelp(), TBoxIcon::Information);
        break;
    case TStartAction::Install:
    case TStartAction::Uninstall:
        // An unattended installation has no path page: its folder is made as that page makes it, so that the
        // run's list is the wizard's; never through a link anyone could have made, nor where an elevated run
        // could not keep it the administrators', which the run refuses.
        if (start.Action == TStartAction::Install && start.Line.Mode != TUiMode::Interactive &&
            TargetFolderRefusal(start.Install.TargetText).empty())
            CreateTargetFolders(start.Install.TargetText);
        exitCode = start.Line.Mode == TUiMode::VerySilent ? RunWindowless(start, *log.Log)
                                                          : RunWizard(start, *log.Log, log.Path);
        if (start.Action == TStartAction::Uninstall)
            HandOverAfterRemoval(start.Uninstall, exitCode, *log.Log);
        break;
    case TStartAction::FinishUninstall:
        break;
    }
    SetSessionEndFinish({});
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
