// How the wizard stays responsive while it copies: starts Setup.exe with the given switches (an unattended
// run that shows its progress page), sends the main window an empty message again and again and measures how
// long each takes to be handled. Prints the longest wait while the database file was being copied and over
// the whole run, and the run's time from start to exit. With --time-only it only times the run, from start to
// exit, for a program that shows no window (a silent installation): asking for windows every few milliseconds
// would cost the run itself; it also prints the wall-clock time of the start, in the run log's form, and how
// long CreateProcess took, so that the run log's lines can be placed between the process's start and its end.
//   install_probe --exe=<Setup.exe> --args="<switches>" [--time-only]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "common/HandlesWin.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct TSearch {
    DWORD ProcessId;
    HWND Found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<TSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->ProcessId && ::IsWindowVisible(window) && ::GetWindow(window, GW_OWNER) == nullptr) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindListBox(HWND window, LPARAM parameter) {
    wchar_t className[32];
    if (::GetClassNameW(window, className, 32) && ::lstrcmpiW(className, L"ListBox") == 0) {
        *reinterpret_cast<HWND*>(parameter) = window;
        return FALSE;
    }
    return TRUE;
}

constexpr size_t LineHeadroom = 32768;

// Every message this probe sends waits for the wizard's window as much as WM_NULL does, so each one is timed,
// and the longest single wait of a look kept: a window that stopped answering while the list was read must
// count too. (A look's sum would count a pump's interval once per message.)
struct TLook {
    double Longest = 0;
    double LongestFrom = 0;
    bool Answered = true; // every message was handled before its timeout
    LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        const double before = Now();
        DWORD_PTR result = 0;
        const LRESULT sent =
            ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 30000, &result);
        const double waited = Now() - before;
        if (waited > Longest) {
            Longest = waited;
            LongestFrom = before;
        }
        Answered = Answered && sent != 0;
        return sent ? static_cast<LRESULT>(result) : -1;
    }
};

std::wstring LastLine(TLook& look, HWND list) {
    const LRESULT count = look.Send(list, LB_GETCOUNT, 0, 0);
    if (count <= 0)
        return {};
    const LRESULT length = look.Send(list, LB_GETTEXTLEN, static_cast<WPARAM>(count - 1), 0);
    if (length < 0)
        return {};
    // Between the two messages the wizard may complete the line or add the next one, and LB_GETTEXT writes
    // whatever the last line holds by then: room for the longest line the list can hold (a path and its
    // text).
    std::wstring text(static_cast<size_t>(length) + 1 + LineHeadroom, L'\0');
    const LRESULT got =
        look.Send(list, LB_GETTEXT, static_cast<WPARAM>(count - 1), reinterpret_cast<LPARAM>(text.data()));
    text.resize(got > 0 ? std::min(static_cast<size_t>(got), text.size()) : 0);
    return text;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring exe, args;
    bool timeOnly = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view argument = argv[i];
        if (argument.starts_with(L"--exe="))
            exe = argument.substr(6);
        else if (argument.starts_with(L"--args="))
            args = argument.substr(7);
        else if (argument == L"--time-only")
            timeOnly = true;
    }
    if (exe.empty()) {
        std::fprintf(stderr, "usage: install_probe --exe=<Setup.exe> --args=\"<switches>\" [--time-only]\n");
        return 2;
    }
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    SYSTEMTIME wall;
    ::GetLocalTime(&wall);
    const double started = Now();
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info)) {
        std::fprintf(stderr, "install_probe: CreateProcessW failed, error %lu\n", ::GetLastError());
        return 1;
    }
    const double created = Now() - started;
    TUniqueHandle process(info.hProcess), thread(info.hThread);
    if (timeOnly) {
        ::WaitForSingleObject(process.Get(), INFINITE);
        const double took = Now() - started;
        DWORD exitCode = 0;
        ::GetExitCodeProcess(process.Get(), &exitCode);
        std::printf("run: %.0f ms, exit code %lu\n", took, exitCode);
        std::printf("started at %04u-%02u-%02u %02u:%02u:%02u.%03u, the process created after %.1f ms\n",
                    wall.wYear, wall.wMonth, wall.wDay, wall.wHour, wall.wMinute, wall.wSecond,
                    wall.wMilliseconds, created);
        return exitCode == 0 ? 0 : 1;
    }

    HWND main = nullptr, list = nullptr;
    double longestDatabase = 0, longestAll = 0, longestAllAt = 0;
    bool sawDatabase = false;
    long looks = 0;
    double lastLook = 0;
    constexpr std::wstring_view DatabaseLine = L"Копирование файла T12.FDB....";
    while (::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT) {
        if (!main) {
            TSearch search{info.dwProcessId, nullptr};
            ::EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
            main = search.Found;
            if (main)
                ::EnumChildWindows(main, FindListBox, reinterpret_cast<LPARAM>(&list));
            ::Sleep(5);
            continue;
        }
        TLook look;
        ++looks;
        lastLook = Now() - started;
        const bool copyingDatabase = list && LastLine(look, list) == DatabaseLine;
        look.Send(main, WM_NULL, 0, 0);
        if (!look.Answered && !::IsWindow(main))
            break;
        const double waited = look.Longest;
        if (waited > longestAll) {
            longestAll = waited;
            longestAllAt = look.LongestFrom - started;
        }
        if (copyingDatabase) {
            sawDatabase = true;
            longestDatabase = std::max(longestDatabase, waited);
        }
        ::Sleep(1);
    }
    ::WaitForSingleObject(process.Get(), INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.Get(), &exitCode);
    std::printf("run: %.0f ms, exit code %lu\n", Now() - started, exitCode);
    if (sawDatabase)
        std::printf("longest wait for the window while the database was copied: %.1f ms\n", longestDatabase);
    else
        std::printf("longest wait for the window while the database was copied: not seen\n");
    // When it began, from the start, to be matched with the run log's times.
    std::printf("longest wait for the window over the whole run: %.1f ms, from %.0f ms after the start\n",
                longestAll, longestAllAt);
    // A window that went away ends the watch early: what came after it was not asked.
    std::printf("the window was asked %ld times, the last at %.0f ms after the start\n", looks, lastLook);
    return exitCode == 0 ? 0 : 1;
}
