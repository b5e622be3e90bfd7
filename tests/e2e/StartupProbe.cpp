// Start-up time of the wizard: from CreateProcess to the main window showing its first page painted,
// measured over several starts; prints each run and the median.
//   startup_probe --medium=<folder of Setup.exe> [--runs=7]
#include <algorithm>
#include <cstdio>
#include <exception>
#include <vector>

#include "WizardDriver.h"

using namespace e2e;

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

double MeasureOnce(const std::wstring& exe, const std::wstring& workingDir) {
    LARGE_INTEGER frequency, start, painted;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    TWizard wizard(exe, workingDir);
    // Idle input means the start-up code has run and the first messages, paint included, are handled.
    if (::WaitForInputIdle(wizard.Process(), static_cast<DWORD>(StartTimeout.count())) != 0)
        throw TDriverError(L"WaitForInputIdle did not return within the start timeout");
    wizard.WaitFirstPage();
    ::QueryPerformanceCounter(&painted);
    // Closing it as a user would keeps the prefix in the state a real start leaves it in.
    wizard.PostToMain(WM_SYSCOMMAND, SC_CLOSE, 0);
    wizard.WaitExit();
    return Milliseconds(start, painted, frequency);
}

} // namespace

int main() {
    try {
        TOptions options = ReadOptions();
        if (options.Medium.empty()) {
            std::fprintf(stderr, "usage: startup_probe --medium=<folder of Setup.exe> [--runs=N]\n");
            return 2;
        }
        wchar_t temp[MAX_PATH];
        std::wstring workingDir(temp, ::GetTempPathW(MAX_PATH, temp));
        std::wstring exe = JoinPath(options.Medium, L"Setup.exe");

        std::vector<double> times;
        for (int run = 1; run <= options.Runs; ++run) {
            times.push_back(MeasureOnce(exe, workingDir));
            std::printf("run %d: %.1f ms\n", run, times.back());
            std::fflush(stdout);
        }
        std::sort(times.begin(), times.end());
        const size_t middle = times.size() / 2;
        const double median = times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2.0;
        std::printf("median of %u runs: %.1f ms\n", static_cast<unsigned>(times.size()), median);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "startup_probe: %s\n", error.what());
        return 1;
    }
}
