// Starting the installers the run hands work to (the package's script, the driver's installer) and waiting
// for their end. The run is on a thread of its own: a wait here holds no window.
#pragma once

#include <cstdint>
#include <string>

// Starts FileName (enclosed in quotes) with Params in FileName's folder, waits for its end and returns its
// exit code; raises TError "не смог создать процесс: " + FileName when it cannot be started.
std::int32_t ExecAndWait(const std::wstring& FileName, const std::wstring& Params, std::uint16_t ShowCmd);

// Starts CommandLine as it stands (in Folder, where one is given); returns -1 when it cannot be started,
// otherwise (with Wait) its exit code.
std::int32_t ExecProgram(const std::wstring& CommandLine, std::uint16_t ShowCmd, bool Wait,
                         const std::wstring& Folder = {});

// Runs the command script `Script` with the system's own interpreter, "%windir%\System32\cmd.exe" named as
// the program (never one a search finds), with no AutoRun commands (/d), in `Folder`, and in an environment
// that keeps the interpreter from taking the programs the script names from the current folder
// (NoDefaultCurrentDirectoryInExePath); waits for its end and returns its exit code. Raises TError
// "не смог создать процесс: " + Script when it cannot be started.
std::int32_t RunCommandScript(const std::wstring& Script, const std::wstring& Folder, std::uint16_t ShowCmd);
