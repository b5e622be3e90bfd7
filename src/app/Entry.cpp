// The program's entry: the shared modules in their order, then the wizard's windows and the message loop.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/LargeFontsTestSeam.h"
#include "app/Main.h"
#include "common/FileIO.h"
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

namespace {
int RunWizard() {
    // Single-threaded COM before any window: the folder browser and the shell links need it.
    TOleInit ole;

    // Everything relative is taken against the medium, whatever folder the program was started from.
    ::SetCurrentDirectoryW(ExecutableFolder().c_str());

    TWinScreenSource screenSource;
    MyScreen = std::make_unique<TmyScreen>(screenSource);
    SelectMonitor(0);
    // The secondary windows live below the geometry object's layer: hand them its reading.
    SetChosenScreenSource([] {
        const TMonitorGeometry monitor = MyScreen->GetMonitor(MyScreen->Monitornumber);
        return TChosenScreen{
            MyScreen->Width, MyScreen->Height, {monitor.Left, monitor.Top, monitor.Width, monitor.Height}};
    });

    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    Application().SetTitle(L"Установка комплекса \"Тессаро-Холтер\"");

    int exitCode = 0;
    {
        TFMain main;
        FMain = &main;
        main.Create();
        Application().SetMainWindow(main.Handle());
        TFWaitRun wait;
        FWaitRun = &wait;
        wait.Create();
        ApplyTestSeam(main);
        main.Show();
        exitCode = Application().Run();
        Application().SetMainWindow(nullptr);
        FWaitRun = nullptr;
    }
    SetChosenScreenSource({});
    MyScreen.reset();
    return exitCode;
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Explicit order, not that of static initialisers: the log first, then the settings, then the vocabulary;
    // released in reverse. None of them may stop the start: a failure is reported and the wizard goes on.
    CreateMyLog();
    GuardHandler([] { InitCommonVars(); });
    GuardHandler([] { LoadVocabulary(); });
    int exitCode = 1;
    if (!GuardHandler([&] { exitCode = RunWizard(); }))
        exitCode = 1;
    ReleaseVocabulary();
    ReleaseCommonVars();
    FreeMyLog();
    return exitCode;
}
