#include "install/files/Processes.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <vector>

#include "common/Error.h"
#include "common/FileIO.h"
#include "common/HandlesWin.h"

namespace {

// The longest command line that CreateProcessW accepts.
constexpr std::size_t MaxCommandLine = 32767;

// Starts a program with a console of its own (a script needs one, the wizard has none); false when the
// system refuses.
bool StartProcess(const std::wstring& CommandLine, const wchar_t* Folder, std::uint16_t ShowCmd,
                  TUniqueHandle& Process, const wchar_t* Program = nullptr,
                  const std::vector<wchar_t>* Environment = nullptr) {
    if (CommandLine.size() > MaxCommandLine)
        return false;
    std::vector<wchar_t> line(CommandLine.begin(), CommandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCmd;
    PROCESS_INFORMATION info{};
    const DWORD flags =
        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | (Environment ? CREATE_UNICODE_ENVIRONMENT : 0);
    void* environment = Environment ? const_cast<wchar_t*>(Environment->data()) : nullptr;
    if (!::CreateProcessW(Program, line.data(), nullptr, nullptr, FALSE, flags, environment, Folder, &startup,
                          &info))
        return false;
    TUniqueHandle thread(info.hThread);
    Process.Reset(info.hProcess);
    return true;
}

std::int32_t WaitForExit(HANDLE process) {
    ::WaitForSingleObject(process, INFINITE);
    DWORD code = static_cast<DWORD>(-1);
    if (!::GetExitCodeProcess(process, &code))
        code = static_cast<DWORD>(-1);
    return static_cast<std::int32_t>(code);
}

// This process's environment with `name` set to `value`, in the system's order, as CreateProcessW takes it.
std::vector<wchar_t> EnvironmentWith(const std::wstring& name, const std::wstring& value) {
    std::vector<std::wstring> entries;
    if (wchar_t* block = ::GetEnvironmentStringsW()) {
        for (const wchar_t* entry = block; *entry; entry += std::wcslen(entry) + 1) {
            const std::wstring text = entry;
            const bool same =
                text.size() > name.size() && text[name.size()] == L'=' &&
                ::CompareStringOrdinal(text.c_str(), static_cast<int>(name.size()), name.c_str(),
                                       static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
            if (!same)
                entries.push_back(text);
        }
        ::FreeEnvironmentStringsW(block);
    }
    entries.push_back(name + L"=" + value);
    std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::vector<wchar_t> environment;
    for (const std::wstring& entry : entries) {
        environment.insert(environment.end(), entry.begin(), entry.end());
        environment.push_back(L'\0');
    }
    environment.push_back(L'\0');
    return environment;
}

} // namespace

// "не смог создать процесс: " here too: the program-start text of ExecAndWait, deliberate (below).
std::int32_t RunCommandScript(const std::wstring& Script, const std::wstring& Folder, std::uint16_t ShowCmd) {
    wchar_t system[MAX_PATH] = L"";
    const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        throw TError(L"не смог создать процесс: " + Script);
    const std::wstring interpreter = std::wstring(system, length) + L"\\cmd.exe";
    // /s: the outer quotes go, the quoted script with blanks in its path stays one word.
    const std::wstring commandLine = L"cmd.exe /d /s /c \"\"" + Script + L"\"\"";
    const std::vector<wchar_t> environment = EnvironmentWith(L"NoDefaultCurrentDirectoryInExePath", L"1");
    TUniqueHandle process;
    if (!StartProcess(commandLine, Folder.empty() ? nullptr : Folder.c_str(), ShowCmd, process,
                      interpreter.c_str(), &environment))
        throw TError(L"не смог создать процесс: " + Script);
    return WaitForExit(process.Get());
}

std::int32_t ExecAndWait(const std::wstring& FileName, const std::wstring& Params, std::uint16_t ShowCmd) {
    // Quoted, so that a path with blanks cannot start a program named by its first words.
    const std::wstring commandLine = L"\"" + FileName + L"\" " + Params;
    std::wstring folder = ExtractFilePath(FileName);
    const bool driveRoot = folder.size() == 3 && folder[1] == L':';
    if (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/') && !driveRoot)
        folder.pop_back();
    TUniqueHandle process;
    if (!StartProcess(commandLine, folder.empty() ? nullptr : folder.c_str(), ShowCmd, process))
        // Word for word, lower case and all, as the suite's installers have always reported it. Older records
        // show it garbled ("ia niia nicaaou i?ioann: "), its Russian letters read in the wrong code page;
        // this is what a Russian Windows shows. Decoded on purpose (docs/design.md#deliberate-texts).
        throw TError(L"не смог создать процесс: " + FileName);
    return WaitForExit(process.Get());
}

std::int32_t ExecProgram(const std::wstring& CommandLine, std::uint16_t ShowCmd, bool Wait,
                         const std::wstring& Folder) {
    TUniqueHandle process;
    if (!StartProcess(CommandLine, Folder.empty() ? nullptr : Folder.c_str(), ShowCmd, process))
        return -1;
    return Wait ? WaitForExit(process.Get()) : 0;
}
