// Start-up time: from CreateProcess to the first window shown and painted, for the wizard and for programs
// to compare it with, started in turn within one run so that the machine's load falls on all alike.
//   startup_probe --medium=<folder of Setup.exe> [--runs=9] [--compare=<exe>]... [--baseline=<folder>]
// --baseline names the medium of another build of the wizard, timed like the wizard itself, so that a change
// is judged against the build before it within one run. Prints each start and, per program, the median and
// the spread; then the wizard's ratio to each of the others.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "WizardDriver.h"

using namespace e2e;

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency) {
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

// The tests' pause between looks (20 ms) would add half of it to a start on average, and more to one caught
// a look later than another; each look asks the Wine server about every window, so looking much more often
// slows the program it times: a start is looked at this often.
constexpr DWORD PollMilliseconds = 5;

// The wizard counts once its first page is painted; another program once its first window is.
double MeasureOnce(const std::wstring& exe, const std::wstring& workingDir, bool wizard) {
    LARGE_INTEGER frequency, start, painted;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    TWizard program(exe, workingDir);
    program.SetPollInterval(PollMilliseconds);
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

std::wstring FileTitle(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

constexpr DWORD SettleMilliseconds = 200;

struct TContender {
    std::string Label;
    std::wstring Exe;
    bool Wizard; // timed to its first page rather than to any first window
    std::vector<double> Times;
};

} // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        TOptions options = ReadOptions();
        std::vector<TContender> contenders(1);
        constexpr std::wstring_view compare = L"--compare=";
        constexpr std::wstring_view baseline = L"--baseline=";
        for (int i = 1; i < argc; ++i) {
            const std::wstring_view argument = argv[i];
            if (argument.starts_with(compare)) {
                const std::wstring exe(argument.substr(compare.size()));
                contenders.push_back({ToUtf8(FileTitle(exe)), exe, false, {}});
            } else if (argument.starts_with(baseline)) {
                const std::wstring folder = std::wstring(argument.substr(baseline.size()));
                contenders.push_back({"Setup.exe (baseline)", JoinPath(folder, L"Setup.exe"), true, {}});
            }
        }
        if (options.Medium.empty()) {
            std::fprintf(stderr, "usage: startup_probe --medium=<folder of Setup.exe> [--runs=N] "
                                 "[--compare=<exe>]... [--baseline=<folder of another Setup.exe>]\n");
            return 2;
        }
        contenders.front() = {"Setup.exe", JoinPath(options.Medium, L"Setup.exe"), true, {}};
        wchar_t temp[MAX_PATH];
        const std::wstring workingDir(temp, ::GetTempPathW(MAX_PATH, temp));

        // The order changes from run to run (the same for every probe run): what one program leaves behind as
        // it ends, the desktop's repaint or a process still being torn down, must not fall on the same
        // successor each time. The pause lets most of it pass before the next start.
        std::vector<size_t> order(contenders.size());
        std::iota(order.begin(), order.end(), size_t{0});
        std::mt19937 shuffle(20261209);
        for (int run = 1; run <= options.Runs; ++run) {
            std::shuffle(order.begin(), order.end(), shuffle);
            for (size_t index : order) {
                TContender& contender = contenders[index];
                ::Sleep(SettleMilliseconds);
                contender.Times.push_back(MeasureOnce(contender.Exe, workingDir, contender.Wizard));
                std::printf("run %d: %s %.1f ms\n", run, contender.Label.c_str(), contender.Times.back());
            }
            std::fflush(stdout);
        }
        for (const TContender& contender : contenders) {
            const auto [least, most] = std::minmax_element(contender.Times.begin(), contender.Times.end());
            std::printf("median of %d runs: %s %.1f ms (%.1f..%.1f)\n", options.Runs, contender.Label.c_str(),
                        Median(contender.Times), *least, *most);
        }
        // A run's own ratio leaves out the drift of the machine's load from one run to the next, and the
        // least times are those the machine's other work touched least.
        const TContender& wizard = contenders.front();
        for (size_t i = 1; i < contenders.size(); ++i) {
            const std::vector<double>& other = contenders[i].Times;
            std::vector<double> ratios;
            for (size_t run = 0; run < wizard.Times.size(); ++run)
                ratios.push_back(wizard.Times[run] / other[run]);
            std::printf(
                "Setup.exe / %s = %.2f (median of the runs' own ratios: %.2f; of the least times: %.2f)\n",
                contenders[i].Label.c_str(), Median(wizard.Times) / Median(other), Median(ratios),
                *std::min_element(wizard.Times.begin(), wizard.Times.end()) /
                    *std::min_element(other.begin(), other.end()));
        }
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "startup_probe: %s\n", error.what());
        return 1;
    }
}
