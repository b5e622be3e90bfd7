#include "win/ComCtlFunctions.h"

#include "win/SystemLibrary.h"

namespace {
template <typename T> T ComCtl32(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(SystemExport(L"comctl32.dll", name)));
}
} // namespace

namespace ComCtl {

bool InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    static const auto function = ComCtl32<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>("InitCommonControlsEx");
    return function && function(controls);
}

HIMAGELIST ImageList_Create(int width, int height, UINT flags, int initial, int grow) {
    static const auto function = ComCtl32<HIMAGELIST(WINAPI*)(int, int, UINT, int, int)>("ImageList_Create");
    return function ? function(width, height, flags, initial, grow) : nullptr;
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask) {
    static const auto function = ComCtl32<int(WINAPI*)(HIMAGELIST, HBITMAP, COLORREF)>("ImageList_AddMasked");
    return function ? function(list, bitmap, mask) : -1;
}

HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags) {
    static const auto function = ComCtl32<HICON(WINAPI*)(HIMAGELIST, int, UINT)>("ImageList_GetIcon");
    return function ? function(list, index, flags) : nullptr;
}

bool ImageList_Destroy(HIMAGELIST list) {
    static const auto function = ComCtl32<BOOL(WINAPI*)(HIMAGELIST)>("ImageList_Destroy");
    return function && function(list);
}

bool SetWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data) {
    static const auto function =
        ComCtl32<BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR)>("SetWindowSubclass");
    return function && function(window, procedure, id, data);
}

bool RemoveWindowSubclass(HWND window, SUBCLASSPROC procedure, UINT_PTR id) {
    static const auto function =
        ComCtl32<BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR)>("RemoveWindowSubclass");
    return function && function(window, procedure, id);
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    static const auto function = ComCtl32<LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM)>("DefSubclassProc");
    return function ? function(window, message, wParam, lParam)
                    : ::DefWindowProcW(window, message, wParam, lParam);
}

} // namespace ComCtl
