// The suite's settings file and the process-wide values built from it.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "common/TH_Common_Const.h"
#include "common/TH_Common_Var.h"

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void TearDown() override { ReleaseCommonVars(); }
    void Start(std::string_view holterIniBytes) {
        WriteBytes(FScratch / "Settings" / "holter.ini", holterIniBytes);
        InitCommonVarsAt(FScratch.Folder());
    }
    TScratchFolder FScratch;
};

TSettings Read(std::wstring_view text) {
    return ReadSettings(TIniFile::FromBytes(WideToUtf8(text)));
}

TEST_F(SettingsTest, NoFileGivesEveryDefault) {
    InitCommonVarsAt(FScratch.Folder());
    const TSettings& s = SuiteSettings;
    EXPECT_TRUE(s.NurseMode);
    EXPECT_TRUE(s.DoctorMode);
    EXPECT_TRUE(s.doformshow);
    EXPECT_EQ(s.HardwareType, 1);
    EXPECT_EQ(s.ChannelGain, 1.0);
    EXPECT_EQ(s.ChannelGain12, 1.0);
    EXPECT_EQ(s.LanguageSetting, L"");
    EXPECT_EQ(LangCode, L"RUS");
    EXPECT_EQ(LangFileName, L"");
    for (bool flag : {s.DebugPrint,
                      s.DebugMy,
                      s.PoverkaView,
                      s.ZoravDebug,
                      s.GroupProcess,
                      s.EnabledScrining,
                      s.ECGAtRestWork,
                      s.OnlyDecode,
                      s.SaveSwap,
                      s.MinmVEnabled,
                      s.CorrectProbeli,
                      s.forMVD,
                      s.forGE,
                      s.EMIASTESTINGMODE,
                      s.EMIASEMULATINGMODE,
                      s.RegEmulating,
                      s.AriadnaSearchTesting,
                      s.UserIsMS,
                      s.PraktikaSearchTesting,
                      s.PraktikaTesting})
        EXPECT_FALSE(flag);
    EXPECT_EQ(s.FilterType, 0);
    EXPECT_EQ(s.New_Reg, 0);
    EXPECT_EQ(s.Person, 0);
    EXPECT_EQ(s.DefaultRegType, Tregtype::RegType_VRDECG);
    EXPECT_EQ(s.ZOravType, THViewType::hvtStandart);
    EXPECT_EQ(ProgramDir, FScratch.Folder());
    EXPECT_EQ(AtesInDir, FScratch.Folder() + L"AtesIn\\");
    EXPECT_EQ(AtesOutDir, FScratch.Folder() + L"AtesOut\\");
    EXPECT_EQ(NumberFormat.DecimalSeparator, L'.');
}

TEST_F(SettingsTest, OnlyExactlyEngChoosesEnglish) {
    Start("[options]\r\nLanguageSetting=ENG\r\n");
    EXPECT_EQ(LangCode, L"ENG");
    EXPECT_EQ(LangFileName, FScratch.Folder() + L"Settings\\EngView.lng");

    for (const char* other : {"eng", "Eng", " \"ENG \"", "Русский"}) {
        Start(std::string("[options]\r\nLanguageSetting=") + other + "\r\n");
        EXPECT_EQ(LangCode, L"RUS") << other;
        EXPECT_EQ(LangFileName, L"") << other;
    }
}

TEST_F(SettingsTest, ReadsTheFileInEachEncoding) {
    const std::wstring text = L"[options]\r\nLanguageSetting=Английский\r\nHardwareType=3\r\n";
    for (const std::string& bytes :
         {"\xFF\xFE" + WideToUtf16Le(text), "\xEF\xBB\xBF" + WideToUtf8(text), WideToCp1251(text)}) {
        Start(bytes);
        EXPECT_EQ(SuiteSettings.LanguageSetting, L"Английский");
        EXPECT_EQ(SuiteSettings.HardwareType, 3);
    }
}

TEST(SettingsValues, FollowTheValueRules) {
    struct TCase {
        std::wstring Text;
        std::function<bool(const TSettings&)> Holds;
    };
    const TCase cases[] = {
        {L"DebugPrint=true", [](const TSettings& s) { return !s.DebugPrint; }},
        {L"DebugPrint=2", [](const TSettings& s) { return s.DebugPrint; }},
        {L"NurseMode=abc", [](const TSettings& s) { return s.NurseMode; }},
        {L"DoctorMode=0", [](const TSettings& s) { return !s.DoctorMode; }},
        {L"HardwareType=0x10", [](const TSettings& s) { return s.HardwareType == 16; }},
        {L"HardwareType=abc", [](const TSettings& s) { return s.HardwareType == 1; }},
        {L"HardwareType=-5", [](const TSettings& s) { return s.HardwareType == -5; }},
        {L"HardwareType=$7FFFFFFF", [](const TSettings& s) { return s.HardwareType == 0x7FFFFFFF; }},
        {L"Channel1Gain=1.5", [](const TSettings& s) { return s.ChannelGain == 1.5; }},
        {L"Channel1Gain=1,5", [](const TSettings& s) { return s.ChannelGain == 1.0; }},
        {L"Channel2Gain=0.25", [](const TSettings& s) { return s.ChannelGain12 == 0.25; }},
        {L"DefaultRegType=258",
         [](const TSettings& s) { return s.DefaultRegType == Tregtype::RegType_ECGBP2008; }},
        {L"DefaultRegType=-1", [](const TSettings& s) { return static_cast<int>(s.DefaultRegType) == 255; }},
        {L"FilterType=255", [](const TSettings& s) { return s.FilterType == 255; }},
        {L"new_reg=$0A", [](const TSettings& s) { return s.New_Reg == 10; }},
        {L"onlydecode=1\nsaveswap=1", [](const TSettings& s) { return s.OnlyDecode && s.SaveSwap; }},
        {L"forMVD=1\nPerson=7", [](const TSettings& s) { return !s.forMVD && s.Person == 0; }},
        {L"LanguageSetting=\"" + std::wstring(3000, L'x') + L"\"",
         [](const TSettings& s) { return s.LanguageSetting.size() == 2047; }},
    };
    for (const TCase& c : cases)
        EXPECT_TRUE(c.Holds(Read(L"[options]\n" + c.Text))) << WideToUtf8(c.Text);
}

TEST(SettingsValues, NamesMatchInAnyCase) {
    const TSettings s = Read(L"[OPTIONS]\nfiltertype=7\nEMIASTESTINGMODE=1\nemiasemulatingmode=1\n");
    EXPECT_EQ(s.FilterType, 7);
    EXPECT_TRUE(s.EMIASTESTINGMODE);
    EXPECT_TRUE(s.EMIASEMULATINGMODE);
}

TEST(SettingsValues, OneByteValuesOutOfRangeTakeTheDefaultAndAreReported) {
    std::vector<std::wstring> notices;
    SetSettingsNotice([&](const std::wstring& text) { notices.push_back(text); });
    const TSettings s = Read(L"[options]\nFilterType=300\nnew_reg=-1\n");
    SetSettingsNotice({});

    EXPECT_EQ(s.FilterType, 0);
    EXPECT_EQ(s.New_Reg, 0);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_NE(notices[0].find(L"FilterType=300"), std::wstring::npos);
    EXPECT_NE(notices[1].find(L"new_reg=-1"), std::wstring::npos);
    // Nobody to tell, or a listener that fails, is no failure of the reading.
    EXPECT_EQ(Read(L"[options]\nFilterType=256\n").FilterType, 0);
    SetSettingsNotice([](const std::wstring&) { throw std::runtime_error("log full"); });
    EXPECT_EQ(Read(L"[options]\nFilterType=256\n").FilterType, 0);
    SetSettingsNotice({});
}

} // namespace
