// The settings module on Windows: "Settings\holter.ini" beside the executable, and the INI reader
// checked against the system's own profile-string service.
#include <windows.h>

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "common/FileIO.h"
#include "common/IniFile.h"
#include "common/TH_Common_Var.h"
#include "common/TextCodec.h"

namespace {

void WriteFile(const std::wstring& fileName, const std::string& bytes) {
    ReplaceFileContents(fileName, bytes);
}

std::wstring ProfileString(const std::wstring& fileName, const wchar_t* section, const wchar_t* key) {
    wchar_t buffer[2048];
    ::GetPrivateProfileStringW(section, key, L"<default>", buffer, 2048, fileName.c_str());
    return buffer;
}

TEST(Settings, ReadsHolterIniBesideTheExecutable) {
    const std::wstring folder = ExecutableFolder();
    ASSERT_EQ(folder.back(), L'\\');
    const std::wstring settingsFolder = folder + L"Settings";
    ::CreateDirectoryW(settingsFolder.c_str(), nullptr);
    const std::wstring file = settingsFolder + L"\\holter.ini";
    WriteFile(file, "\xFF\xFE" + WideToUtf16Le(L"[OPTIONS]\r\nLanguageSetting=ENG\r\nhardwaretype=0x10\r\n"
                                               L"Channel1Gain=1.5\r\nNurseMode=0\r\nDefaultRegType=258\r\n"));

    InitCommonVars();
    EXPECT_EQ(ProgramDir, folder);
    EXPECT_EQ(LangCode, L"ENG");
    EXPECT_EQ(LangFileName, folder + L"Settings\\EngView.lng");
    EXPECT_EQ(SuiteSettings.HardwareType, 16);
    EXPECT_EQ(SuiteSettings.ChannelGain, 1.5);
    EXPECT_FALSE(SuiteSettings.NurseMode);
    EXPECT_TRUE(SuiteSettings.DoctorMode);
    EXPECT_EQ(SuiteSettings.DefaultRegType, Tregtype::RegType_ECGBP2008);
    EXPECT_EQ(AtesInDir, folder + L"AtesIn\\");
    ReleaseCommonVars();

    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(settingsFolder.c_str());
    InitCommonVars();
    EXPECT_EQ(LangCode, L"RUS");
    EXPECT_EQ(SuiteSettings.HardwareType, 1);
    ReleaseCommonVars();
}

TEST(Settings, ReaderAgreesWithTheProfileStringService) {
    const std::wstring file = ExecutableFolder() + L"profile_agreement.ini";
    const std::wstring text = L"; comment=1\r\n"
                              L"[Опции]\r\n"
                              L"  Ключ  =   значение   \r\n"
                              L"quoted=\"  a b  \"\r\n"
                              L"single='x'\r\n"
                              L"mismatched=\"x'\r\n"
                              L"empty=\r\n"
                              L"dup=first\r\n"
                              L"DUP=second\r\n"
                              L"long=" +
                              std::wstring(3000, L'z') + L"\r\n";
    for (TTextEncoding encoding : {TTextEncoding::Utf16Le, TTextEncoding::Ansi}) {
        WriteFile(file, EncodeText(encoding == TTextEncoding::Ansi ? L"[s]\r\nk = \"v\"\r\n" + text : text,
                                   encoding));
        const TIniFile ini(file);
        // Cyrillic names in their written case only: Wine's service folds just ASCII letters, where Windows
        // folds Cyrillic as well (the native tests hold the reader to that).
        for (const wchar_t* section : {L"Опции", L"S"})
            for (const wchar_t* key : {L"Ключ", L"QUOTED", L"single", L"mismatched", L"empty", L"dup",
                                       L"long", L"k", L"missing"}) {
                if (encoding == TTextEncoding::Ansi && section[0] != L'S')
                    continue; // Cyrillic names in an ANSI file depend on the test machine's code page
                EXPECT_EQ(ini.ReadString(section, key, L"<default>"), ProfileString(file, section, key))
                    << WideToUtf8(section) << " " << WideToUtf8(key);
            }
    }
    ::DeleteFileW(file.c_str());
}

} // namespace
