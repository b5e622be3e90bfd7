#include "app/TargetPath.h"

std::wstring TrimControl(std::wstring_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned>(text[last - 1]) <= 32)
        --last;
    return std::wstring(text.substr(first, last - first));
}

TPathCheck CheckTargetPath(std::wstring_view entry) {
    std::wstring path = TrimControl(entry);
    if (path.empty())
        return {TPathVerdict::Empty, {}};
    if (path.back() != L'\\')
        path += L'\\';
    if (path.size() <= 3)
        return {TPathVerdict::Root, path};
    return {TPathVerdict::Accepted, path};
}
