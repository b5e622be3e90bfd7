#include "TestSeams.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/LargeFonts.h"
#include "app/Main.h"
#include "app/StartupTrace.h"
#include "install/files/CopyFileApi.h"
#include "install/trust/FolderAccess.h"
#include "install/steps/ReleasePackage.h"
#include "install/run/RunStop.h"

namespace {
std::wstring Environment(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0)
        return {};
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
}

std::wstring GRecordFile;

void Record(const std::string& line) {
    if (GRecordFile.empty())
        return;
    if (std::FILE* file = ::_wfopen(GRecordFile.c_str(), L"ab")) {
        std::fputs((line + "\n").c_str(), file);
        std::fclose(file);
    }
}

std::string Narrow(const wchar_t* text) {
    if (!text)
        return "(null)";
    std::string narrow;
    for (; *text; ++text)
        narrow += *text < 128 ? static_cast<char>(*text) : '?';
    return narrow;
}

BOOL WINAPI RecordedChangeFontSize(HWND window, const wchar_t* pixelsPerInch) {
    Record(std::string("SetupChangeFontSize ") + (window ? "window" : "null") + " " + Narrow(pixelsPerInch));
    return TRUE;
}

// Stands in for every call the large-font page makes of the system.
class TRecordingCalls : public TSystemCalls {
public:
    TRecordingCalls(bool functionPresent, bool restartRefused)
        : FFunctionPresent(functionPresent), FRestartRefused(restartRefused) {}

    HMODULE LoadSystemLibrary(const wchar_t* name) override {
        Record("LoadLibrary " + Narrow(name));
        return FFunctionPresent ? ::GetModuleHandleW(nullptr) : nullptr;
    }
    FARPROC FindExport(HMODULE, const char* name) override {
        Record(std::string("GetProcAddress ") + name);
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&RecordedChangeFontSize));
    }
    DWORD PlatformId() override { return VER_PLATFORM_WIN32_NT; }
    bool EnableShutdownPrivilege() override {
        Record("EnableShutdownPrivilege");
        return true;
    }
    BOOL ExitSystem(UINT flags, DWORD reason) override {
        char line[64];
        std::snprintf(line, sizeof(line), "ExitWindowsEx 0x%02X %lu", flags,
                      static_cast<unsigned long>(reason));
        Record(line);
        return FRestartRefused ? FALSE : TRUE;
    }

private:
    bool FFunctionPresent;
    bool FRestartRefused;
};
std::wstring GFailingName;
std::wstring GFailingFlush;

// The name of the file open as `file`; Wine names a file renamed since it was opened by its first name, the
// copy's temporary one ("<name>.~tessaro-<id>.tmp"), which counts as its own.
bool NamesFile(HANDLE file, const std::wstring& wanted) {
    const DWORD needed = ::GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED);
    if (needed == 0)
        return false;
    std::vector<wchar_t> path(needed + 1);
    const DWORD length =
        ::GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0 || length >= path.size())
        return false;
    const std::wstring full(path.data(), length);
    const std::size_t slash = full.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? full : full.substr(slash + 1);
    if (const std::size_t temporary = name.find(L".~tessaro-"); temporary != std::wstring::npos)
        name.resize(temporary);
    return ::CompareStringOrdinal(name.c_str(), -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool NamesFailingFile(HANDLE file) {
    return NamesFile(file, GFailingName);
}

BOOL WINAPI FailingFlush(HANDLE file) {
    if (!NamesFile(file, GFailingFlush))
        return ::FlushFileBuffers(file);
    ::SetLastError(ERROR_DISK_FULL);
    return FALSE;
}

BOOL WINAPI FailingRead(HANDLE file, LPVOID buffer, DWORD wanted, LPDWORD got, LPOVERLAPPED overlapped) {
    if (!NamesFailingFile(file))
        return ::ReadFile(file, buffer, wanted, got, overlapped);
    LARGE_INTEGER position{};
    if (::SetFilePointerEx(file, LARGE_INTEGER{}, &position, FILE_CURRENT) && position.QuadPart == 0 &&
        wanted > 1)
        return ::ReadFile(file, buffer, wanted / 2, got, overlapped);
    if (got)
        *got = 0;
    ::SetLastError(ERROR_CRC);
    return FALSE;
}

// Whether the open file or folder was there before this process started: what the run makes itself is the
// administrators'.
bool MadeBeforeThisProcess(HANDLE object) {
    FILETIME created{}, exited, kernel, user;
    BY_HANDLE_FILE_INFORMATION info{};
    return ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user) &&
           ::GetFileInformationByHandle(object, &info) &&
           ::CompareFileTime(&info.ftCreationTime, &created) < 0;
}

// Owners and lists as Windows would report them for what a standard user made, for the names asked for.
class TUserOwnedFacts : public IAccessFacts {
public:
    TUserOwnedFacts(std::wstring name, bool keepsLists) : FName(std::move(name)), FKeepsLists(keepsLists) {}

    TSecurityFacts Security(HANDLE Object, const std::wstring& Path) override {
        TSecurityFacts facts = SystemAccessFacts().Security(Object, Path);
        const std::size_t slash = Path.find_last_of(L'\\');
        const std::wstring name = slash == std::wstring::npos ? Path : Path.substr(slash + 1);
        if (!FName.empty() &&
            ::CompareStringOrdinal(name.c_str(), -1, FName.c_str(), -1, TRUE) == CSTR_EQUAL &&
            MadeBeforeThisProcess(Object)) {
            facts.Owner = L"S-1-5-21-1-2-3-1001";
            facts.NullList = false;
            facts.Protected = false;
            facts.Entries = {{AccountSid::Users, AccessRight::Modify, AccessFlag::Inheritable, true}};
        }
        return facts;
    }
    bool KeepsAccessLists(HANDLE Object, const std::wstring& Path) override {
        return FKeepsLists && SystemAccessFacts().KeepsAccessLists(Object, Path);
    }
    std::wstring SystemOwner() override { return SystemAccessFacts().SystemOwner(); }

private:
    std::wstring FName;
    bool FKeepsLists;
};

std::wstring GAfterPackageCopies;

// The points of the run to pause at, and the file that says where the run waits.
std::vector<std::wstring> GPausePoints;
std::wstring GPauseFile;

// Writes the point's name into the pause file and waits while the file is there, or until the session's end
// asks the run to stop.
void PauseAtRunPoint(const wchar_t* point) {
    bool listed = false;
    for (const std::wstring& each : GPausePoints)
        listed = listed || each == point;
    if (!listed)
        return;
    if (std::FILE* file = ::_wfopen(GPauseFile.c_str(), L"wb")) {
        std::fputs(Narrow(point).c_str(), file);
        std::fclose(file);
    }
    while (::GetFileAttributesW(GPauseFile.c_str()) != INVALID_FILE_ATTRIBUTES && !RunStop().Requested())
        ::Sleep(20);
}

void RunAfterPackageCopies(const std::wstring&) {
    std::wstring line = GAfterPackageCopies;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &info))
        return;
    ::WaitForSingleObject(info.hProcess, 60000);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
}

// The start-up trace: stamps kept in memory while the start runs (a file written at each point would be
// part of what is measured) and written out once the first page has painted.
struct TStamp {
    TStartupPhase Phase;
    LARGE_INTEGER Counter;
    FILETIME Time; // the precise system time, to set against the process's creation time
};
std::wstring GTraceFile;
std::vector<TStamp> GStamps;

const char* PhaseName(TStartupPhase phase) {
    switch (phase) {
    case TStartupPhase::Entry:
        return "entry";
    case TStartupPhase::LogOpened:
        return "log-opened";
    case TStartupPhase::SettingsRead:
        return "settings-read";
    case TStartupPhase::RunLogOpened:
        return "run-log-opened";
    case TStartupPhase::ComReady:
        return "com-ready";
    case TStartupPhase::ControlsReady:
        return "controls-ready";
    case TStartupPhase::WindowCreated:
        return "window-created";
    case TStartupPhase::FirstPageMade:
        return "first-page-made";
    case TStartupPhase::InfoLoaded:
        return "info-loaded";
    case TStartupPhase::SkinDecoded:
        return "skin-decoded";
    case TStartupPhase::FirstPaint:
        return "first-paint";
    }
    return "?";
}

double FileTimeMs(const FILETIME& from, const FILETIME& to) {
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(to) - ticks(from)) / 10000.0;
}

// The stamps from `first` on; a start's stamps begin with its line "frequency".
void WriteStartupTrace(std::size_t first) {
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    FILETIME created{}, exited, kernel, user;
    ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
    std::FILE* file = ::_wfopen(GTraceFile.c_str(), L"ab");
    if (!file)
        return;
    if (first == 0)
        std::fprintf(file, "frequency %lld\n", static_cast<long long>(frequency.QuadPart));
    for (std::size_t i = first; i < GStamps.size(); ++i) {
        const TStamp& stamp = GStamps[i];
        std::fprintf(file, "%s %lld %.3f %.3f\n", PhaseName(stamp.Phase),
                     static_cast<long long>(stamp.Counter.QuadPart), FileTimeMs(created, stamp.Time),
                     static_cast<double>(stamp.Counter.QuadPart - GStamps.front().Counter.QuadPart) * 1000.0 /
                         static_cast<double>(frequency.QuadPart));
    }
    std::fclose(file);
}

void RecordStartupPoint(TStartupPhase phase) {
    TStamp stamp{phase, {}, {}};
    ::QueryPerformanceCounter(&stamp.Counter);
    ::GetSystemTimePreciseAsFileTime(&stamp.Time);
    GStamps.push_back(stamp);
    // Written at the first paint, which a start that is closed at once reaches too, and what the information
    // box adds after it.
    static std::size_t written = 0;
    if (phase == TStartupPhase::FirstPaint || phase == TStartupPhase::InfoLoaded) {
        WriteStartupTrace(written);
        written = GStamps.size();
    }
    if (phase == TStartupPhase::InfoLoaded)
        StartupRecorder = nullptr;
}

} // namespace

void TraceStartupWhenAsked() {
    GTraceFile = Environment(L"TESSARO_E2E_STARTUP_TRACE");
    if (GTraceFile.empty())
        return;
    GStamps.reserve(16);
    StartupRecorder = &RecordStartupPoint;
}

void ApplyTestSeams() {
    const std::wstring calls = Environment(L"TESSARO_E2E_SYSTEM_CALLS");
    if (!calls.empty()) {
        GRecordFile = Environment(L"TESSARO_E2E_SYSTEM_RECORD");
        static TRecordingCalls recording(calls != L"absent", calls == L"restart-refused");
        SetSystemCalls(&recording);
    }
    GFailingName = Environment(L"TESSARO_E2E_FAIL_READ");
    if (!GFailingName.empty())
        CopyFileApi().Read = &FailingRead;
    GFailingFlush = Environment(L"TESSARO_E2E_FAIL_FLUSH");
    if (!GFailingFlush.empty())
        CopyFileApi().Flush = &FailingFlush;
    const std::wstring userOwned = Environment(L"TESSARO_E2E_USER_OWNED");
    const bool noLists = Environment(L"TESSARO_E2E_NO_ACCESS_LISTS") == L"1";
    if (!userOwned.empty() || noLists) {
        static TUserOwnedFacts facts(userOwned, !noLists);
        SetAccessFacts(&facts);
    }
    GAfterPackageCopies = Environment(L"TESSARO_E2E_AFTER_PACKAGE_COPIES");
    if (!GAfterPackageCopies.empty())
        AfterPackageCopies() = &RunAfterPackageCopies;
    GPauseFile = Environment(L"TESSARO_E2E_PAUSE_FILE");
    const std::wstring points = Environment(L"TESSARO_E2E_PAUSE_AT");
    for (std::size_t start = 0; !GPauseFile.empty() && start < points.size();) {
        const std::size_t comma = std::min(points.find(L',', start), points.size());
        if (comma > start)
            GPausePoints.push_back(points.substr(start, comma - start));
        start = comma + 1;
    }
    if (!GPausePoints.empty())
        RunPointHook() = &PauseAtRunPoint;
}

void ApplyWindowTestSeams(TFMain& main) {
    if (Environment(L"TESSARO_E2E_LARGE_FONTS_PAGE") == L"1")
        main.ShowLargeFontAdvice();
}
