#include "common/StrUtils.h"

std::wstring TrimControl(std::wstring_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned>(text[last - 1]) <= 32)
        --last;
    return std::wstring(text.substr(first, last - first));
}
