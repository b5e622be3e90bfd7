#include "common/StrUtils.h"

#include <algorithm>
#include <cstdint>

std::wstring TrimControl(std::wstring_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && static_cast<unsigned>(text[first]) <= 32)
        ++first;
    while (last > first && static_cast<unsigned>(text[last - 1]) <= 32)
        --last;
    return std::wstring(text.substr(first, last - first));
}

std::wstring WithTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool PathInFolder(std::wstring_view path, std::wstring_view folder) noexcept {
    if (path.size() < folder.size() || !SameText(path.substr(0, folder.size()), folder))
        return false;
    if (!folder.empty() && folder.back() == L'\\')
        return path.size() > folder.size();
    return path.size() == folder.size() || path[folder.size()] == L'\\';
}

wchar_t FoldCase(wchar_t ch) noexcept {
    const auto c = static_cast<std::uint32_t>(ch);
    auto lowerOfPair = [&](bool upperIsEven) {
        return static_cast<wchar_t>(((c % 2 == 0) == upperIsEven) ? c + 1 : c);
    };
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? static_cast<wchar_t>(c + 32) : ch;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<wchar_t>(c + 32);
    if (c >= 0x100 && c <= 0x137)
        return lowerOfPair(true);
    if (c >= 0x139 && c <= 0x148)
        return lowerOfPair(false);
    if (c >= 0x14A && c <= 0x177)
        return lowerOfPair(true);
    if (c == 0x178)
        return static_cast<wchar_t>(0xFF);
    if (c >= 0x179 && c <= 0x17E)
        return lowerOfPair(false);
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return static_cast<wchar_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<wchar_t>(c + 80);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<wchar_t>(c + 32);
    if ((c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF) || (c >= 0x4D0 && c <= 0x52F))
        return lowerOfPair(true);
    if (c == 0x4C0)
        return static_cast<wchar_t>(0x4CF);
    if (c >= 0x4C1 && c <= 0x4CE)
        return lowerOfPair(false);
    return ch;
}

std::vector<std::string_view> TextLines(std::string_view text) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string_view> TabFields(std::string_view line) {
    std::vector<std::string_view> fields;
    for (std::size_t start = 0;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(
            line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            return fields;
        start = tab + 1;
    }
}

namespace {
bool CyrillicUpper(wchar_t c) noexcept {
    return (c >= 0x400 && c <= 0x42F);
}
bool CyrillicLower(wchar_t c) noexcept {
    return (c >= 0x430 && c <= 0x45F);
}
} // namespace

std::wstring LowerFirst(std::wstring text) {
    // A word of ours or of the system's Russian messages; "Windows", "SID" and "ОШИБКА" keep their case.
    if (text.size() >= 2 && CyrillicUpper(text[0]) && CyrillicLower(text[1]))
        text[0] = FoldCase(text[0]);
    return text;
}

std::wstring Quoted(std::wstring_view text) {
    return L"«" + std::wstring(text) + L"»";
}

std::wstring QuotedPathsBelow(std::wstring_view text, std::wstring_view folder) {
    const std::wstring below = WithTrailingBackslash(std::wstring(folder));
    std::wstring result;
    std::size_t from = 0;
    for (std::size_t open = text.find(L'«'); open != std::wstring_view::npos && !folder.empty();
         open = text.find(L'«', from)) {
        const std::size_t start = open + 1;
        result.append(text.substr(from, start - from));
        from = start;
        const std::size_t close = text.find(L'»', start);
        if (close == std::wstring_view::npos)
            break;
        const std::wstring_view path = text.substr(start, close - start);
        if (path.size() > below.size() && SameText(path.substr(0, below.size()), below))
            from = start + below.size();
    }
    result.append(text.substr(from));
    return result;
}

bool SameText(std::wstring_view a, std::wstring_view b) noexcept {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

bool LessText(std::wstring_view a, std::wstring_view b) noexcept {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return FoldCase(x) < FoldCase(y); });
}
