// What the user and the run log read about a file that another program holds: the file, the programs as far
// as the system can tell, and what to do. Portable: the agreement with none, one and several programs is
// tested natively.
#pragma once

#include <string>
#include <vector>

// "Файл «X» открыт другой программой." — with one program named ": «A»", with several "другими программами:
// «A», «B»".
std::wstring InUseText(const std::wstring& path, const std::vector<std::wstring>& programs);

// The box that asks to close them: the text above, then "Закройте её (их) и нажмите «Повтор», чтобы
// продолжить установку (удаление), или «Отмена», чтобы прервать её (его)."
std::wstring InUseQuestion(const std::wstring& path, const std::vector<std::wstring>& programs, bool removal);
