#include "install/run/RunLock.h"

#include <windows.h>

#include "common/FileIO.h"
#include "common/StrUtils.h"
#include "common/TextCodec.h"
#include "install/files/ContentHash.h"
#include "install/trust/Links.h"

namespace {

// The deepest level of the path that exists, where it is in the end, and the levels below it as written.
std::wstring FinalForm(const std::wstring& target) {
    std::wstring path = WithoutTrailingBackslash(FullPathOf(target));
    std::wstring rest;
    for (;;) {
        // "C:" alone names the current folder on that drive, not its root.
        const bool drive = path.size() == 2 && path[1] == L':';
        const std::wstring final = FinalPathOfPath(drive ? path + L"\\" : path);
        if (!final.empty()) {
            std::wstring found = WithoutTrailingBackslash(final);
            if (found.ends_with(L'\\') && !rest.empty())
                found.pop_back(); // a drive's root keeps its backslash
            return found + rest;
        }
        const std::size_t slash = path.find_last_of(L'\\');
        if (slash == std::wstring::npos || slash + 1 >= path.size())
            return path + rest;
        rest = path.substr(slash) + rest;
        path.resize(slash);
    }
}

} // namespace

std::wstring RunLockName(const std::wstring& Target) {
    std::wstring key = FinalForm(Target);
    for (wchar_t& c : key)
        c = FoldCase(c);
    TContentHash hash;
    hash.Add(key.data(), key.size() * sizeof(wchar_t));
    // The machine's namespace: runs of other users and sessions see the same name.
    return L"Global\\TessaroHolterRun-" + Utf8ToWide(hash.Hex());
}

TRunLock::TRunLock(const std::wstring& Target) {
    const std::wstring name = RunLockName(Target);
    FMutex.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    // A mutex this process may not open was made by a run of another account that still holds it open.
    if (!FMutex)
        return;
    const DWORD waited = ::WaitForSingleObject(FMutex.Get(), 0);
    FHeld = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

TRunLock::~TRunLock() {
    if (FHeld)
        ::ReleaseMutex(FMutex.Get());
}

std::wstring RunBusyText(const std::wstring& Target) {
    return L"С папкой " + Quoted(Target) +
           L" уже работает другая программа установки или удаления комплекса. "
           L"Дождитесь её завершения и запустите программу снова.";
}
