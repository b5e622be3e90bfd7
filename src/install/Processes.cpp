#include "install/Processes.h"

#include <windows.h>

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
                  TUniqueHandle& Process) {
    if (CommandLine.size() > MaxCommandLine)
        return false;
    std::vector<wchar_t> line(CommandLine.begin(), CommandLine.end());
    line.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowCmd;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                          CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, Folder, &startup, &info))
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

} // namespace

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

std::int32_t ExecProgram(const std::wstring& CommandLine, std::uint16_t ShowCmd, bool Wait) {
    TUniqueHandle process;
    if (!StartProcess(CommandLine, nullptr, ShowCmd, process))
        return -1;
    return Wait ? WaitForExit(process.Get()) : 0;
}
