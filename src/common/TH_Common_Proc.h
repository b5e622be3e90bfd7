// Loading the suite's vocabulary in the chosen language, and the procedures module's own texts.
#pragma once

#include <array>
#include <string>
#include <string_view>

// Texts of the procedures module; entries 0, 1, 8 and 9 come from the vocabulary, the others stay empty.
extern std::array<std::wstring, 10> ProcTexts;

// The standard keys of a Windows version-information block; the suite's modules keep two such tables.
inline constexpr std::array<std::wstring_view, 10> VersionInfoKeys = {
    L"CompanyName",     L"FileDescription",  L"FileVersion", L"InternalName",   L"LegalCopyright",
    L"LegalTrademarks", L"OriginalFilename", L"ProductName", L"ProductVersion", L"Comments"};
inline constexpr std::array<std::wstring_view, 10> VersionInfoKeys2 = VersionInfoKeys;

// Fills the loadable tables from LangFileName (sections "TH_Messages" and "TH_Common_Proc"); with no
// language file, or a missing key, an entry gets its built-in Russian text. Never fails.
void LoadVocabulary();
// Puts every loadable table back to its start texts.
void ReleaseVocabulary();
