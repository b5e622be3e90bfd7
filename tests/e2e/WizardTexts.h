// The wizard's page and button captions as the walks look for them, and the texts its boxes show.
#pragma once

#include <string>

namespace e2e {

inline const std::wstring WelcomePage = L"Приветствие";
inline const std::wstring PathPage = L"Путь установки";
inline const std::wstring ComponentsPage = L"Компоненты";
inline const std::wstring ProgressPage = L"Установка";
inline const std::wstring FontPage = L"Размер шрифта";
inline const std::wstring CancelPage = L"Отмена установки";
inline const std::wstring NextButton = L"Далее";
inline const std::wstring BackButton = L"Назад";
inline const std::wstring CancelButton = L"Отмена";
inline const std::wstring InstallButton = L"Начать установку";
inline const std::wstring Exit = L"Выход";

} // namespace e2e
