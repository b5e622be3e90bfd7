// The program's entry: the shared modules in their order, then the wizard's windows and the message loop.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

#include "app/Main.h"
#include "app/ScreenMonitorManager.h"
#include "app/ScreenSourceWin.h"
#include "support/WaitRun.h"
#include "win/Application.h"
#include "win/ComPtr.h"
#include "win/Window.h"

#if __has_include("support/unitMyLog.h")
#include "common/TH_Common_Proc.h"
#include "common/TH_Common_Var.h"
#include "support/unitMyLog.h"
#define TESSARO_SHARED_MODULES 1
#endif

namespace {
// The folder of the running program, with its trailing backslash.
std::wstring ExecutableFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

int RunWizard() {
    // Single-threaded COM before any window: the folder browser and the shell links need it.
    TOleInit ole;

    // Everything relative is taken against the medium, whatever folder the program was started from.
    ::SetCurrentDirectoryW(ExecutableFolder().c_str());

    TWinScreenSource screenSource;
    MyScreen = std::make_unique<TmyScreen>(screenSource);
    SelectMonitor(0);

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
        main.Show();
        exitCode = Application().Run();
        Application().SetMainWindow(nullptr);
        FWaitRun = nullptr;
    }
    MyScreen.reset();
    return exitCode;
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
#ifdef TESSARO_SHARED_MODULES
    // Explicit order, not that of static initialisers: the log first, then the settings, then the vocabulary.
    CreateMyLog();
    InitCommonVars();
    LoadVocabulary();
#endif
    int exitCode = 1;
    if (!GuardHandler([&] { exitCode = RunWizard(); }))
        exitCode = 1;
#ifdef TESSARO_SHARED_MODULES
    ReleaseVocabulary();
    ReleaseCommonVars();
    FreeMyLog();
#endif
    return exitCode;
}
