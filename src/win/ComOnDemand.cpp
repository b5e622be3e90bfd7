// Apart from the other COM functions: the shell's file operation needs this and nothing else of them (the
// end-to-end driver, which imports COM itself, defines some of those names too).
#include "win/ComFunctions.h"
#include "win/SystemLibrary.h"

namespace {

// The scope open on each thread, innermost.
thread_local Ole::TComOnDemand* OpenScope = nullptr;

template <typename T> T Ole32(const char* name) {
    return reinterpret_cast<T>(reinterpret_cast<void*>(SystemExport(L"ole32.dll", name)));
}

} // namespace

namespace Ole {

TComOnDemand::TComOnDemand() noexcept : FOuter(OpenScope) {
    OpenScope = this;
}

TComOnDemand::~TComOnDemand() {
    OpenScope = FOuter;
    if (!FStarted || FAILED(FResult))
        return;
    static const auto uninitialize = Ole32<void(WINAPI*)()>("CoUninitialize");
    if (uninitialize)
        uninitialize();
}

void TComOnDemand::Ensure() noexcept {
    TComOnDemand* scope = OpenScope;
    if (!scope || scope->FStarted)
        return;
    scope->FStarted = true;
    static const auto initialize = Ole32<HRESULT(WINAPI*)(LPVOID, DWORD)>("CoInitializeEx");
    scope->FResult = initialize ? initialize(nullptr, COINIT_APARTMENTTHREADED) : ComMissing;
}

} // namespace Ole
