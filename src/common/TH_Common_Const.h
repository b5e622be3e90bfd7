// Shared constants of the suite and its vocabulary tables.
#pragma once

#include <array>
#include <string>
#include <string_view>

// Name of the settings sub-folder, with its trailing backslash.
inline constexpr std::wstring_view SettingsDir = L"Settings\\";
// The suite's settings file inside SettingsDir, and its one section.
inline constexpr std::wstring_view SettingsFileName = L"holter.ini";
inline constexpr std::wstring_view SettingsSection = L"options";
// The English language file inside SettingsDir.
inline constexpr std::wstring_view EnglishLanguageFile = L"EngView.lng";

// Section tags of a report, first variant (as older files spell them) and second variant.
inline constexpr std::array<std::wstring_view, 23> SectionTags = {L"Common",
                                                                  L"Rythm",
                                                                  L"Pulse",
                                                                  L"ConductionAbnormality",
                                                                  L"Supraventricular",
                                                                  L"Ventricular",
                                                                  L"BlockadeAndPause",
                                                                  L"PQ",
                                                                  L"ST",
                                                                  L"QT",
                                                                  L"Variability",
                                                                  L"TWAanalisys",
                                                                  L"HRTanalisys",
                                                                  L"HRanalisys",
                                                                  L"BadMarks",
                                                                  L"MainDecision",
                                                                  L"AdditionalGraphs",
                                                                  L"Scrinig",
                                                                  L"Dinamic",
                                                                  L"AD",
                                                                  L"AverComplex",
                                                                  L"DoctorDecision",
                                                                  L"Recomendation"};
inline constexpr std::array<std::wstring_view, 23> SectionTags2 = {L"Common",
                                                                   L"Rhythm",
                                                                   L"Pulse",
                                                                   L"ConductionAbnormality",
                                                                   L"Supraventricular",
                                                                   L"Ventricular",
                                                                   L"BlockadeAndPause",
                                                                   L"PQ",
                                                                   L"ST",
                                                                   L"QT",
                                                                   L"Variability",
                                                                   L"TWAanalisys",
                                                                   L"HRTanalisys",
                                                                   L"HRanalisys",
                                                                   L"BadMarks",
                                                                   L"MainDecision",
                                                                   L"AdditionalGraphs",
                                                                   L"Screening",
                                                                   L"Dynamics",
                                                                   L"AD",
                                                                   L"AverComplex",
                                                                   L"DoctorDecision",
                                                                   L"Recomendation"};
// Tags of the stress-test report.
inline constexpr std::array<std::wstring_view, 11> StressTestTags = {
    L"Target",    L"CriteriaIdx",         L"Criteria", L"MainDecision", L"FunctionalClass",
    L"Tolerance", L"PrintRecomendations", L"Preparat", L"PorogWatt",    L"MarkOut",
    L"MarkOutIdx"};
// Tags of the blood-pressure report.
inline constexpr std::array<std::wstring_view, 9> ADTags = {
    L"ADCommon", L"ADMainDec", L"ADDoctorDecision", L"ADRecomendation", L"4", L"5",
    L"6",        L"ADCOS",     L"Rusults_Tag"};
inline constexpr std::array<std::wstring_view, 15> LeadNames = {
    L"I", L"II", L"III", L"avR", L"avL", L"avF", L"V1", L"V2", L"V3", L"V4", L"V5", L"V6", L"D", L"A", L"J"};

// Names by code: 0-9 screen elements, 10-14 lead choices, 15-29 trends, 30-49 beat classes, 50-69
// rhythms and transient episodes, 70-73 sleep/wake episodes and doubtful beats.
inline constexpr std::array<std::wstring_view, 74> NamesByCode = {
    // 0-9
    L"Текст", L"Фон", L"Сетка", L"Курсор", L"", L"Линейка", L"", L"", L"", L"",
    // 10-14
    L"Отвед. V2 для ЭКГ, ST, T-", L"Отвед. V5 для ЭКГ, ST, T-", L"Отвед. avF(V1) для ЭКГ, ST, T-", L"", L"",
    // 15-29
    L"Интервал RR", L"ЧСС", L"QT", L"QT нормы", L"QTc", L"Дисперсия QT", L"Альтернация T", L"QT должное", L"",
    L"", L"", L"", L"", L"", L"",
    // 30-49; "Безответный " keeps its trailing blank, as the suite has always had it (deliberate).
    L"Норма", L"Помехи", L"Жел. экстрасистола", L"Наджел. экстрасистола", L"Аритмия", L"Жел. под вопросом",
    L"Пауза", L"", L"", L"Прех. наруш. проводимости", L"Парасистола", L"Навязанный A", L"Навязанный V",
    L"Навязанный D", L"Безответный ", L"Сливной", L"Преждевременный", L"Парасистола", L"", L"",
    // 50-69
    L"Ритм \"синусовый\"", L"Ритм \"фибрилляция предсердий\"", L"Ритм \"трепетание предсердий\"",
    L"Ритм \"предсердный\"", L"Ритм \"узловой\"", L"Ритм \"идиовентрикулярный\"", L"Ритм \"навязанный\"",
    L"Ритм \"миграция водителя\"", L"Ритм \"не определен\"", L"Эпизод тахикардии", L"Эпизод брадикардии",
    L"Пароксизм наджел. тахикардии", L"Пароксизм жел. тахикардии", L"Эпизод фибрилляции предсердий",
    L"Эпизод АВ-блокады", L"Эпизод депрессии ST", L"Эпизод подъема ST", L"", L"", L"",
    // 70-73
    L"Бодрствование", L"Сон", L"Пауза под вопросом", L"Наджел. под вопросом"};

inline constexpr std::array<std::wstring_view, 4> VariabilityGrades = {L"резко снижена", L"снижена",
                                                                       L"удовлетворительная", L"высокая"};

// Advice by functional class, best first: the allowed activities, then the walking pace.
inline constexpr std::array<std::wstring_view, 8> FunctionalClassAdvice = {
    L"Разрешены все виды физической нагрузки, включая бег, плавание и спортивные игры.",
    L"Темп ходьбы 110 - 120 шагов/мин. (4.5 - 5 км/ч)",
    L"Разрешены ходьба, подъем по лестнице до 3 - 4 этажей, работа в саду без подъема тяжестей.",
    L"Темп ходьбы 90 - 100 шагов/мин. (3.5 - 4 км/ч)",
    L"Разрешены неспешная ходьба по ровной местности и легкая работа по дому.",
    L"Темп ходьбы 70 - 80 шагов/мин. (2.5 - 3 км/ч)",
    L"Нуждается в постороннем уходе.",
    L"Темп ходьбы до 60 шагов/мин. (до 2 км/ч), в пределах квартиры"};

// Tables the language file may replace: their built-in Russian texts, and the texts in force.
inline constexpr std::array<std::wstring_view, 3> BuiltInBodyTypeNames = {L"Нормостеник", L"Гиперстеник",
                                                                          L"Астеник"};
inline constexpr std::array<std::wstring_view, 22> BuiltInDiseaseNames = {
    L"Гипертония",
    L"Нефрит или пиелонефрит",
    L"Нарушение мозгового кровообращения",
    L"ИБС",
    L"Стенокардия",
    L"Постинфарктный кардиосклероз",
    L"Инфаркт, подострая фаза",
    L"Ревматизм",
    L"НЦД",
    L"Хрон. неспецифич. заболевания легких",
    L"Бронхиальная астма",
    L"Инфаркт, острая фаза",
    L"Митральный стеноз",
    L"Аортальный порок или митр. недостат",
    L"Дефект межжелудочковой перегородки",
    L"Дефект межпредсердной перегородки",
    L"Общий артериальный проток",
    L"Стеноз аорты",
    L"Коарктация аорты",
    L"Стеноз лег. арт, тетр. и триада Фало",
    L"Искусственный водитель ритма",
    L"Сахарный диабет"};
// "Антогонисты Ca" (for "Антагонисты") as the suite has always named them: deliberate, not to be corrected
// (docs/design.md#deliberate-texts).
inline constexpr std::array<std::wstring_view, 9> BuiltInMedicationNames = {L"сердечные гликозиды",
                                                                            L"хинидин",
                                                                            L"кордарон",
                                                                            L"пр. антиритмические",
                                                                            L"нитропрепараты",
                                                                            L"Антогонисты Ca",
                                                                            L"Б-блокаторы",
                                                                            L"антигипертензионные",
                                                                            L"диуретики"};
inline constexpr std::array<std::wstring_view, 5> BuiltInConductionNames = {L"Норма", L"БЛН", L"БПН", L"WPW",
                                                                            L"Не определен"};

extern std::array<std::wstring, 3> BodyTypeNames;
extern std::array<std::wstring, 22> DiseaseNames;
extern std::array<std::wstring, 9> MedicationNames;
extern std::array<std::wstring, 5> ConductionNames;
