// COM's and OLE automation's functions, taken from System32's ole32.dll and oleaut32.dll at their first
// call. Imported the usual way, both libraries (and rpcrt4 and combase below them) would be loaded and
// started before the program's first instruction, on every start, although the window needs COM only for
// its information box and the folder browser and the run only for its links and the package's XML. The
// program is not linked with either library: a call by the system's own name does not link.
#pragma once

#include <objbase.h>
#include <ole2.h>
#include <oleauto.h>

// What a call returns when its library cannot be loaded.
inline constexpr HRESULT ComMissing = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);

namespace Ole {
// A thread's COM (single-threaded, as the shell's copy and links need; not OLE's clipboard and drag and drop,
// which a run never uses) from its first object on (CoCreateInstance below, the shell's file operations) to
// the end of this scope: a worker that never needs COM never starts it. Starting it costs a hidden window of
// COM's, so the window system and, in a session where no program has shown a window yet, the start of the
// desktop: nothing a run's checks and copies should wait for.
class TComOnDemand {
public:
    TComOnDemand() noexcept;
    TComOnDemand(const TComOnDemand&) = delete;
    TComOnDemand& operator=(const TComOnDemand&) = delete;
    ~TComOnDemand();
    // COM for the calling thread, where such a scope is open on it and has not started it yet.
    static void Ensure() noexcept;

private:
    TComOnDemand* FOuter;
    HRESULT FResult = S_FALSE;
    bool FStarted = false;
};

HRESULT OleInitialize(LPVOID reserved);
void OleUninitialize();
HRESULT CoInitializeEx(LPVOID reserved, DWORD mode);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                         LPVOID* object);
void CoTaskMemFree(LPVOID memory);
HRESULT CreateStreamOnHGlobal(HGLOBAL memory, BOOL deleteOnRelease, LPSTREAM* stream);
HRESULT GetHGlobalFromStream(LPSTREAM stream, HGLOBAL* memory);

BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
// Needs no library: a variant begins empty.
void VariantInit(VARIANTARG* variant);
HRESULT VariantClear(VARIANTARG* variant);
HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, USHORT flags, VARTYPE type);
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG count);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
} // namespace Ole
