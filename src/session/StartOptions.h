// What one start of the program is to do, resolved once, before any window exists: the command line, the
// folder the suite is registered in and the defaults become one checked set of options. The window only edits
// them (the path page, the components page); an unattended start runs them as they are. Portable: what the
// system knows comes in as TStartFacts.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "install/run/InstallRun.h"
#include "install/record/Uninstall.h"
#include "session/CommandLine.h"
#include "session/TargetPath.h"

// The product's own texts, from the program's resources.
struct TProductTexts {
    std::wstring AppName;            // string resource 0, "Dedira": the default folder's name
    std::wstring ProductName;        // string resource 1
    std::wstring ProductDescription; // string resource 2
    std::wstring ShellExe;           // string resource 4
    std::wstring Publisher;          // as the version resource names it
    bool Edition = false;            // the product name is "Фиалон", compared upper-cased
};

// What the system says that a start depends on.
struct TStartFacts {
    std::wstring Program;                         // the running program's path
    std::wstring ProgramFolder;                   // its folder, ending in "\": the medium
    std::optional<std::wstring> RegisteredFolder; // where "Programs and Features" has the suite
    TFullPathOf FullPathOf;                       // the system's full path of a path
    TProductTexts Product;
};

enum class TStartAction {
    Refused,         // the command line or its folder was refused: exit 1, Refusal says why
    Help,            // /? or /HELP
    Install,         // the wizard, or an unattended installation
    Uninstall,       // /UNINSTALL
    FinishUninstall, // the uninstaller's clean-up after it (see HandOver.h)
};

struct TStart {
    TStartAction Action = TStartAction::Install;
    TCommandLine Line;
    // No box at all: an unattended start, or one that named /VERYSILENT or /SUPPRESSMSGBOXES anywhere (a
    // deployment tool must never wait on a box, not even for a line that was refused).
    bool Quiet = false;
    std::wstring Refusal;
    bool RefusalShowsHelp = false; // the command line itself was wrong: the box adds the switches' help
    TInstallOptions Install;       // the folder from /DIR, the registered one or "C:\<AppName>", checked
    TUninstallOptions Uninstall;   // the folder from /DIR, the uninstaller's own or the registered one
    unsigned long FinishProcess = 0;
    std::wstring FinishTarget;
};

TStart ResolveStart(std::wstring_view arguments, const TStartFacts& facts);

// The folder the path page offers and an unattended start without /DIR takes: the registered one, or
// "C:\<AppName>" where there is none.
std::wstring DefaultTargetFolder(const TStartFacts& facts);
