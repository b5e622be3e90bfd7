// The driver imports COM as any program does; the program's header-only COM owners (win/ComPtr.h) reach it
// through the names the program defines in src/win/ComFunctions.cpp, which loads it at the first call.
#include "win/ComFunctions.h"

namespace Ole {
HRESULT CoInitializeEx(LPVOID reserved, DWORD mode) {
    return ::CoInitializeEx(reserved, mode);
}
void CoUninitialize() {
    ::CoUninitialize();
}
} // namespace Ole
