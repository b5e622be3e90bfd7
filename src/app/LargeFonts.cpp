#include "app/LargeFonts.h"

#include "common/HandlesWin.h"
#include "win/MessageBox.h"
#include "win/SystemLibrary.h"

// "перзагрузить" (a letter short) as the suite's installers have always asked it: deliberate, not to be
// corrected (docs/design.md#deliberate-texts).
const wchar_t* const RestartQuestion =
    L"Изменения в настройки внесены, для того чтобы они\r\nвступили в силу, "
    L"требуется перзагрузить операционную систему.\r\nВыполнить "
    L"перезагрузку сейчас?";
const wchar_t* const RestartFailedText =
    L"Не удалось перезагрузить компьютер. Перезагрузите его сами, чтобы изменения вступили в силу.";
const wchar_t* const FontChangeFailedText =
    L"Не удалось изменить размер шрифта автоматически.\r\nУстановите крупный размер шрифта (120 точек на "
    L"дюйм) в настройках экрана Windows и перезагрузите компьютер.";

namespace {
TSystemCalls* GSystemCalls = nullptr;

} // namespace

HMODULE TSystemCalls::LoadSystemLibrary(const wchar_t* name) {
    return SystemLibrary(name);
}

FARPROC TSystemCalls::FindExport(HMODULE library, const char* name) {
    return ::GetProcAddress(library, name);
}

DWORD TSystemCalls::PlatformId() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    return ::GetVersionExW(&version) ? version.dwPlatformId : VER_PLATFORM_WIN32_NT;
}

bool TSystemCalls::EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    TUniqueHandle owned(token);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    if (!::LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
        return false;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    // Succeeds also when the token does not hold the privilege; the last error tells.
    if (!::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr))
        return false;
    return ::GetLastError() == ERROR_SUCCESS;
}

BOOL TSystemCalls::ExitSystem(UINT flags, DWORD reason) {
    return ::ExitWindowsEx(flags, reason);
}

TSystemCalls& SystemCalls() {
    static TSystemCalls real;
    return GSystemCalls ? *GSystemCalls : real;
}

TSystemCalls* SetSystemCalls(TSystemCalls* calls) noexcept {
    TSystemCalls* previous = GSystemCalls;
    GSystemCalls = calls;
    return previous;
}

bool SwitchToLargeFonts() {
    TSystemCalls& system = SystemCalls();
    HMODULE library = system.LoadSystemLibrary(L"syssetup.dll");
    if (!library)
        return false;
    const FARPROC found = system.FindExport(library, "SetupChangeFontSize");
    if (!found)
        return false;
    // Through the generic function pointer type, which the compiler accepts any function type from.
    const auto change = reinterpret_cast<TSetupChangeFontSize>(reinterpret_cast<void (*)()>(found));
    // The system shows its own confirmation during the call.
    return change(nullptr, L"120") != FALSE;
}

bool ExitWindowsWithPrivilege(UINT flags) {
    TSystemCalls& system = SystemCalls();
    // Without the privilege the call below fails and says so; nothing more to report here.
    if (system.PlatformId() == VER_PLATFORM_WIN32_NT)
        system.EnableShutdownPrivilege();
    return system.ExitSystem(flags, 0) != FALSE;
}

bool ChangeToLargeFontsAndOfferRestart(HWND owner) {
    // Offering a restart for a change that never happened would restart for nothing.
    if (!SwitchToLargeFonts()) {
        ShowMessageBox(owner, FontChangeFailedText, TBoxIcon::Warning);
        return false;
    }
    if (!AskYesNo(owner, RestartQuestion, TBoxIcon::Warning))
        return false;
    // A restart the system refused (no privilege, a program that vetoes it) is no reason to leave: the user
    // is told and the wizard stays.
    if (!ExitWindowsWithPrivilege(RestartFlags)) {
        ShowMessageBox(owner, RestartFailedText, TBoxIcon::Warning);
        return false;
    }
    return true;
}

bool IsSmallFonts() {
    TWindowDC screen(nullptr);
    return ::GetDeviceCaps(screen.Get(), LOGPIXELSX) < 100;
}
