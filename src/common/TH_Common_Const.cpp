// The loadable tables start with their built-in Russian texts.
#include "common/TH_Common_Const.h"

namespace {
template <std::size_t N> std::array<std::wstring, N> Texts(const std::array<std::wstring_view, N>& source) {
    std::array<std::wstring, N> texts;
    for (std::size_t i = 0; i < N; ++i)
        texts[i] = source[i];
    return texts;
}
} // namespace

std::array<std::wstring, 3> BodyTypeNames = Texts(BuiltInBodyTypeNames);
std::array<std::wstring, 22> DiseaseNames = Texts(BuiltInDiseaseNames);
std::array<std::wstring, 9> MedicationNames = Texts(BuiltInMedicationNames);
std::array<std::wstring, 5> ConductionNames = Texts(BuiltInConductionNames);
