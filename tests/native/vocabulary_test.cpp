// The vocabulary tables and their loading from the language file.
#include <string>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "common/TH_Common_Const.h"
#include "common/TH_Common_Proc.h"
#include "common/TH_Common_Var.h"

namespace {

class VocabularyTest : public ::testing::Test {
protected:
    void TearDown() override {
        ReleaseVocabulary();
        ReleaseCommonVars();
    }
    void LoadEnglish(std::string_view languageFileBytes) {
        WriteBytes(FScratch / "Settings" / "holter.ini", "[options]\r\nLanguageSetting=ENG\r\n");
        WriteBytes(FScratch / "Settings" / "EngView.lng", languageFileBytes);
        InitCommonVarsAt(FScratch.Folder());
        LoadVocabulary();
    }
    TScratchFolder FScratch;
};

TEST_F(VocabularyTest, RussianKeepsTheBuiltInTexts) {
    // A language file beside a Russian set-up is not read.
    WriteBytes(FScratch / "Settings" / "EngView.lng", "[TH_Messages]\r\nHNZ=Chronic lung disease\r\n");
    InitCommonVarsAt(FScratch.Folder());
    LoadVocabulary();
    EXPECT_EQ(DiseaseNames[9], L"Хрон. неспецифич. заболевания легких");
    EXPECT_EQ(DiseaseNames[19], L"Стеноз лег. арт, тетр. и триада Фало");
    EXPECT_EQ(ProcTexts[0], L"СБОЙ");
    EXPECT_EQ(ProcTexts[1], L"МЕТКА");
    EXPECT_EQ(ProcTexts[8], L"н");
    EXPECT_EQ(ProcTexts[9], L"с");
    for (std::size_t i : {2u, 3u, 4u, 5u, 6u, 7u})
        EXPECT_EQ(ProcTexts[i], L"");
}

TEST_F(VocabularyTest, EachKeyReplacesOnlyItsOwnEntry) {
    LoadEnglish("[TH_Messages]\r\nGip=Hypertension\r\n");
    EXPECT_EQ(DiseaseNames[0], L"Hypertension");
    for (std::size_t i = 1; i < DiseaseNames.size(); ++i)
        EXPECT_EQ(DiseaseNames[i], BuiltInDiseaseNames[i]) << i;
    EXPECT_EQ(BodyTypeNames[0], L"Нормостеник");
    EXPECT_EQ(ConductionNames[4], L"Не определен");
    EXPECT_EQ(ProcTexts[0], L"СБОЙ");
}

TEST_F(VocabularyTest, EntriesWithoutKeysStayAndEmptyValuesReplace) {
    LoadEnglish(
        "\xEF\xBB\xBF[th_messages]\r\n"
        "Norm=Normal\r\nBLN=LBBB\r\nBPN=RBBB\r\nnOp=\r\nWPW=changed\r\nDiab=changed\r\nasten=\"Asthenic\"\r\n"
        "[TH_Common_Proc]\r\nSbo=FAILURE\r\nsss=s\r\n");
    EXPECT_EQ(ConductionNames[0], L"Normal");
    EXPECT_EQ(ConductionNames[2], L"RBBB");
    EXPECT_EQ(ConductionNames[3], L"WPW");
    EXPECT_EQ(ConductionNames[4], L"");
    EXPECT_EQ(DiseaseNames[21], L"Сахарный диабет");
    EXPECT_EQ(BodyTypeNames[2], L"Asthenic");
    EXPECT_EQ(ProcTexts[0], L"FAILURE");
    EXPECT_EQ(ProcTexts[1], L"МЕТКА");
    EXPECT_EQ(ProcTexts[9], L"s");
}

TEST_F(VocabularyTest, MissingLanguageFileGivesTheBuiltInTexts) {
    WriteBytes(FScratch / "Settings" / "holter.ini", "[options]\r\nLanguageSetting=ENG\r\n");
    InitCommonVarsAt(FScratch.Folder());
    LoadVocabulary();
    EXPECT_EQ(LangCode, L"ENG");
    EXPECT_EQ(MedicationNames[8], L"диуретики");
    EXPECT_EQ(BodyTypeNames[1], L"Гиперстеник");
}

} // namespace
