#include "app/TargetPath.h"

#include <utility>

TPathCheck CheckTargetPath(std::wstring_view entry) {
    std::wstring path = TrimControl(entry);
    if (path.empty())
        return {TPathVerdict::Empty, {}};
    path = WithTrailingBackslash(std::move(path));
    if (path.size() <= 3)
        return {TPathVerdict::Root, path};
    return {TPathVerdict::Accepted, path};
}

std::wstring RefusalText(TPathVerdict verdict) {
    switch (verdict) {
    case TPathVerdict::Empty:
        return L"Не выбран путь для установки программы!";
    case TPathVerdict::Root:
        return L"Программу нелзя устанавливать в корневой каталог!";
    case TPathVerdict::Accepted:
        break;
    }
    return {};
}
