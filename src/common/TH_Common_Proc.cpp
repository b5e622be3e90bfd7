// Each key of the language file replaces exactly one table entry; the table below is the whole mapping.
#include "common/TH_Common_Proc.h"

#include <iterator>
#include <vector>

#include "common/IniFile.h"
#include "common/TH_Common_Const.h"
#include "common/TH_Common_Var.h"

std::array<std::wstring, 10> ProcTexts;

namespace {

struct TVocabularyEntry {
    std::wstring_view Section;
    std::wstring_view Key;
    std::wstring* Target;
    std::wstring_view BuiltIn;
};

constexpr std::wstring_view Messages = L"TH_Messages";
constexpr std::wstring_view Proc = L"TH_Common_Proc";

std::vector<TVocabularyEntry> Entries() {
    std::vector<TVocabularyEntry> entries;
    auto add = [&](std::wstring_view section, std::wstring_view key, std::wstring& target,
                   std::wstring_view builtIn) {
        entries.push_back({section, key, &target, builtIn});
    };
    const wchar_t* bodyKeys[] = {L"Normo", L"Giper", L"Asten"};
    for (std::size_t i = 0; i < BodyTypeNames.size(); ++i)
        add(Messages, bodyKeys[i], BodyTypeNames[i], BuiltInBodyTypeNames[i]);
    // Entry 21 ("Сахарный диабет") has no key.
    const wchar_t* diseaseKeys[] = {L"Gip", L"NIP",  L"NMK", L"IBS", L"Ste", L"PKa", L"IPF",
                                    L"Rev", L"NCD",  L"HNZ", L"BAs", L"IOF", L"MSt", L"API",
                                    L"DMP", L"DMPP", L"OAP", L"SAo", L"KAo", L"SLA", L"IVR"};
    for (std::size_t i = 0; i < std::size(diseaseKeys); ++i)
        add(Messages, diseaseKeys[i], DiseaseNames[i], BuiltInDiseaseNames[i]);
    const wchar_t* medicationKeys[] = {L"SGl", L"Hin", L"Kor", L"PAn", L"NPr",
                                       L"ACA", L"BBl", L"Ant", L"Diu"};
    for (std::size_t i = 0; i < MedicationNames.size(); ++i)
        add(Messages, medicationKeys[i], MedicationNames[i], BuiltInMedicationNames[i]);
    // Entry 3 ("WPW") has no key.
    add(Messages, L"Norm", ConductionNames[0], BuiltInConductionNames[0]);
    add(Messages, L"BLN", ConductionNames[1], BuiltInConductionNames[1]);
    add(Messages, L"BPN", ConductionNames[2], BuiltInConductionNames[2]);
    add(Messages, L"nOp", ConductionNames[4], BuiltInConductionNames[4]);
    add(Proc, L"Sbo", ProcTexts[0], L"СБОЙ");
    add(Proc, L"Met", ProcTexts[1], L"МЕТКА");
    add(Proc, L"nnn", ProcTexts[8], L"н");
    add(Proc, L"sss", ProcTexts[9], L"с");
    return entries;
}

} // namespace

void LoadVocabulary() {
    // An empty name reads as a missing file: every entry gets its built-in text.
    const TIniFile language = LangFileName.empty() ? TIniFile() : TIniFile(LangFileName);
    for (const TVocabularyEntry& entry : Entries())
        *entry.Target = language.ReadString(entry.Section, entry.Key, entry.BuiltIn);
}

void ReleaseVocabulary() {
    for (std::size_t i = 0; i < BodyTypeNames.size(); ++i)
        BodyTypeNames[i] = BuiltInBodyTypeNames[i];
    for (std::size_t i = 0; i < DiseaseNames.size(); ++i)
        DiseaseNames[i] = BuiltInDiseaseNames[i];
    for (std::size_t i = 0; i < MedicationNames.size(); ++i)
        MedicationNames[i] = BuiltInMedicationNames[i];
    for (std::size_t i = 0; i < ConductionNames.size(); ++i)
        ConductionNames[i] = BuiltInConductionNames[i];
    ProcTexts = {};
}
