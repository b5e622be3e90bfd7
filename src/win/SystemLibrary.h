// Libraries the program loads by itself. It runs with an administrator's rights from a medium others can
// write to (a USB stick, a share, a Downloads folder), so a library is taken from System32 and nowhere
// else: never from the program's own folder, the current folder or PATH.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <vector>

#include "common/HandlesWin.h"

// The program's first act: the process's own library searches (its imports' delay loads, the system's
// loads on its behalf) skip the program's and the current folder. SetDefaultDllDirectories where the
// system has it (Windows 7 with KB2533623 and later), otherwise SetDllDirectoryW(L"") at least takes the
// current folder out.
void RestrictLibrarySearch() noexcept;

// The System32 library `name` (a bare file name), loaded on first use and kept for the process's
// lifetime; null when System32 has none.
HMODULE SystemLibrary(const wchar_t* name) noexcept;

// An export of a System32 library, null where the library or the export is missing.
FARPROC SystemExport(const wchar_t* library, const char* name) noexcept;

// Loads System32's libraries `names` (bare file names, static strings) on a thread of its own, so that a
// later first call finds them loaded: a run hides the time MSXML and the shell take to load (dozens of
// milliseconds under Wine) behind its copies. The destructor waits for the thread: one still loading when
// the process ends would hold the loader's lock. Where no thread can be made, nothing is loaded ahead.
class TLibraryPrefetch {
public:
    explicit TLibraryPrefetch(std::initializer_list<const wchar_t*> names);
    TLibraryPrefetch(const TLibraryPrefetch&) = delete;
    TLibraryPrefetch& operator=(const TLibraryPrefetch&) = delete;
    ~TLibraryPrefetch();

private:
    static DWORD WINAPI Load(LPVOID self);

    std::vector<const wchar_t*> FNames;
    TUniqueHandle FThread;
};
