// Loads libraries the careless way, LoadLibraryW with a bare name and the search as the system sets it up
// (the program's own folder and the current one first), and keeps them until it ends. Copied into a medium
// with planted libraries, it shows that this Wine, told to search as Windows does, finds them there: the
// wizard's walk over the same medium then proves that the wizard does not.
//   e2e_naive_loader NAME...     exit code: how many of the names loaded
#include <windows.h>

#include <vector>

#include "common/HandlesWin.h"

int wmain(int argc, wchar_t** argv) {
    std::vector<TUniqueModule> loaded;
    for (int i = 1; i < argc; ++i)
        if (HMODULE module = ::LoadLibraryW(argv[i]))
            loaded.emplace_back(module);
    return static_cast<int>(loaded.size());
}
