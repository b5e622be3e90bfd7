// The wizard seen from outside: processes, windows, clicks and waits, with Win32 calls only.
#include "WizardDriver.h"

#include <shellapi.h>
#include <tlhelp32.h>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

namespace e2e {
namespace {

using TClock = std::chrono::steady_clock;

// How long a cross-process message may take before the wizard counts as hung.
constexpr UINT SendTimeoutMs = 5000;
// The driver notice of the components page; any window of the wizard showing it is closed.
constexpr const wchar_t* NoticeFragment = L"снимите галочку установки драйвера";
// The static control that carries the text of a standard message box.
constexpr int MessageBoxTextId = 0xFFFF;

bool SameClass(HWND window, const wchar_t* name) {
    return ::lstrcmpiW(ClassName(window).c_str(), name) == 0;
}

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

BOOL CALLBACK CollectChild(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

struct TTopLevelSearch {
    DWORD ProcessId;
    std::vector<HWND> Found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TTopLevelSearch*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->ProcessId)
        search->Found.push_back(window);
    return TRUE;
}

std::wstring Environment(const wchar_t* name) {
    wchar_t buffer[MAX_PATH * 2];
    DWORD length = ::GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(std::size(buffer)));
    return length > 0 && length < std::size(buffer) ? std::wstring(buffer, length) : std::wstring();
}

std::wstring WithoutTrailingSlash(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

// TESSARO_E2E_TRACE=1 prints how long each wait took, to tell a slow wizard from a slow driver.
bool Tracing() {
    static const bool tracing = !Environment(L"TESSARO_E2E_TRACE").empty();
    return tracing;
}

// The driver's own environment with `changes` applied: a name given replaces the variable of that name (in
// any letter case), an empty value removes it. The block lists each "name=value" and ends in an empty one.
std::vector<wchar_t> EnvironmentBlock(const std::vector<std::pair<std::wstring, std::wstring>>& changes) {
    std::vector<std::wstring> entries;
    if (wchar_t* own = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = own; *entry; entry += ::lstrlenW(entry) + 1)
            entries.emplace_back(entry);
        ::FreeEnvironmentStringsW(own);
    }
    for (const auto& [name, value] : changes) {
        std::erase_if(entries, [&](const std::wstring& entry) {
            // "=C:=C:\..." entries name drives; their name starts after the first character.
            const size_t equals = entry.find(L'=', 1);
            return equals == name.size() &&
                   ::CompareStringOrdinal(entry.c_str(), static_cast<int>(equals), name.c_str(),
                                          static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
        });
        if (!value.empty())
            entries.push_back(name + L"=" + value);
    }
    std::vector<wchar_t> block;
    for (const std::wstring& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back(L'\0');
    }
    block.push_back(L'\0');
    if (entries.empty())
        block.push_back(L'\0');
    return block;
}

std::wstring WithoutAmpersands(std::wstring text) {
    std::erase(text, L'&');
    return text;
}

struct TLocalFree {
    void operator()(void* memory) const noexcept { ::LocalFree(memory); }
};

} // namespace

TDriverError::TDriverError(const std::wstring& message) : std::runtime_error(ToUtf8(message)) {}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                     nullptr, nullptr);
    std::string result(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size,
                          nullptr, nullptr);
    return result;
}

TOptions ReadOptions() {
    TOptions options;
    options.Medium = Environment(L"TESSARO_MEDIUM");
    options.Shots = Environment(L"TESSARO_SHOTS");
    int count = 0;
    std::unique_ptr<LPWSTR, TLocalFree> args(::CommandLineToArgvW(::GetCommandLineW(), &count));
    for (int i = 1; args && i < count; ++i) {
        std::wstring arg = args.get()[i];
        auto value = [&](const std::wstring& prefix) -> std::optional<std::wstring> {
            if (arg.rfind(prefix, 0) == 0)
                return arg.substr(prefix.size());
            return std::nullopt;
        };
        if (auto medium = value(L"--medium="))
            options.Medium = *medium;
        else if (auto shots = value(L"--shots="))
            options.Shots = *shots;
        else if (auto runs = value(L"--runs="))
            options.Runs = std::max(1, _wtoi(runs->c_str()));
    }
    options.Medium = WithoutTrailingSlash(options.Medium);
    options.Shots = WithoutTrailingSlash(options.Shots);
    return options;
}

std::wstring WindowText(HWND window) {
    // WM_GETTEXT, not GetWindowTextW: only the message reaches an edit box's own text in another process.
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &length))
        return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, SendTimeoutMs, &copied))
        return {};
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::wstring ClassName(HWND window) {
    wchar_t name[256];
    int length = ::GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, static_cast<size_t>(std::max(length, 0)));
}

bool FolderExists(const std::wstring& path) {
    DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool RemoveEmptyFolder(const std::wstring& path) {
    ::RemoveDirectoryW(path.c_str());
    return !FolderExists(path);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty() || folder.back() == L'\\')
        return folder + name;
    return folder + L"\\" + name;
}

std::wstring LoadedLibraryPath(DWORD processId, const std::wstring& name) {
    TUniqueFile snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, processId));
    if (!snapshot)
        return {};
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    for (BOOL more = ::Module32FirstW(snapshot.Get(), &module); more;
         more = ::Module32NextW(snapshot.Get(), &module))
        if (::lstrcmpiW(module.szModule, name.c_str()) == 0)
            return module.szExePath;
    return {};
}

std::vector<HWND> Descendants(HWND window) {
    std::vector<HWND> found;
    ::EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&found));
    return found;
}

TWizard::TWizard(const std::wstring& exe, const std::wstring& workingDir, const std::wstring& shots)
    : TWizard(exe, workingDir, shots, TLaunch{}) {}

TWizard::TWizard(const std::wstring& exe, const std::wstring& workingDir, const std::wstring& shots,
                 const TLaunch& launch)
    : FShots(shots) {
    // The application name is given on its own so that blanks in the medium's path cannot split it.
    std::wstring commandLine = Quoted(exe);
    if (!launch.Arguments.empty())
        commandLine += L" " + launch.Arguments;
    std::vector<wchar_t> environment = EnvironmentBlock(launch.Environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          CREATE_UNICODE_ENVIRONMENT, environment.data(), workingDir.c_str(), &startup,
                          &info)) {
        const DWORD error = ::GetLastError();
        constexpr DWORD ElevationRequired = 740; // ERROR_ELEVATION_REQUIRED, not in every SDK's headers
        // The wizard asks for the highest rights its user has: where the system would ask for them first
        // (Windows with an administrator's filtered rights; under Wine every program is elevated already),
        // CreateProcessW refuses, and the driver has to run elevated itself.
        throw TDriverError(L"CreateProcessW " + Quoted(exe) + L" failed, error " + std::to_wstring(error) +
                           (error == ElevationRequired ? L" (run the tests elevated)" : L""));
    }
    FProcess.Reset(info.hProcess);
    FThread.Reset(info.hThread);
    FProcessId = info.dwProcessId;
    FThreadId = info.dwThreadId;
}

TWizard::~TWizard() {
    if (FProcess && Running()) {
        ::TerminateProcess(FProcess.Get(), 1);
        ::WaitForSingleObject(FProcess.Get(), 5000);
    }
}

bool TWizard::Running() const {
    return ::WaitForSingleObject(FProcess.Get(), 0) == WAIT_TIMEOUT;
}

std::vector<HWND> TWizard::TopLevelWindows() const {
    TTopLevelSearch search{FProcessId, {}};
    ::EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::optional<TNotice> TWizard::FindNotice() const {
    for (HWND window : TopLevelWindows()) {
        // The main window is skipped by class too: before it is known, asking each of its fifty controls
        // for its text would keep the wizard busy and cost a start-up measurement several milliseconds.
        if (window == FMain || !::IsWindowVisible(window) || SameClass(window, L"#32770") ||
            SameClass(window, L"TFMain"))
            continue;
        std::wstring text = WindowText(window);
        if (text.find(NoticeFragment) != std::wstring::npos)
            return TNotice{window, text};
        for (HWND child : Descendants(window)) {
            text = WindowText(child);
            if (text.find(NoticeFragment) != std::wstring::npos)
                return TNotice{window, text};
        }
    }
    return std::nullopt;
}

void TWizard::DismissNotices() const {
    // One at a time is enough: the wizard shows at most one, modally.
    if (auto notice = FindNotice())
        ::PostMessageW(notice->Handle, WM_CLOSE, 0, 0);
}

TNotice TWizard::WaitNotice(TDuration timeout) {
    FKeepNotices = true;
    std::optional<TNotice> notice;
    WaitFor(L"the driver notice", timeout, [&]() -> HWND {
        notice = FindNotice();
        return notice && Painted(notice->Handle) ? notice->Handle : nullptr;
    });
    return *notice;
}

void TWizard::CloseNotice(const TNotice& notice) {
    HWND ok = nullptr;
    for (HWND child : Descendants(notice.Handle))
        if (SameClass(child, L"Button") && ::IsWindowVisible(child) && WindowText(child) == L"OK")
            ok = child;
    if (!ok)
        throw TDriverError(L"the driver notice has no visible button \"OK\"");
    ::PostMessageW(ok, BM_CLICK, 0, 0);
    WaitFor(
        L"the driver notice to close", DefaultTimeout,
        [&]() -> HWND {
            return ::IsWindow(notice.Handle) && ::IsWindowVisible(notice.Handle) ? nullptr : FMain;
        },
        false);
    FKeepNotices = false;
}

bool TWizard::Painted(HWND window) const {
    if (::GetUpdateRect(window, nullptr, FALSE))
        return false;
    for (HWND child : Descendants(window))
        if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE))
            return false;
    return true;
}

bool IsShellQuestion(HWND window) {
    if (!SameClass(window, L"#32770"))
        return false;
    for (HWND child : Descendants(window)) {
        if (!SameClass(child, L"Button"))
            continue;
        const std::wstring text = WithoutAmpersands(WindowText(child));
        if (::lstrcmpiW(text.c_str(), L"Yes to all") == 0 || ::lstrcmpiW(text.c_str(), L"Да для всех") == 0)
            return true;
    }
    return false;
}

bool TWizard::AnswerShellQuestion() {
    for (HWND window : TopLevelWindows()) {
        if (!::IsWindowVisible(window) || !IsShellQuestion(window))
            continue;
        std::wstring question;
        HWND yesToAll = nullptr;
        for (HWND child : Descendants(window)) {
            const std::wstring text = WithoutAmpersands(WindowText(child));
            if (SameClass(child, L"Static") && !text.empty())
                question += (question.empty() ? L"" : L" ") + text;
            else if (SameClass(child, L"Button") && (::lstrcmpiW(text.c_str(), L"Yes to all") == 0 ||
                                                     ::lstrcmpiW(text.c_str(), L"Да для всех") == 0))
                yesToAll = child;
        }
        if (!yesToAll || !::IsWindowEnabled(yesToAll) || !Painted(window))
            return false;
        FLastShellQuestion = WindowText(window) + (question.empty() ? L"" : L": " + question);
        ::PostMessageW(yesToAll, BM_CLICK, 0, 0);
        // Counted once: the next polls must not press it again while it closes.
        for (int i = 0; i < 250 && ::IsWindow(window) && ::IsWindowVisible(window); ++i)
            ::WaitForSingleObject(FProcess.Get(), FPollInterval);
        ++FShellAnswered;
        return true;
    }
    return false;
}

HWND TWizard::WaitFor(const std::wstring& what, TDuration timeout, const std::function<HWND()>& probe,
                      bool failOnMessageBox) {
    const auto started = TClock::now();
    const auto deadline = started + timeout;
    for (;;) {
        if (!FKeepNotices)
            DismissNotices();
        if (FAnswerShell)
            AnswerShellQuestion();
        if (HWND found = probe()) {
            if (Tracing())
                std::fprintf(stderr, "[e2e] %lld ms for %s\n",
                             static_cast<long long>(
                                 std::chrono::duration_cast<TDuration>(TClock::now() - started).count()),
                             ToUtf8(what).c_str());
            return found;
        }
        if (failOnMessageBox)
            if (auto box = FindMessageBox())
                throw TDriverError(L"unexpected message box " + Quoted(box->Text) + L" while waiting for " +
                                   what);
        if (!Running()) {
            DWORD code = 0;
            ::GetExitCodeProcess(FProcess.Get(), &code);
            throw TDriverError(L"the wizard ended (exit code " + std::to_wstring(code) +
                               L") while waiting for " + what);
        }
        if (TClock::now() >= deadline) {
            HWND page = FMain ? VisiblePage() : nullptr;
            // Name what else is on the screen: an unknown window of the wizard is the usual reason.
            std::wstring others;
            for (HWND window : TopLevelWindows())
                if (window != FMain && ::IsWindowVisible(window))
                    others += L"; window " + ClassName(window) + L" " + Quoted(WindowText(window));
            throw TDriverError(L"timed out after " + std::to_wstring(timeout.count()) + L" ms waiting for " +
                               what + L" (visible page: " + (page ? Quoted(WindowText(page)) : L"none") +
                               others + L")");
        }
        // Doubles as the polling pause and as a prompt wake-up when the wizard ends.
        ::WaitForSingleObject(FProcess.Get(), FPollInterval);
    }
}

HWND TWizard::WaitMainWindow(TDuration timeout) {
    FMain = WaitFor(L"the main window (class TFMain) to become visible", timeout, [this]() -> HWND {
        for (HWND window : TopLevelWindows())
            if (SameClass(window, L"TFMain") && ::IsWindowVisible(window))
                return window;
        return nullptr;
    });
    return FMain;
}

HWND TWizard::VisiblePage() const {
    HWND visible = nullptr;
    for (HWND window : Descendants(FMain)) {
        if (!SameClass(window, L"TTabSheet") || !::IsWindowVisible(window))
            continue;
        // Seen from outside, a page change may show the new page before the old one is hidden.
        if (visible)
            return nullptr;
        visible = window;
    }
    return visible;
}

HWND TWizard::WaitFirstPage(TDuration timeout) {
    if (!FMain)
        WaitMainWindow(timeout);
    return WaitFor(L"the first page to be painted", timeout, [this]() -> HWND {
        HWND page = VisiblePage();
        return page && Painted(FMain) ? page : nullptr;
    });
}

HWND TWizard::WaitFirstWindow(TDuration timeout) {
    // Another program shows none of the wizard's notices: nothing to look for between the polls.
    FKeepNotices = true;
    return WaitFor(
        L"a visible window, painted", timeout,
        [this]() -> HWND {
            for (HWND window : TopLevelWindows())
                if (::IsWindowVisible(window) && Painted(window))
                    return window;
            return nullptr;
        },
        false);
}

HWND TWizard::WaitPage(const std::wstring& text, TDuration timeout) {
    if (!FMain)
        WaitMainWindow();
    return WaitFor(L"the page " + Quoted(text), timeout, [&]() -> HWND {
        HWND page = VisiblePage();
        if (!page || WindowText(page) != text || !::IsWindowEnabled(FMain) || !InfoBoxFilled() ||
            !Painted(FMain))
            return nullptr;
        return page;
    });
}

bool TWizard::InfoBoxFilled() const {
    // Wine names the class "RichEdit50W", Windows "RICHEDIT50W".
    for (HWND window : Descendants(FMain)) {
        std::wstring name = ClassName(window);
        ::CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
        if (name.find(L"RICHEDIT") != std::wstring::npos)
            return ::IsWindowVisible(window) && !WindowText(window).empty();
    }
    return false;
}

void TWizard::ExpectPageStays(const std::wstring& text) {
    HWND page = WaitPage(text);
    // A refused step shows nothing new; give a wrong page change the time to happen before judging.
    const auto until = TClock::now() + TDuration(400);
    while (TClock::now() < until) {
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(FMain, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &ignored);
        HWND now = VisiblePage();
        if (now != page)
            throw TDriverError(L"the page " + Quoted(text) + L" should stay, but " +
                               (now ? Quoted(WindowText(now)) : std::wstring(L"no page")) + L" is visible");
        if (auto box = FindMessageBox())
            throw TDriverError(L"unexpected message box " + Quoted(box->Text) + L" on the page " +
                               Quoted(text));
        ::WaitForSingleObject(FProcess.Get(), FPollInterval);
    }
}

HWND TWizard::WaitButton(const std::wstring& caption, TDuration timeout) {
    if (!FMain)
        WaitMainWindow();
    return WaitFor(L"a visible button " + Quoted(caption), timeout, [&]() -> HWND {
        for (HWND window : Descendants(FMain))
            if (SameClass(window, L"Button") && ::IsWindowVisible(window) && WindowText(window) == caption)
                return window;
        return nullptr;
    });
}

void TWizard::Click(const std::wstring& caption) {
    HWND button = WaitButton(caption);
    WaitFor(L"the button " + Quoted(caption) + L" to be enabled", DefaultTimeout, [&]() -> HWND {
        return ::IsWindowEnabled(FMain) && ::IsWindowEnabled(button) ? button : nullptr;
    });
    if (!::PostMessageW(button, BM_CLICK, 0, 0))
        throw TDriverError(L"PostMessageW(BM_CLICK) to " + Quoted(caption) + L" failed");
}

std::wstring TWizard::PageText(HWND page) {
    HWND memo =
        WaitFor(L"the text block of the page " + Quoted(WindowText(page)), DefaultTimeout, [&]() -> HWND {
            for (HWND window : Descendants(page)) {
                const LONG style = ::GetWindowLongW(window, GWL_STYLE);
                if (SameClass(window, L"Edit") && ::IsWindowVisible(window) && (style & ES_READONLY) &&
                    (style & ES_MULTILINE))
                    return window;
            }
            return nullptr;
        });
    return WindowText(memo);
}

void TWizard::PressKey(WORD virtualKey) {
    WaitFor(L"the main window to take input", DefaultTimeout, [this]() -> HWND {
        ::SetForegroundWindow(FMain);
        return ::IsWindowEnabled(FMain) && ::GetForegroundWindow() == FMain ? FMain : nullptr;
    });
    INPUT keys[2]{};
    for (INPUT& key : keys) {
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = virtualKey;
    }
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    if (::SendInput(2, keys, sizeof(INPUT)) != 2)
        throw TDriverError(L"SendInput of key " + std::to_wstring(virtualKey) + L" failed");
}

HWND TWizard::PathBox() {
    if (!FMain)
        WaitMainWindow();
    return WaitFor(L"the visible target folder box (class Edit, writable)", DefaultTimeout, [this]() -> HWND {
        for (HWND window : Descendants(FMain))
            if (SameClass(window, L"Edit") && ::IsWindowVisible(window) &&
                !(::GetWindowLongW(window, GWL_STYLE) & ES_READONLY))
                return window;
        return nullptr;
    });
}

void TWizard::SetPath(const std::wstring& text) {
    HWND box = PathBox();
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               SendTimeoutMs, &result) ||
        !result)
        throw TDriverError(L"WM_SETTEXT " + Quoted(text) + L" into the target folder box failed");
}

std::wstring TWizard::Path() {
    return WindowText(PathBox());
}

HWND TWizard::FocusWindow() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return ::GetGUIThreadInfo(FThreadId, &info) ? info.hwndFocus : nullptr;
}

std::optional<TMessageBox> TWizard::FindMessageBox() const {
    for (HWND window : TopLevelWindows()) {
        if (!SameClass(window, L"#32770") || !::IsWindowVisible(window) ||
            (FAnswerShell && IsShellQuestion(window)))
            continue;
        HWND text = ::GetDlgItem(window, MessageBoxTextId);
        return TMessageBox{window, text ? WindowText(text) : std::wstring()};
    }
    return std::nullopt;
}

TMessageBox TWizard::WaitMessageBox(TDuration timeout) {
    std::optional<TMessageBox> box;
    WaitFor(
        L"a message box", timeout,
        [&]() -> HWND {
            box = FindMessageBox();
            return box && Painted(box->Handle) ? box->Handle : nullptr;
        },
        false);
    if (FMain && ::GetWindow(box->Handle, GW_OWNER) != FMain)
        throw TDriverError(L"the message box " + Quoted(box->Text) + L" is not owned by the main window");
    return *box;
}

void TWizard::Answer(const TMessageBox& box, int buttonId) {
    HWND button = ::GetDlgItem(box.Handle, buttonId);
    if (!button)
        throw TDriverError(L"the message box " + Quoted(box.Text) + L" has no button with id " +
                           std::to_wstring(buttonId));
    if (!::PostMessageW(button, BM_CLICK, 0, 0))
        throw TDriverError(L"PostMessageW(BM_CLICK) to the message box " + Quoted(box.Text) + L" failed");
    // A box of a program without a window (an unattended run's error report) may end the program with it.
    if (!FMain) {
        for (int i = 0; i < 750 && Running() && ::IsWindow(box.Handle) && ::IsWindowVisible(box.Handle); ++i)
            ::WaitForSingleObject(FProcess.Get(), FPollInterval);
        if (::IsWindow(box.Handle) && ::IsWindowVisible(box.Handle))
            throw TDriverError(L"the message box " + Quoted(box.Text) + L" did not close");
        return;
    }
    WaitFor(
        L"the message box " + Quoted(box.Text) + L" to close", DefaultTimeout,
        [&]() -> HWND { return ::IsWindow(box.Handle) && ::IsWindowVisible(box.Handle) ? nullptr : FMain; },
        false);
}

void TWizard::PostToMain(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!::PostMessageW(FMain, message, wParam, lParam))
        throw TDriverError(L"PostMessageW to the main window failed");
}

int TWizard::EndSessionAnyway() {
    const std::vector<HWND> windows = TopLevelWindows();
    DWORD_PTR answer = 0;
    for (HWND window : windows)
        ::SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 5000,
                              &answer);
    // The window that runs the installation ends the process from its answer: the others are not waited for.
    for (HWND window : windows)
        ::SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 30000,
                              &answer);
    return static_cast<int>(windows.size());
}

DWORD TWizard::WaitExit(TDuration timeout, bool failOnMessageBox) {
    const auto deadline = TClock::now() + timeout;
    while (Running()) {
        if (failOnMessageBox)
            if (auto box = FindMessageBox())
                throw TDriverError(L"the wizard asked " + Quoted(box->Text) + L" instead of ending");
        if (TClock::now() >= deadline)
            throw TDriverError(L"timed out after " + std::to_wstring(timeout.count()) +
                               L" ms waiting for the wizard to end");
        ::WaitForSingleObject(FProcess.Get(), FPollInterval);
    }
    DWORD code = 0;
    ::GetExitCodeProcess(FProcess.Get(), &code);
    return code;
}

HWND TWizard::ProgressList() {
    return WaitFor(L"the progress list (class ListBox)", DefaultTimeout, [this]() -> HWND {
        for (HWND window : Descendants(FMain))
            if (SameClass(window, L"ListBox"))
                return window;
        return nullptr;
    });
}

bool TWizard::LastProgressLineInView() {
    HWND list = ProgressList();
    DWORD_PTR count = 0, top = 0, height = 0;
    if (!::SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &count) ||
        !::SendMessageTimeoutW(list, LB_GETTOPINDEX, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &top) ||
        !::SendMessageTimeoutW(list, LB_GETITEMHEIGHT, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &height) ||
        !height)
        throw TDriverError(L"the progress list did not tell its lines, first line in view and line height");
    RECT client{};
    ::GetClientRect(list, &client);
    const DWORD_PTR rows = static_cast<DWORD_PTR>(client.bottom - client.top) / height;
    return count == 0 || (top <= count - 1 && count - 1 < top + rows);
}

std::vector<std::wstring> TWizard::ProgressLines() {
    HWND list = ProgressList();
    DWORD_PTR count = 0;
    if (!::SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &count))
        throw TDriverError(L"LB_GETCOUNT of the progress list failed");
    std::vector<std::wstring> lines;
    for (WPARAM i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!::SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &length) ||
            static_cast<LRESULT>(length) == LB_ERR)
            throw TDriverError(L"LB_GETTEXTLEN of progress line " + std::to_wstring(i) + L" failed");
        std::wstring text(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!::SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()),
                                   SMTO_ABORTIFHUNG, SendTimeoutMs, &copied) ||
            static_cast<LRESULT>(copied) == LB_ERR)
            throw TDriverError(L"LB_GETTEXT of progress line " + std::to_wstring(i) + L" failed");
        text.resize(std::min<size_t>(copied, length));
        lines.push_back(std::move(text));
    }
    return lines;
}

int TWizard::ProgressLinesOverhang() {
    HWND list = ProgressList();
    DWORD_PTR extent = 0;
    if (!::SendMessageTimeoutW(list, LB_GETHORIZONTALEXTENT, 0, 0, SMTO_ABORTIFHUNG, SendTimeoutMs, &extent))
        throw TDriverError(L"LB_GETHORIZONTALEXTENT of the progress list failed");
    RECT client{};
    ::GetClientRect(list, &client);
    return std::max<int>(0, static_cast<int>(extent) - (client.right - client.left));
}

TRunOutcome TWizard::WaitRunEnd(TDuration timeout, TMessageBox* box) {
    TRunOutcome outcome = TRunOutcome::MessageBox;
    // The run enables "Выход" a moment before it shows its last page: the progress page with "Выход" is its
    // end only when it stays so.
    std::optional<std::chrono::steady_clock::time_point> exitSeen;
    WaitFor(
        L"the end of the installation run", timeout,
        [&]() -> HWND {
            if (auto found = FindMessageBox(); found && Painted(found->Handle)) {
                if (box)
                    *box = *found;
                outcome = TRunOutcome::MessageBox;
                return found->Handle;
            }
            if (!::IsWindowEnabled(FMain) || !Painted(FMain))
                return nullptr;
            HWND page = VisiblePage();
            if (!page)
                return nullptr;
            if (WindowText(page) == L"Размер шрифта") {
                outcome = TRunOutcome::FontPage;
                return page;
            }
            for (HWND window : Descendants(page))
                if (SameClass(window, L"Button") && ::IsWindowVisible(window) && ::IsWindowEnabled(window) &&
                    WindowText(window) == L"Выход") {
                    const auto now = std::chrono::steady_clock::now();
                    if (!exitSeen)
                        exitSeen = now;
                    if (now - *exitSeen < std::chrono::milliseconds(500))
                        return nullptr;
                    outcome = TRunOutcome::ExitEnabled;
                    return window;
                }
            exitSeen.reset();
            return nullptr;
        },
        false);
    return outcome;
}

void TWizard::Screenshot(const std::wstring& name, HWND window) {
    if (FShots.empty())
        return;
    HWND target = window ? window : FMain;
    WaitFor(
        L"the window to be painted before the screenshot " + name, DefaultTimeout,
        [&]() -> HWND { return Painted(target) ? target : nullptr; }, false);
    SaveWindowImage(target, JoinPath(FShots, name));
}

} // namespace e2e
