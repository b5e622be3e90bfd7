#include "install/PackageChoice.h"

#include <algorithm>

#include "common/Error.h"
#include "common/StrUtils.h"

namespace {

constexpr std::size_t DateLength = 6;

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

} // namespace

void SortPackageList(std::vector<std::wstring>& List) {
    std::stable_sort(List.begin(), List.end(),
                     [](const std::wstring& a, const std::wstring& b) { return LessText(a, b); });
}

std::int32_t PackageDateKey(std::wstring_view Path) {
    const bool digits =
        Path.size() >= DateLength &&
        std::all_of(Path.end() - DateLength, Path.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
    if (!digits)
        throw TError(L"Имя пакета выпуска не оканчивается датой выпуска из шести цифр (ДДММГГ): \"" +
                     std::wstring(Path) + L"\"");
    const std::wstring_view date = Path.substr(Path.size() - DateLength);
    auto pair = [&](std::size_t at) { return (date[at] - L'0') * 10 + (date[at + 1] - L'0'); };
    return pair(4) * 10000 + pair(2) * 100 + pair(0);
}

std::size_t NewestPackage(const std::vector<std::wstring>& Sorted, std::wstring_view StoreFolder) {
    if (Sorted.empty())
        throw TError(L"В каталоге пакетов выпуска \"" + std::wstring(StoreFolder) +
                     L"\" нет ни одного пакета");
    std::vector<std::int32_t> keys;
    keys.reserve(Sorted.size());
    for (const std::wstring& path : Sorted)
        keys.push_back(PackageDateKey(path));
    std::size_t best = 0;
    for (std::size_t i = 1; i < keys.size(); ++i)
        if (keys[i] > keys[best])
            best = i;
    return best;
}

std::wstring PackageLevelText(std::wstring_view Path) {
    while (!Path.empty() && IsSeparator(Path.back()))
        Path.remove_suffix(1);
    std::size_t start = Path.size();
    while (start > 0 && !IsSeparator(Path[start - 1]))
        --start;
    const std::wstring_view name = Path.substr(start);
    return name.empty() ? std::wstring() : std::wstring(name.substr(1));
}
