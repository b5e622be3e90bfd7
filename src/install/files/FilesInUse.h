// Files held by other programs: who holds them, as far as the system can tell, and the one way the run
// deals with them in either direction (installing or removing): name the file and the programs, let the
// host decide whether to try again, and stop without losing anything when it does not.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/Error.h"
#include "install/run/InstallHost.h"

// The programs that hold `path` open, by the names the Restart Manager gives them; empty where it cannot
// tell (no such service, as under Wine, or no holder at all).
std::vector<std::wstring> ProgramsHolding(const std::wstring& path);

// After a failure with `code` on `path`: false when the failure is no question of another program (the
// caller goes on with its own failure); true when the host wants the same file tried again. Throws
// TCancelled when the user chose to stop, TFileInUse when the host gave up waiting; both name the file and
// the programs.
bool RetryInUse(IInstallHost& host, const std::wstring& path, DWORD code);

// Runs `operation` until it gets through, asking the host each time a file turns out to be held.
template <typename F> decltype(auto) RetryWhileInUse(IInstallHost& host, F&& operation) {
    for (;;) {
        try {
            return operation();
        } catch (const TFileInUse& inUse) {
            if (!RetryInUse(host, inUse.Path(), inUse.Code()))
                throw TError(inUse.Message());
        }
    }
}
