#include "install/steps/PackageChoice.h"

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
        throw TError(L"Имя пакета выпуска не оканчивается датой выпуска из шести цифр (ДДММГГ): " +
                     Quoted(Path));
    const std::wstring_view date = Path.substr(Path.size() - DateLength);
    auto pair = [&](std::size_t at) { return (date[at] - L'0') * 10 + (date[at + 1] - L'0'); };
    return pair(4) * 10000 + pair(2) * 100 + pair(0);
}

std::size_t NewestPackage(const std::vector<std::wstring>& Sorted, std::wstring_view StoreFolder) {
    if (Sorted.empty())
        throw TError(L"В каталоге пакетов выпуска " + Quoted(StoreFolder) + L" нет ни одного пакета");
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

TDisplayVersion ReleaseDisplayVersion(std::wstring_view Version, std::wstring_view Level) {
    TDisplayVersion result;
    std::uint32_t major = 0;
    bool digits = !Version.empty() && Version.size() <= 9;
    for (wchar_t c : Version)
        digits = digits && c >= L'0' && c <= L'9';
    if (digits)
        for (wchar_t c : Version)
            major = major * 10 + static_cast<std::uint32_t>(c - L'0');
    result.Major = major;
    result.Text = std::to_wstring(major);
    const bool dated = Level.size() == DateLength && std::all_of(Level.begin(), Level.end(), [](wchar_t c) {
                           return c >= L'0' && c <= L'9';
                       });
    if (!dated)
        return result;
    auto pair = [&](std::size_t at) {
        return static_cast<std::uint32_t>((Level[at] - L'0') * 10 + (Level[at + 1] - L'0'));
    };
    const std::uint32_t day = pair(0), month = pair(2), year = 2000 + pair(4);
    if (day < 1 || day > 31 || month < 1 || month > 12)
        return result;
    auto two = [](std::uint32_t n) { return (n < 10 ? L"0" : L"") + std::to_wstring(n); };
    result.Text += L"." + std::to_wstring(year) + L"." + two(month) + L"." + two(day);
    result.Minor = year * 10000 + month * 100 + day;
    return result;
}
