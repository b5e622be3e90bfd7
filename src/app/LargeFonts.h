// The large-font page's actions: switching the system to large fonts and restarting the computer. Both go
// through TSystemCalls, which tests replace, so that no test ever changes the system or ends the session.
#pragma once

#include <windows.h>

// The system calls behind the page; the program uses these, the real ones.
class TSystemCalls {
public:
    virtual ~TSystemCalls() = default;
    // A System32 library by name, kept loaded; null when it cannot be loaded.
    virtual HMODULE LoadSystemLibrary(const wchar_t* name);
    virtual FARPROC FindExport(HMODULE library, const char* name);
    // The platform identifier of the running Windows (2: the NT family).
    virtual DWORD PlatformId();
    // Enables the shutdown privilege in the process's own token; false when any step failed.
    virtual bool EnableShutdownPrivilege();
    virtual BOOL ExitSystem(UINT flags, DWORD reason);
};

// The system calls in force.
TSystemCalls& SystemCalls();
// Puts `calls` in force (null: the real ones again) and returns the ones it replaces.
TSystemCalls* SetSystemCalls(TSystemCalls* calls) noexcept;

// "SetupChangeFontSize" of the system's set-up library, asked for 120 pixels per inch.
using TSetupChangeFontSize = BOOL(WINAPI*)(HWND window, const wchar_t* pixelsPerInch);

// Asks the system for large fonts; true only when the system's function was there and reported success.
bool SwitchToLargeFonts();
// Restarts or shuts down the computer with `flags` for ExitWindowsEx, taking the shutdown privilege first
// on the NT family; true when ExitWindowsEx succeeded.
bool ExitWindowsWithPrivilege(UINT flags);

// A restart that lets hung applications be closed but gives every other one its say.
inline constexpr UINT RestartFlags = EWX_REBOOT | EWX_FORCEIFHUNG;

extern const wchar_t* const RestartQuestion;
extern const wchar_t* const FontChangeFailedText;
extern const wchar_t* const RestartFailedText;

// "Изменить настройки": switches to large fonts and, when that worked, offers the restart. True when the
// user chose to restart now and the system took the restart: the window is then to close. A refused restart
// is reported, and the window stays.
bool ChangeToLargeFontsAndOfferRestart(HWND owner);

// True when the screen runs below 100 dots per inch: the suite wants the large fonts then, and a complete
// run ends on the advice page.
bool IsSmallFonts();
