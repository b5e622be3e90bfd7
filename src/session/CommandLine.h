// The switches of an unattended installation, with the names administrators know from other installers, and
// the exit codes their deployment tools check.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TUiMode {
    Interactive, // the whole wizard
    Silent,      // the progress page only, no questions, closes at the end
    VerySilent,  // no window at all
};

struct TCommandLine {
    TUiMode Mode = TUiMode::Interactive;
    bool SuppressMsgBoxes = false; // questions get the answer that lets the run go on; errors are only logged
    std::optional<std::wstring> Dir; // the target folder, unchecked
    bool NoDriver = false;
    bool WindowsXP = false;
    std::optional<std::wstring> Log; // where the run log goes
    bool Help = false;
    bool Uninstall = false; // remove the suite instead of installing it
    // The clean-up after an uninstaller that ran from the suite's own folder: the id of its process.
    std::optional<unsigned long> FinishUninstall;
    std::wstring Error; // why the command line was refused; empty when it was accepted

    bool AnswersQuestions() const { return SuppressMsgBoxes || Mode != TUiMode::Interactive; }
};

// Exit codes, also of an interactive run.
enum TExitCode : int {
    ecInstalled = 0,
    ecBadCommandLine = 1,
    ecNotInstalled = 1602, // left before the run (the cancel page, or the window closed)
    ecRunFailed = 1603,    // the run stopped on an error, or went to its end without completing
    ecAnotherRun = 1618,   // another installation or removal works in the folder: nothing done
};
// Every code the program ends with, in the help's order.
inline constexpr TExitCode ExitCodes[] = {ecInstalled, ecBadCommandLine, ecNotInstalled, ecRunFailed,
                                          ecAnotherRun};

// Splits the arguments after the program's name: blanks separate them outside double quotes, quotes are
// removed and backslashes are plain characters (so "/DIR=\"C:\Dedira\"" keeps its last backslash).
std::vector<std::wstring> SplitArguments(std::wstring_view arguments);

// The program's own command line as GetCommandLineW gives it, with the program's name first.
std::wstring_view SkipProgramName(std::wstring_view commandLine);

// Reads the switches: /NAME or /NAME=value, names in any letter case; of repeated switches (and of /SILENT
// and /VERYSILENT) the last wins. A line with a double quote left open is refused. A refused line (Error set)
// keeps only what says how to report the refusal, as far as it was read (the mode, /SUPPRESSMSGBOXES, /LOG):
// no folder, no removal, no clean-up, no other option.
TCommandLine ParseCommandLine(std::wstring_view arguments);

// Whether /VERYSILENT or /SUPPRESSMSGBOXES (or "-" before the name) appears anywhere in the text, letter case
// aside: a deployment tool that asked for no boxes gets none, not even for a line refused before the parser
// reached those switches.
bool NamesQuietSwitch(std::wstring_view arguments);

// The text of /? and /HELP: the switches an administrator may give, and every exit code.
std::wstring CommandLineHelp();
