// The common controls' functions, taken from comctl32.dll at their first call: the version 6 library of the
// side-by-side store that the program's manifest names (LoadLibraryExW applies the manifest's redirection
// before any search), System32's otherwise. Imported the usual way, the library, the themes below it and
// the display driver would be loaded before the program's first instruction on every start, a /VERYSILENT
// run's included, which shows no control. The program is not linked with the library: a call by the
// system's own name does not link.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace ComCtl {
// False where the library or the function is missing; the wizard's controls then do without.
bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask);
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);
bool ImageList_Destroy(HIMAGELIST list);
bool SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
bool RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
// Only ever called from a subclass procedure, so with the library loaded.
LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
} // namespace ComCtl
