// Stands in for a library someone has put beside Setup.exe on a medium others can write to, under the name
// of one the wizard or the system loads. Loaded into any process, it leaves a file named after its own file
// (Msftedit.dll, uxtheme.dll, ...) in the folder that TESSARO_PLANTED_MARKERS names, holding the path it was
// loaded from (UTF-16), and does nothing else: the process goes on as if it had loaded nothing.
#include <windows.h>

#include "common/HandlesWin.h"

namespace {

constexpr DWORD PathRoom = 1024;

void LeaveMarker(HINSTANCE instance) noexcept {
    wchar_t module[PathRoom];
    const DWORD moduleLength = ::GetModuleFileNameW(instance, module, PathRoom);
    wchar_t marker[2 * PathRoom + 2];
    const DWORD folderLength = ::GetEnvironmentVariableW(L"TESSARO_PLANTED_MARKERS", marker, PathRoom);
    if (moduleLength == 0 || moduleLength >= PathRoom || folderLength == 0 || folderLength >= PathRoom)
        return;
    const wchar_t* name = module;
    for (const wchar_t* at = module; *at; ++at)
        if (*at == L'\\' || *at == L'/')
            name = at + 1;
    ::lstrcatW(marker, L"\\");
    ::lstrcatW(marker, name);
    const TUniqueFile file(
        ::CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        ::WriteFile(file.Get(), module, moduleLength * sizeof(wchar_t), &written, nullptr);
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        LeaveMarker(instance);
    return TRUE;
}
