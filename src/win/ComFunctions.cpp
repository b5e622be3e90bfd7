#include "win/ComFunctions.h"

#include "win/SystemLibrary.h"

namespace {
template <typename T> T Ole32(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(SystemExport(L"ole32.dll", name)));
}
template <typename T> T OleAut32(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(SystemExport(L"oleaut32.dll", name)));
}
} // namespace

namespace Ole {

HRESULT OleInitialize(LPVOID reserved) {
    static const auto function = Ole32<HRESULT(WINAPI*)(LPVOID)>("OleInitialize");
    return function ? function(reserved) : ComMissing;
}

void OleUninitialize() {
    static const auto function = Ole32<void(WINAPI*)()>("OleUninitialize");
    if (function)
        function();
}

HRESULT CoInitializeEx(LPVOID reserved, DWORD mode) {
    static const auto function = Ole32<HRESULT(WINAPI*)(LPVOID, DWORD)>("CoInitializeEx");
    return function ? function(reserved, mode) : ComMissing;
}

void CoUninitialize() {
    static const auto function = Ole32<void(WINAPI*)()>("CoUninitialize");
    if (function)
        function();
}

HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                         LPVOID* object) {
    TComOnDemand::Ensure();
    static const auto function =
        Ole32<HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*)>("CoCreateInstance");
    if (!function) {
        *object = nullptr;
        return ComMissing;
    }
    return function(classId, outer, context, interfaceId, object);
}

void CoTaskMemFree(LPVOID memory) {
    static const auto function = Ole32<void(WINAPI*)(LPVOID)>("CoTaskMemFree");
    if (function)
        function(memory);
}

HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, LPSTREAM* stream) {
    static const auto function = Ole32<HRESULT(WINAPI*)(HGLOBAL, BOOL, LPSTREAM*)>("CreateStreamOnHGlobal");
    return function ? function(memory, deleteOnRelease, stream) : ComMissing;
}

HRESULT GetHGlobalFromStream(LPSTREAM stream, HGLOBAL* memory) {
    static const auto function = Ole32<HRESULT(WINAPI*)(LPSTREAM, HGLOBAL*)>("GetHGlobalFromStream");
    return function ? function(stream, memory) : ComMissing;
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    static const auto function = OleAut32<BSTR(WINAPI*)(const OLECHAR*, UINT)>("SysAllocStringLen");
    return function ? function(text, length) : nullptr;
}

void SysFreeString(BSTR text) {
    static const auto function = OleAut32<void(WINAPI*)(BSTR)>("SysFreeString");
    if (function)
        function(text);
}

UINT SysStringLen(BSTR text) {
    static const auto function = OleAut32<UINT(WINAPI*)(BSTR)>("SysStringLen");
    return function ? function(text) : 0;
}

void VariantInit(VARIANTARG* variant) {
    variant->vt = VT_EMPTY;
    variant->wReserved1 = variant->wReserved2 = variant->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* variant) {
    // An empty variant holds nothing to give back: most never reach the library.
    if (variant->vt == VT_EMPTY)
        return S_OK;
    static const auto function = OleAut32<HRESULT(WINAPI*)(VARIANTARG*)>("VariantClear");
    return function ? function(variant) : ComMissing;
}

HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT flags, VARTYPE type) {
    static const auto function =
        OleAut32<HRESULT(WINAPI*)(VARIANTARG*, const VARIANTARG*, USHORT, VARTYPE)>("VariantChangeType");
    return function ? function(destination, source, flags, type) : ComMissing;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count) {
    static const auto function = OleAut32<SAFEARRAY*(WINAPI*)(VARTYPE, LONG, ULONG)>("SafeArrayCreateVector");
    return function ? function(type, lowerBound, count) : nullptr;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    static const auto function = OleAut32<HRESULT(WINAPI*)(SAFEARRAY*, void**)>("SafeArrayAccessData");
    return function ? function(array, data) : ComMissing;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    static const auto function = OleAut32<HRESULT(WINAPI*)(SAFEARRAY*)>("SafeArrayUnaccessData");
    return function ? function(array) : ComMissing;
}

} // namespace Ole
