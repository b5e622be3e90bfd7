// Small text helpers shared by every layer.
#pragma once

#include <string>
#include <string_view>

// Removes every leading and trailing character of code 32 or below.
std::wstring TrimControl(std::wstring_view text);

// Case without a locale: the lower-case letter of the Latin (with Latin-1 and Latin Extended-A), Greek and
// Cyrillic upper-case letters, every other character as it is. INI names and package folders compare so.
wchar_t FoldCase(wchar_t ch) noexcept;
// Equal but for letter case.
bool SameText(std::wstring_view a, std::wstring_view b) noexcept;
// Ascending order without regard to letter case.
bool LessText(std::wstring_view a, std::wstring_view b) noexcept;
