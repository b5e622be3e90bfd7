// Start-up time: from CreateProcess to the first window shown and painted, for the wizard and for programs
// to compare it with, started in turn within one run so that the machine's load falls on all alike.
//   startup_probe --medium=<folder of Setup.exe> [--runs=7] [--compare=<exe>]...
// Prints each start and, per program, the median; with --compare, the wizard's ratio to each.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "WizardDriver.h"

using namespace e2e;

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// The wizard counts once its first page is painted; another program once its first window is.
double MeasureOnce(const std::wstring& exe, const std::wstring& workingDir, bool wizard) {
    LARGE_INTEGER frequency, start, painted;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    TWizard program(exe, workingDir);
    // Idle input means the start-up code has run and the first messages, paint included, are handled.
    if (::WaitForInputIdle(program.Process(), static_cast<DWORD>(StartTimeout.count())) != 0)
        throw TDriverError(L"WaitForInputIdle did not return within the start timeout: " + exe);
    if (wizard)
        program.WaitFirstPage();
    else
        program.WaitFirstWindow();
    ::QueryPerformanceCounter(&painted);
    // The wizard is closed as a user would close it, which keeps the prefix as a real start leaves it;
    // another program (an installer asking "quit?") is simply ended by its destructor.
    if (wizard) {
        program.PostToMain(WM_SYSCOMMAND, SC_CLOSE, 0);
        program.WaitExit();
    }
    return Milliseconds(start, painted, frequency);
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    const size_t middle = times.size() / 2;
    return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2.0;
}

std::wstring FileTitle(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        TOptions options = ReadOptions();
        std::vector<std::wstring> others;
        constexpr std::wstring_view compare = L"--compare=";
        for (int i = 1; i < argc; ++i) {
            const std::wstring_view argument = argv[i];
            if (argument.starts_with(compare))
                others.emplace_back(argument.substr(compare.size()));
        }
        if (options.Medium.empty()) {
            std::fprintf(
                stderr, "usage: startup_probe --medium=<folder of Setup.exe> [--runs=N] [--compare=<exe>]\n");
            return 2;
        }
        wchar_t temp[MAX_PATH];
        const std::wstring workingDir(temp, ::GetTempPathW(MAX_PATH, temp));
        const std::wstring exe = JoinPath(options.Medium, L"Setup.exe");

        std::vector<std::vector<double>> times(others.size() + 1);
        for (int run = 1; run <= options.Runs; ++run) {
            for (size_t i = 0; i < others.size(); ++i) {
                times[i].push_back(MeasureOnce(others[i], workingDir, false));
                std::printf("run %d: %s %.1f ms\n", run, ToUtf8(FileTitle(others[i])).c_str(),
                            times[i].back());
            }
            times.back().push_back(MeasureOnce(exe, workingDir, true));
            std::printf("run %d: Setup.exe %.1f ms\n", run, times.back().back());
            std::fflush(stdout);
        }
        const double wizard = Median(times.back());
        for (size_t i = 0; i < others.size(); ++i) {
            const double other = Median(times[i]);
            std::printf("median of %u runs: %s %.1f ms; Setup.exe / %s = %.2f\n",
                        static_cast<unsigned>(options.Runs), ToUtf8(FileTitle(others[i])).c_str(), other,
                        ToUtf8(FileTitle(others[i])).c_str(), wizard / other);
        }
        std::printf("median of %u runs: %.1f ms\n", static_cast<unsigned>(options.Runs), wizard);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "startup_probe: %s\n", error.what());
        return 1;
    }
}
