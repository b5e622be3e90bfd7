// The suite's process-wide values: the program folder, the settings read from "holter.ini", the
// language choice and the exchange folders. Set once at start-up, only read afterwards.
#pragma once

#include <functional>
#include <string>

#include "common/IniFile.h"
#include "common/TH_Common_Types.h"

extern std::wstring ProgramDir; // ends in "\"
extern TSettings SuiteSettings;
extern std::wstring LangCode;     // "RUS" or "ENG"
extern std::wstring LangFileName; // empty for Russian
extern std::wstring AtesInDir;
extern std::wstring AtesOutDir;

// The number format every conversion between numbers and text of the process follows. Conversions here
// use std::from_chars/to_chars, which never consult the user's locale; this records the same choice for
// code that formats numbers for people.
struct TNumberFormat {
    wchar_t DecimalSeparator = L'.';
    wchar_t ThousandSeparator = L' ';
};
extern TNumberFormat NumberFormat;

// Start-up: the program folder from the executable's path, then the settings and the paths that follow.
// Never fails: a missing or damaged settings file gives the defaults.
// Where a value of the settings file that had to be replaced by its default is reported (the log, which
// lives above this module); nothing is reported until it is set.
void SetSettingsNotice(std::function<void(const std::wstring&)> notice);

void InitCommonVars();
// The same with a given program folder (ending in a separator); start-up and tests share it.
void InitCommonVarsAt(const std::wstring& programDir);
// Back to the state before start-up.
void ReleaseCommonVars();

// Reads ProgramDir + "Settings\holter.ini" into SuiteSettings.
void ReadSuiteSettings();
// The settings as read from one INI file; the rules of ReadSuiteSettings without touching globals.
TSettings ReadSettings(const TIniFile& ini);
