// Loading the vocabulary from the language file: what a file replaces, and what stays built in when the
// set-up is Russian or the file is absent, damaged or lacks keys.
#include <algorithm>
#include <array>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "common/TH_Common_Const.h"
#include "common/TH_Common_Proc.h"
#include "common/TH_Common_Var.h"

namespace {

// Every table the vocabulary fills, as it stands.
struct TTexts {
    std::array<std::wstring, 3> BodyTypes;
    std::array<std::wstring, 22> Diseases;
    std::array<std::wstring, 9> Medications;
    std::array<std::wstring, 5> Conductions;
    std::array<std::wstring, 10> Proc;

    static TTexts InForce() {
        return {BodyTypeNames, DiseaseNames, MedicationNames, ConductionNames, ProcTexts};
    }
};

// Every entry of every table as `expected` has it; a difference names its table and entry.
void ExpectSame(const TTexts& now, const TTexts& expected) {
    auto compare = [](const char* table, const auto& is, const auto& should) {
        for (std::size_t i = 0; i < is.size(); ++i)
            EXPECT_EQ(WideToUtf8(is[i]), WideToUtf8(should[i])) << table << " " << i;
    };
    compare("body types", now.BodyTypes, expected.BodyTypes);
    compare("diseases", now.Diseases, expected.Diseases);
    compare("medications", now.Medications, expected.Medications);
    compare("conductions", now.Conductions, expected.Conductions);
    compare("procedures", now.Proc, expected.Proc);
}

void ExpectInForce(const TTexts& expected) {
    ExpectSame(TTexts::InForce(), expected);
}

class VocabularyTest : public ::testing::Test {
protected:
    void SetUp() override {
        // What a set-up without a language file has in force: the oracle for every entry a file leaves alone.
        LoadVocabulary();
        FBuiltIn = TTexts::InForce();
        ReleaseVocabulary();
    }
    void TearDown() override {
        ReleaseVocabulary();
        ReleaseCommonVars();
    }
    void StartInEnglish() {
        WriteBytes(FScratch / "Settings" / "holter.ini", "[options]\r\nLanguageSetting=ENG\r\n");
        InitCommonVarsAt(FScratch.Folder());
    }
    void LoadEnglish(std::string_view languageFileBytes) {
        WriteBytes(FScratch / "Settings" / "EngView.lng", languageFileBytes);
        StartInEnglish();
        LoadVocabulary();
    }
    TScratchFolder FScratch;
    TTexts FBuiltIn;
};

TEST_F(VocabularyTest, ARussianSetUpReadsNoLanguageFileAndKeepsTheBuiltInTexts) {
    // The built-in texts are the tables' own, and the procedures' texts that the vocabulary holds.
    TTexts tables{};
    std::copy(BuiltInBodyTypeNames.begin(), BuiltInBodyTypeNames.end(), tables.BodyTypes.begin());
    std::copy(BuiltInDiseaseNames.begin(), BuiltInDiseaseNames.end(), tables.Diseases.begin());
    std::copy(BuiltInMedicationNames.begin(), BuiltInMedicationNames.end(), tables.Medications.begin());
    std::copy(BuiltInConductionNames.begin(), BuiltInConductionNames.end(), tables.Conductions.begin());
    tables.Proc = FBuiltIn.Proc;
    ExpectSame(FBuiltIn, tables);
    for (std::size_t i = 0; i < FBuiltIn.Proc.size(); ++i)
        EXPECT_EQ(FBuiltIn.Proc[i].empty(), i != 0 && i != 1 && i != 8 && i != 9) << i;

    WriteBytes(FScratch / "Settings" / "EngView.lng", "[TH_Messages]\r\nHNZ=Chronic lung disease\r\n");
    InitCommonVarsAt(FScratch.Folder());
    LoadVocabulary();
    ExpectInForce(FBuiltIn);
}

TEST_F(VocabularyTest, EachKeyReplacesOnlyItsOwnEntry) {
    LoadEnglish("[TH_Messages]\r\nGip=Hypertension\r\n");
    TTexts expected = FBuiltIn;
    expected.Diseases[0] = L"Hypertension";
    ExpectInForce(expected);
}

TEST_F(VocabularyTest, KeysMatchInAnyCaseEntriesWithoutKeysStayAndEmptyValuesReplace) {
    LoadEnglish(
        "\xEF\xBB\xBF[th_messages]\r\n"
        "Norm=Normal\r\nBLN=LBBB\r\nBPN=RBBB\r\nnOp=\r\nWPW=changed\r\nDiab=changed\r\nasten=\"Asthenic\"\r\n"
        "[TH_Common_Proc]\r\nSbo=FAILURE\r\nsss=s\r\n");
    TTexts expected = FBuiltIn;
    expected.Conductions[0] = L"Normal";
    expected.Conductions[1] = L"LBBB";
    expected.Conductions[2] = L"RBBB";
    expected.Conductions[4] = L"";
    expected.BodyTypes[2] = L"Asthenic";
    expected.Proc[0] = L"FAILURE";
    expected.Proc[9] = L"s";
    ExpectInForce(expected);
}

TEST_F(VocabularyTest, AMissingOrUnreadableLanguageFileGivesTheBuiltInTexts) {
    StartInEnglish();
    LoadVocabulary();
    EXPECT_EQ(LangCode, L"ENG");
    ExpectInForce(FBuiltIn);

    ReleaseVocabulary();
    std::filesystem::create_directories(FScratch / "Settings" / "EngView.lng");
    LoadVocabulary();
    ExpectInForce(FBuiltIn);
}

TEST_F(VocabularyTest, ADamagedLanguageFileGivesTheBuiltInTextForWhatItCannotSay) {
    std::string noise;
    for (int round = 0; round < 16; ++round)
        for (int byte = 0; byte < 256; ++byte)
            noise += static_cast<char>((byte * 7 + round) & 0xFF);
    LoadEnglish(noise);
    ExpectInForce(FBuiltIn);

    // A header cut short opens no section.
    ReleaseVocabulary();
    LoadEnglish("[TH_Messages\r\nGip=Hypertension\r\n");
    ExpectInForce(FBuiltIn);

    // A key without "=" says nothing; the lines after it still count, and so does a file cut off mid-line.
    ReleaseVocabulary();
    LoadEnglish("[TH_Messages]\r\nGip\r\n\x01\xFF\x7F\r\nNIP=Nephritis\r\nIBS=Coronary");
    TTexts expected = FBuiltIn;
    expected.Diseases[1] = L"Nephritis";
    expected.Diseases[3] = L"Coronary";
    ExpectInForce(expected);
}

} // namespace
