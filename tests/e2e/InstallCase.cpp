#include "InstallCase.h"

#include <oleauto.h>

#include <chrono>
#include <cmath>
#include <cstring>

#include "common/HandlesWin.h"

namespace e2e {
namespace {

// The deployment's files in the order the run copies them: the step line's name, the source below the
// medium, the destination below the target.
struct TDeployed {
    std::wstring Name, Source, Dest;
};

std::vector<TDeployed> DeployedFiles(int windowsIndex) {
    std::vector<TDeployed> files{{L"T12.FDB", L"DTAfb\\T12.FDB", L"DTAfb\\T12.FDB"}};
    const std::vector<const wchar_t*> current{
        L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll",  L"icudt30.Dll", L"icuin30.Dll",
        L"icuuc30.Dll",  L"msvcp80.Dll",   L"msvcr80.Dll",  L"firebird.msg", L"gbak.exe",    L"gds32.dll"};
    const std::vector<const wchar_t*> xp{L"aliases.conf", L"firebird.conf", L"fbclient.Dll", L"ib_util.Dll",
                                         L"icudt30.Dll",  L"icuin30.Dll",   L"icuuc30.Dll",  L"msvcp71.Dll",
                                         L"msvcr71.Dll",  L"firebird.msg"};
    for (const wchar_t* name : windowsIndex == 0 ? current : xp)
        files.push_back({name, std::wstring(L"Firebird\\") + name, name});
    for (const wchar_t* name : {L"fbintl.conf", L"fbintl.dll"})
        files.push_back({name, std::wstring(L"Firebird\\intl\\") + name, std::wstring(L"intl\\") + name});
    for (const wchar_t* name : {L"fbudf.dll", L"ib_udf.dll", L"fbudf.sql", L"ib_udf.sql", L"ib_udf2.sql"})
        files.push_back({name, std::wstring(L"Firebird\\udf\\") + name, std::wstring(L"udf\\") + name});
    for (const wchar_t* name : {L"Compare.Dll", L"PosStr.Dll", L"ProcessingECG.Dll", L"SDecision.Dll"})
        files.push_back({name, std::wstring(L"UDF\\") + name, std::wstring(L"udf\\") + name});
    return files;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty())
        return {};
    const int size =
        ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

void CollectStrayCopies(const std::wstring& folder, std::vector<std::wstring>& found) {
    WIN32_FIND_DATAW entry{};
    TUniqueFind search(::FindFirstFileW(JoinPath(folder, L"*").c_str(), &entry));
    if (!search)
        return;
    do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectStrayCopies(JoinPath(folder, name), found);
        else if (name.find(L".~tessaro-") != std::wstring::npos)
            found.push_back(JoinPath(folder, name));
    } while (::FindNextFileW(search.Get(), &entry));
}

} // namespace

std::string Joined(const std::vector<std::wstring>& lines) {
    std::string text;
    for (const std::wstring& line : lines)
        text += ToUtf8(line) + "\n";
    return text;
}

std::size_t FirstLineOf(const std::vector<std::wstring>& lines, const std::wstring& line) {
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == line)
            return i;
    throw TDriverError(L"no line \"" + line + L"\"");
}

std::vector<std::wstring> ExpectedDeployLines(int windowsIndex, bool databaseFolderMade) {
    std::vector<std::wstring> lines{L"Создание настроечных файлов....Завершено"};
    if (databaseFolderMade)
        lines.push_back(L"Каталог <DTAfb> создан...");
    for (const TDeployed& file : DeployedFiles(windowsIndex))
        lines.push_back(L"Копирование файла " + file.Name + L"....Завершено");
    return lines;
}

std::vector<std::wstring> FontLines() {
    std::vector<std::wstring> lines;
    // "уcтановлен" with a Latin "c", as the suite's installers have always written it.
    for (const TDemoFont& font : DemoFonts)
        lines.push_back(L"Шрифт <" + std::wstring(font.DisplayName) +
                        L"> у"
                        L"c"
                        L"тановлен");
    return lines;
}

void ExpectRunLines(const std::vector<std::wstring>& lines, const std::vector<std::wstring>& deploy,
                    const std::vector<std::wstring>& fonts, bool driver, const std::wstring& keptDatabase) {
    std::vector<std::wstring> expected = deploy;
    expected.insert(expected.end(), fonts.begin(), fonts.end());
    if (driver)
        expected.insert(expected.end(), {DriverStarted, DriverDone});
    if (!keptDatabase.empty())
        expected.push_back(L"Прежняя база данных сохранена: «" + keptDatabase + L"»");
    EXPECT_EQ(Joined(lines), Joined(expected));
}

void ExpectDeployedFiles(const std::wstring& medium, const std::wstring& target, int windowsIndex) {
    for (const TDeployed& file : DeployedFiles(windowsIndex)) {
        const std::wstring dest = JoinPath(target, file.Dest);
        if (!FileExists(dest)) {
            ADD_FAILURE() << "missing " << ToUtf8(dest);
            continue;
        }
        const std::string content = ReadFileBytes(dest);
        EXPECT_EQ(content, ReadFileBytes(JoinPath(medium, file.Source))) << ToUtf8(dest);
        EXPECT_NE(content.find(ToUtf8(file.Name)), std::string::npos)
            << ToUtf8(dest) << " holds another file: " << content;
    }
    EXPECT_EQ(StrayCopies(target), std::vector<std::wstring>{});
}

void ExpectFreshCounter(const std::string& bytes) {
    ASSERT_EQ(bytes.size(), 14u);
    EXPECT_EQ(bytes.substr(0, 6), std::string(6, '\0'));
    double written = 0;
    std::memcpy(&written, bytes.data() + 6, sizeof written);
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    double today = 0;
    ASSERT_TRUE(::SystemTimeToVariantTime(&now, &today));
    EXPECT_LT(std::fabs(today - written), 1.0 / 24) << "written " << written << ", now " << today;
}

std::string IniValue(const std::wstring& target, const wchar_t* section, const wchar_t* key) {
    wchar_t value[256] = L"";
    ::GetPrivateProfileStringW(section, key, L"<none>", value, 256,
                               JoinPath(target, L"Settings\\holter.ini").c_str());
    return ToUtf8(value);
}

namespace {
constexpr wchar_t PrivateDriverPrefix[] = L"TessaroDriver-";

// Where the demo driver installer records its starts during a case.
std::wstring DriverRecord() {
    return TempPath(L"tessaro-e2e-driver-starts.ran");
}
} // namespace

std::vector<std::string> DriverStarts() {
    std::vector<std::string> starts;
    if (!FileExists(DriverRecord()))
        return starts;
    const std::string folder = ToUtf8(TempPath(PrivateDriverPrefix));
    for (std::string line : SplitLines(ReadFileBytes(DriverRecord()))) {
        // The command line and the show command; the folder it ran in is the wizard's business.
        const size_t first = line.find('\t');
        const size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
        line = line.substr(0, second);
        const size_t at = line.find(folder);
        if (at != std::string::npos && line.size() >= at + folder.size() + 16)
            line.replace(at, folder.size() + 16, "<private>");
        starts.push_back(line);
    }
    return starts;
}

std::string DriverStart() {
    return "\"<private>\\FTDIDriverInstall.exe\"\t" + std::to_string(SW_HIDE);
}

std::vector<std::wstring> PrivateDriverCopies() {
    std::vector<std::wstring> copies;
    WIN32_FIND_DATAW entry{};
    TUniqueFind search(::FindFirstFileW(TempPath(std::wstring(PrivateDriverPrefix) + L"*").c_str(), &entry));
    if (search)
        do
            copies.push_back(entry.cFileName);
        while (::FindNextFileW(search.Get(), &entry));
    return copies;
}

std::vector<std::wstring> Backups(const std::wstring& target) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry{};
    TUniqueFind search(::FindFirstFileW(JoinPath(target, L"DTAfb\\T12.FDB.*").c_str(), &entry));
    if (!search)
        return names;
    // The pattern meets the database itself too: its extension may be empty.
    do
        if (std::wstring(entry.cFileName) != L"T12.FDB")
            names.push_back(entry.cFileName);
    while (::FindNextFileW(search.Get(), &entry));
    return names;
}

bool IsDatedBackupName(const std::wstring& name) {
    const std::wstring prefix = L"T12.FDB.", suffix = L".bak";
    if (name.size() != prefix.size() + 15 + suffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(suffix))
        return false;
    const std::wstring stamp = name.substr(prefix.size(), 15);
    for (size_t i = 0; i < stamp.size(); ++i)
        if (i == 8 ? stamp[i] != L'-' : !(stamp[i] >= L'0' && stamp[i] <= L'9'))
            return false;
    return true;
}

std::vector<std::wstring> StrayCopies(const std::wstring& folder) {
    std::vector<std::wstring> found;
    CollectStrayCopies(folder, found);
    return found;
}

std::wstring WindowsFontsFolder() {
    wchar_t folder[MAX_PATH] = L"";
    const UINT length = ::GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        throw TDriverError(L"GetWindowsDirectoryW failed, error " + std::to_wstring(::GetLastError()));
    return JoinPath(std::wstring(folder, length), L"Fonts\\");
}

std::wstring RegistryText(HKEY root, const std::wstring& key, const std::wstring& value) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
        return L"<none>";
    const TUniqueRegKey opened(raw);
    DWORD type = 0, size = 0;
    if (::RegQueryValueExW(opened.Get(), value.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return L"<none>";
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(opened.Get(), value.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                           &size) != ERROR_SUCCESS)
        return L"<none>";
    text.resize(std::min<size_t>(text.find(L'\0'), size / sizeof(wchar_t)));
    return text;
}

void RemoveDemoFonts(const std::wstring& medium) {
    const std::wstring fonts = WindowsFontsFolder();
    for (const TDemoFont& font : DemoFonts) {
        const std::wstring installed = fonts + font.FileName;
        if (FileExists(installed) &&
            ReadFileBytes(installed) == ReadFileBytes(JoinPath(medium, L"fonts\\") + font.FileName))
            RemoveTree(installed);
        HKEY raw = nullptr;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SystemFontsKey, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS)
            continue;
        const TUniqueRegKey key(raw);
        ::RegDeleteValueW(key.Get(), (std::wstring(font.DisplayName) + L" (TrueType)").c_str());
    }
}

void ExpectDemoFontsInstalled(const std::wstring& medium) {
    const std::wstring fonts = WindowsFontsFolder();
    for (const TDemoFont& font : DemoFonts) {
        const std::wstring installed = fonts + font.FileName;
        if (!FileExists(installed)) {
            ADD_FAILURE() << "no " << ToUtf8(installed);
            continue;
        }
        EXPECT_EQ(ReadFileBytes(installed), ReadFileBytes(JoinPath(medium, L"fonts\\") + font.FileName))
            << ToUtf8(installed);
        // The data is the bare file name, letter case as the step lists it.
        EXPECT_EQ(ToUtf8(RegistryText(HKEY_LOCAL_MACHINE, SystemFontsKey,
                                      std::wstring(font.DisplayName) + L" (TrueType)")),
                  ToUtf8(font.FileName));
    }
}

std::wstring DesktopFolder() {
    const std::wstring folder =
        RegistryText(HKEY_CURRENT_USER,
                     L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", L"Desktop");
    return folder == L"<none>" ? std::wstring() : folder;
}

std::wstring DesktopLink() {
    const std::wstring desktop = DesktopFolder();
    if (desktop.empty())
        throw TDriverError(L"the user has no desktop folder in the registry");
    return JoinPath(desktop, DesktopLinkName);
}

std::string RemoveTreeWithin(const std::wstring& path, TDuration patience) {
    const auto until = std::chrono::steady_clock::now() + patience;
    for (;;) {
        try {
            RemoveTree(path);
            return {};
        } catch (const TDriverError& error) {
            if (std::chrono::steady_clock::now() >= until)
                return error.what();
        }
        ::Sleep(100);
    }
}

std::wstring HoldProgram() {
    wchar_t self[MAX_PATH] = L"";
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    path.resize(path.find_last_of(L'\\') + 1);
    path += L"e2e_hold.exe";
    if (!FileExists(path))
        throw TDriverError(L"no \"" + path + L"\"");
    return path;
}

namespace {
void CollectFiles(const std::wstring& folder, const std::wstring& relative,
                  std::map<std::wstring, std::string>& files, bool folders = false) {
    WIN32_FIND_DATAW found{};
    TUniqueFind find(::FindFirstFileW(JoinPath(JoinPath(folder, relative), L"*").c_str(), &found));
    if (!find)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (folders)
                files[path + L"\\"] = {};
            CollectFiles(folder, path, files, folders);
        } else
            files[path] = ReadFileBytes(JoinPath(folder, path));
    } while (::FindNextFileW(find.Get(), &found));
}
} // namespace

std::map<std::wstring, std::string> FilesBelow(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    CollectFiles(folder, L"", files);
    return files;
}

std::map<std::wstring, std::string> TreeBelow(const std::wstring& folder) {
    std::map<std::wstring, std::string> entries;
    CollectFiles(folder, L"", entries, true);
    return entries;
}

namespace {
// e2e_holdfile.exe beside the running test.
std::wstring HoldFileProgram() {
    const std::wstring hold = HoldProgram();
    return hold.substr(0, hold.find_last_of(L'\\') + 1) + L"e2e_holdfile.exe";
}
} // namespace

THolder::THolder(const std::wstring& file) : FControl(TempPath(L"tessaro-e2e-holder")) {
    RemoveTree(FControl);
    ::CreateDirectoryW(FControl.c_str(), nullptr);
    WriteFileBytes(JoinPath(FControl, L"hold"), "");
    std::wstring line = Quoted(HoldFileProgram()) + L" " + Quoted(file) + L" " + Quoted(FControl);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        throw TDriverError(L"could not start " + line);
    FProcess.Reset(info.hProcess);
    ::CloseHandle(info.hThread);
    for (int i = 0; i < 500 && !FileExists(JoinPath(FControl, L"opened")); ++i) {
        if (::WaitForSingleObject(FProcess.Get(), 20) == WAIT_OBJECT_0)
            throw TDriverError(L"the holder ended before it held " + file);
    }
    if (!FileExists(JoinPath(FControl, L"opened")))
        throw TDriverError(L"the holder never held " + file);
}

THolder::~THolder() {
    LetGo();
    RemoveTree(FControl);
}

void THolder::LetGo() {
    ::DeleteFileW(JoinPath(FControl, L"hold").c_str());
    if (FProcess)
        ::WaitForSingleObject(FProcess.Get(), 10000);
}

namespace {
bool EntryValue(const wchar_t* name, DWORD type, void* data, DWORD size) {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaroHolter", 0,
                        KEY_QUERY_VALUE | KEY_WOW64_32KEY, &raw) != ERROR_SUCCESS)
        return false;
    TUniqueRegKey key(raw);
    DWORD found = 0;
    return ::RegQueryValueExW(key.Get(), name, nullptr, &found, static_cast<BYTE*>(data), &size) ==
               ERROR_SUCCESS &&
           found == type;
}
} // namespace

std::wstring EntryText(const wchar_t* name) {
    wchar_t value[1024] = L"";
    return EntryValue(name, REG_SZ, value, sizeof value - sizeof(wchar_t)) ? value : L"<none>";
}

DWORD EntryNumber(const wchar_t* name) {
    DWORD value = 0;
    return EntryValue(name, REG_DWORD, &value, sizeof value) ? value : 0xFFFFFFFF;
}

std::wstring RecordPath(const std::wstring& target) {
    return JoinPath(target, L"Uninstall\\installed.txt");
}

void RemoveUninstallEntry() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        ::RegDeleteKeyExW(root, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\TessaroHolter",
                          KEY_WOW64_32KEY, 0);
}

std::vector<std::wstring> ReadRunLog(const std::wstring& path) {
    if (!FileExists(path))
        throw TDriverError(L"no run log \"" + path + L"\"");
    std::string bytes = ReadFileBytes(path);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.erase(0, 3);
    std::vector<std::wstring> entries;
    // "YYYY-MM-DD HH:MM:SS.mmm " before each text.
    constexpr size_t StampLength = 24;
    for (const std::string& line : SplitLines(bytes))
        entries.push_back(FromUtf8(line.size() > StampLength ? line.substr(StampLength) : std::string()));
    return entries;
}

std::wstring FromFolder(std::wstring text, const std::wstring& folder) {
    if (folder.empty())
        return text;
    const std::wstring quoted = L"«" + (folder.ends_with(L"\\") ? folder : folder + L"\\");
    for (std::size_t at = text.find(quoted); at != std::wstring::npos; at = text.find(quoted, at + 1))
        if (text.compare(at + quoted.size(), 1, L"»") != 0)
            text.replace(at, quoted.size(), L"«");
    return text;
}

std::vector<std::wstring> ListFromLog(const std::vector<std::wstring>& entries, const std::wstring& folder) {
    const std::wstring line = L"Строка: ", step = L"Шаг: ", completed = L"Итог: ";
    std::vector<std::wstring> list;
    for (const std::wstring& entry : entries) {
        if (entry.starts_with(line)) {
            list.push_back(FromFolder(entry.substr(line.size()), folder));
        } else if (entry.starts_with(step)) {
            list.push_back(FromFolder(entry.substr(step.size()), folder));
        } else if (entry.starts_with(completed)) {
            // The step line it completes: the latest one still open that the completed text begins with.
            const std::wstring text = FromFolder(entry.substr(completed.size()), folder);
            auto open = std::find_if(list.rbegin(), list.rend(), [&](const std::wstring& item) {
                return item.ends_with(L"....") && text.size() > item.size() && text.starts_with(item);
            });
            if (open == list.rend())
                throw TDriverError(L"the log completes a line it never opened: " + text);
            *open = text;
        }
    }
    return list;
}

bool LogHas(const std::vector<std::wstring>& entries, const std::wstring& text) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::wstring& entry) { return entry.find(text) != std::wstring::npos; });
}

DWORD EndSessionByWineboot() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::wstring line = L"wineboot.exe --end-session --shutdown";
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info))
        throw TDriverError(L"wineboot could not be started");
    TUniqueHandle process(info.hProcess), thread(info.hThread);
    if (::WaitForSingleObject(process.Get(), 60000) != WAIT_OBJECT_0)
        throw TDriverError(L"wineboot --end-session did not end in a minute");
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return code;
}

TRunPause::TRunPause(const std::wstring& file, const std::wstring& points)
    : FFile(file), FEnvironment{{L"TESSARO_E2E_PAUSE_AT", points}, {L"TESSARO_E2E_PAUSE_FILE", file}} {
    ::DeleteFileW(FFile.c_str());
}

TRunPause::~TRunPause() {
    ::DeleteFileW(FFile.c_str());
}

std::wstring TRunPause::WaitPaused(TWizard& run, TDuration timeout) {
    run.WaitFor(L"the run's pause (" + FFile + L")", timeout,
                [&]() -> HWND { return FileExists(FFile) ? ::GetDesktopWindow() : nullptr; });
    // Written by the run as it stops: read once it is whole.
    for (int attempt = 0; attempt < 50; ++attempt) {
        const std::string point = ReadFileBytes(FFile);
        if (!point.empty())
            return FromUtf8(point);
        ::Sleep(20);
    }
    return {};
}

void TRunPause::Resume() {
    ::DeleteFileW(FFile.c_str());
}

void InstallCase::SetUp() {
    FOptions = ReadOptions();
    ASSERT_FALSE(FOptions.Medium.empty()) << "give the medium folder: --medium=<folder> or TESSARO_MEDIUM";
    ASSERT_TRUE(FileExists(JoinPath(FOptions.Medium, L"Setup.exe")));
    if (!FOptions.Shots.empty())
        ::CreateDirectoryW(FOptions.Shots.c_str(), nullptr);
    // Started from elsewhere than the medium, as from a shortcut: every path resolved against the working
    // directory instead of the medium shows.
    FWorkingFolder = TempPath(L"tessaro-e2e-cwd");
    ::CreateDirectoryW(FWorkingFolder.c_str(), nullptr);
    ASSERT_TRUE(::SetCurrentDirectoryW(FWorkingFolder.c_str()));
    FRoot = L"C:\\e2e-install";
    // What an earlier case could not remove was reported there; this case goes on beside it.
    RemoveTreeWithin(FRoot, TDuration{2000});
    ::CreateDirectoryW(FRoot.c_str(), nullptr);
    ASSERT_TRUE(FolderExists(FRoot));
    // Every case starts from a prefix without the demo fonts and without the wizard's link, so that what a
    // run lists and leaves is its own, whatever ran before.
    RemoveDemoFonts(FOptions.Medium);
    RemoveTreeWithin(DesktopLink(), TDuration{2000});
    RemoveUninstallEntry();
    // The demo driver installer runs from a copy the run removes: its starts are recorded for the case apart.
    ::DeleteFileW(DriverRecord().c_str());
}

void InstallCase::TearDown() {
    FWizards.clear();
    std::vector<std::wstring> paths = FCleanUp;
    paths.push_back(FRoot);
    // Reported, never thrown: a folder still held must not take the cases after this one down with it.
    for (const std::wstring& path : paths) {
        const std::string failure = RemoveTreeWithin(path, TDuration{10000});
        if (!failure.empty())
            ADD_FAILURE() << "left behind: " << failure;
    }
    RemoveUninstallEntry();
    try {
        RemoveDemoFonts(FOptions.Medium);
        const std::string failure = RemoveTreeWithin(DesktopLink(), TDuration{2000});
        if (!failure.empty())
            ADD_FAILURE() << "left behind: " << failure;
    } catch (const TDriverError& error) {
        ADD_FAILURE() << error.what();
    }
}

std::wstring InstallCase::Target(const std::wstring& name) const {
    return JoinPath(FRoot, name) + L"\\";
}

TWizard& InstallCase::Launch(const std::wstring& medium, const TLaunch& launch) {
    TLaunch recorded = launch;
    recorded.Environment.emplace_back(L"TESSARO_DEMO_DRIVER_RECORD", DriverRecord());
    FWizards.push_back(
        std::make_unique<TWizard>(JoinPath(medium, L"Setup.exe"), FWorkingFolder, FOptions.Shots, recorded));
    return *FWizards.back();
}

TWizard& InstallCase::WalkToComponents(const std::wstring& medium, const std::wstring& entry,
                                       const std::vector<std::pair<std::wstring, std::wstring>>& environment,
                                       const std::wstring& arguments) {
    TWizard& wizard = Launch(medium, TLaunch{arguments, environment});
    wizard.WaitMainWindow();
    wizard.WaitPage(WelcomePage, StartTimeout);
    wizard.Click(NextButton);
    wizard.WaitPage(PathPage);
    wizard.SetPath(entry);
    wizard.Click(NextButton);
    wizard.WaitPage(ComponentsPage);
    return wizard;
}

std::vector<std::wstring> InstallCase::Install(TWizard& wizard, TDriverAnswer answer, const wchar_t* shot) {
    wizard.Click(InstallButton);
    TMessageBox question = wizard.WaitMessageBox(RunTimeout);
    EXPECT_EQ(ToUtf8(question.Text), ToUtf8(DriverQuestion)) << "lines so far:\n"
                                                             << Joined(wizard.ProgressLines());
    // The line of the work under way is the one in view, however long the list has grown.
    EXPECT_TRUE(wizard.LastProgressLineInView()) << "the list stays scrolled above its newest line";
    if (shot)
        wizard.Screenshot(shot);
    wizard.Answer(question, answer == TDriverAnswer::Yes ? IDYES : IDNO);
    TMessageBox box;
    const TRunOutcome outcome = wizard.WaitRunEnd(RunTimeout, &box);
    if (outcome == TRunOutcome::MessageBox)
        ADD_FAILURE() << "the run ended with the box \"" << ToUtf8(box.Text) << "\"";
    else
        EXPECT_EQ(outcome, TRunOutcome::FontPage)
            << "a screen at 96 dots per inch ends on the large-font page";
    return wizard.ProgressLines();
}

void InstallCase::LeaveFromFontPage(TWizard& wizard) {
    wizard.WaitPage(FontPage);
    wizard.Click(Exit);
    EXPECT_EQ(wizard.WaitExit(DefaultTimeout, true), 0u) << "a complete run ends with 0";
}

void InstallCase::ChooseWindows(TWizard& wizard, int index) {
    HWND combo = wizard.WaitFor(L"the Windows choice (class ComboBox)", DefaultTimeout, [&]() -> HWND {
        for (HWND window : Descendants(wizard.MainWindow()))
            if (ClassName(window) == L"ComboBox")
                return window;
        return nullptr;
    });
    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0, SMTO_ABORTIFHUNG,
                                      5000, &result));
    ::SendMessageTimeoutW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                          reinterpret_cast<LPARAM>(combo), SMTO_ABORTIFHUNG, 5000, &result);
    ASSERT_TRUE(::SendMessageTimeoutW(combo, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result));
    ASSERT_EQ(static_cast<int>(result), index);
}

std::wstring InstallCase::LogPath(const wchar_t* name) {
    const std::wstring path = TempPath(std::wstring(L"tessaro-e2e-") + name + L".log");
    ::DeleteFileW(path.c_str());
    FCleanUp.push_back(path);
    return path;
}

DWORD InstallCase::RunUnattended(const std::wstring& medium, const std::wstring& arguments,
                                 const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    TWizard& wizard = Launch(medium, TLaunch{arguments, environment});
    return wizard.WaitExit(RunTimeout, true);
}

} // namespace e2e
