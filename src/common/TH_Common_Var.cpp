// Start-up of the shared settings. Reading goes through TIniFile, which follows the profile-string
// rules, so the values match what the suite's programs read from the same file on Windows.
#include "common/TH_Common_Var.h"

#include "common/FileIO.h"
#include "common/TH_Common_Const.h"

std::wstring ProgramDir;
TSettings SuiteSettings;
std::wstring LangCode;
std::wstring LangFileName;
std::wstring AtesInDir;
std::wstring AtesOutDir;
TNumberFormat NumberFormat;

namespace {

std::function<void(const std::wstring&)> GSettingsNotice;

// A one-byte field cannot hold a value outside 0..255; the default is the safe reading of such a file,
// and the log keeps a trace of what the file held.
std::uint8_t ReadByte(const TIniFile& ini, std::wstring_view key, std::uint8_t def) {
    const std::int32_t value = ini.ReadInteger(SettingsSection, key, def);
    if (value >= 0 && value <= 255)
        return static_cast<std::uint8_t>(value);
    if (GSettingsNotice) {
        try {
            GSettingsNotice(std::wstring(SettingsFileName) + L": значение " + std::wstring(key) + L"=" +
                            std::to_wstring(value) + L" вне диапазона 0..255, принято " +
                            std::to_wstring(def));
        } catch (...) {
            // Start-up goes on without the trace.
        }
    }
    return def;
}

} // namespace

void SetSettingsNotice(std::function<void(const std::wstring&)> notice) {
    GSettingsNotice = std::move(notice);
}

TSettings ReadSettings(const TIniFile& ini) {
    const std::wstring_view s = SettingsSection;
    TSettings settings;
    settings.forMVD = false;
    settings.forGE = ini.ReadBool(s, L"forGE", false);
    settings.Person = 0;
    settings.FilterType = ReadByte(ini, L"FilterType", 0);
    settings.DefaultRegType = static_cast<Tregtype>(ini.ReadInteger(s, L"DefaultRegType", 0) & 0xFF);
    settings.doformshow = ini.ReadBool(s, L"doformshow", true);
    settings.DebugPrint = ini.ReadBool(s, L"DebugPrint", false);
    settings.DebugMy = ini.ReadBool(s, L"DebugMy", false);
    settings.MinmVEnabled = ini.ReadBool(s, L"MinmVEnabled", false);
    settings.PoverkaView = ini.ReadBool(s, L"PoverkaView", false);
    settings.ZoravDebug = ini.ReadBool(s, L"ZoravDebug", false);
    settings.ECGAtRestWork = ini.ReadBool(s, L"ECGAtRestWork", false);
    settings.OnlyDecode = ini.ReadBool(s, L"onlydecode", false);
    settings.SaveSwap = ini.ReadBool(s, L"saveswap", false);
    settings.ChannelGain = ini.ReadFloat(s, L"Channel1Gain", 1.0);
    settings.ChannelGain12 = ini.ReadFloat(s, L"Channel2Gain", 1.0);
    settings.GroupProcess = ini.ReadBool(s, L"GroupProcess", false);
    settings.EnabledScrining = ini.ReadBool(s, L"EnabledScrining", false);
    settings.HardwareType = ini.ReadInteger(s, L"HardwareType", 1);
    settings.LanguageSetting = ini.ReadString(s, L"LanguageSetting", L"");
    settings.New_Reg = ReadByte(ini, L"new_reg", 0);
    settings.NurseMode = ini.ReadBool(s, L"NurseMode", true);
    settings.DoctorMode = ini.ReadBool(s, L"DoctorMode", true);
    settings.EMIASTESTINGMODE = ini.ReadBool(s, L"EMIASTESTINGMODE", false);
    settings.EMIASEMULATINGMODE = ini.ReadBool(s, L"EMIASEMULATINGMODE", false);
    settings.RegEmulating = ini.ReadBool(s, L"RegEmulating", false);
    settings.AriadnaSearchTesting = ini.ReadBool(s, L"AriadnaSearchTesting", false);
    settings.UserIsMS = ini.ReadBool(s, L"UserIsMS", false);
    settings.PraktikaSearchTesting = ini.ReadBool(s, L"PraktikaSearchTesting", false);
    settings.PraktikaTesting = ini.ReadBool(s, L"PraktikaTesting", false);
    return settings;
}

void ReadSuiteSettings() {
    NumberFormat = TNumberFormat{};
    // Fields no key fills keep what they held, as in the record the suite's programs share.
    const TSettings read =
        ReadSettings(TIniFile(ProgramDir + std::wstring(SettingsDir) + std::wstring(SettingsFileName)));
    const THViewType viewType = SuiteSettings.ZOravType;
    const bool correctProbeli = SuiteSettings.CorrectProbeli;
    SuiteSettings = read;
    SuiteSettings.ZOravType = viewType;
    SuiteSettings.CorrectProbeli = correctProbeli;
}

void InitCommonVarsAt(const std::wstring& programDir) {
    ProgramDir = programDir;
    ReadSuiteSettings();
    LangFileName.clear();
    LangCode = L"RUS";
    if (SuiteSettings.LanguageSetting == L"ENG") {
        LangFileName = ProgramDir + std::wstring(SettingsDir) + std::wstring(EnglishLanguageFile);
        LangCode = L"ENG";
    }
    AtesInDir = ProgramDir + L"AtesIn\\";
    AtesOutDir = ProgramDir + L"AtesOut\\";
}

void InitCommonVars() {
    InitCommonVarsAt(ExecutableFolder());
}

void ReleaseCommonVars() {
    ProgramDir.clear();
    SuiteSettings = TSettings{};
    LangCode.clear();
    LangFileName.clear();
    AtesInDir.clear();
    AtesOutDir.clear();
    NumberFormat = TNumberFormat{};
}
