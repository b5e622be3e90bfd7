#include "install/files/InUseText.h"

std::wstring InUseText(const std::wstring& path, const std::vector<std::wstring>& programs) {
    std::wstring text = L"Файл «" + path + L"» открыт " +
                        (programs.size() > 1 ? L"другими программами" : L"другой программой");
    for (std::size_t i = 0; i < programs.size(); ++i)
        text += (i ? L", «" : L": «") + programs[i] + L"»";
    return text + L".";
}

std::wstring InUseQuestion(const std::wstring& path, const std::vector<std::wstring>& programs,
                           bool removal) {
    return InUseText(path, programs) + L"\r\n\r\nЗакройте " + (programs.size() > 1 ? L"их" : L"её") +
           L" и нажмите «Повтор», чтобы продолжить " + (removal ? L"удаление" : L"установку") +
           L", или «Отмена», чтобы прервать " + (removal ? L"его." : L"её.");
}
