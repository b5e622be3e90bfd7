// Types shared by the suite's programs: the settings record and the enumerations it holds.
#pragma once

#include <cstdint>
#include <string>

enum class THViewType : std::uint8_t {
    hvtStandart,
    hvtFragment,
    hvtOnline,
    hvtTest,
    hvtSaveSkr,
    hvtSaveDin,
    hvtAD,
    hvtNone
};

// Recorder types. The settings file may hold any byte here, so values beyond the named ones occur.
enum class Tregtype : std::uint8_t {
    RegType_VRDECG,
    RegType_VRDECG_AD2005,
    RegType_ECGBP2008,
    RegType_VRDECG_ADMedicom,
    RegType_ADBP2005,
    RegType_Medicom_AD,
    RegType_Medicom_ECG,
    RegType_Medicom_ECGAD
};

// The values of "holter.ini", in the order the suite's programs declare them.
struct TSettings {
    THViewType ZOravType = THViewType::hvtStandart;
    bool DebugPrint = false;
    bool DebugMy = false;
    bool PoverkaView = false;
    bool ZoravDebug = false;
    bool GroupProcess = false;
    bool doformshow = false;
    bool EnabledScrining = false;
    bool ECGAtRestWork = false;
    bool OnlyDecode = false;
    bool SaveSwap = false;
    bool MinmVEnabled = false;
    double ChannelGain = 0.0;
    double ChannelGain12 = 0.0;
    std::int32_t HardwareType = 0;
    std::uint8_t FilterType = 0;
    bool CorrectProbeli = false;
    bool forMVD = false;
    bool forGE = false;
    std::uint8_t Person = 0;
    std::wstring LanguageSetting;
    std::uint8_t New_Reg = 0;
    Tregtype DefaultRegType = Tregtype::RegType_VRDECG;
    bool NurseMode = false;
    bool DoctorMode = false;
    bool EMIASTESTINGMODE = false;
    bool EMIASEMULATINGMODE = false;
    bool RegEmulating = false;
    bool AriadnaSearchTesting = false;
    bool UserIsMS = false;
    bool PraktikaSearchTesting = false;
    bool PraktikaTesting = false;
};
