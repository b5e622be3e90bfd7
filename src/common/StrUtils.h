// Small text helpers shared by every layer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Removes every leading and trailing character of code 32 or below.
std::wstring TrimControl(std::wstring_view text);

// The path with a final backslash where it has none; an empty path stays empty.
std::wstring WithTrailingBackslash(std::wstring path);
// The path without its final backslashes; a drive's root ("C:\\") keeps its own.
std::wstring WithoutTrailingBackslash(std::wstring path);

// Whether `path` lies in `folder`, letter case aside. A folder given with its final backslash holds only what
// lies below it; one given without also counts as holding itself.
bool PathInFolder(std::wstring_view path, std::wstring_view folder) noexcept;

// Case without a locale: the lower-case letter of the Latin (with Latin-1 and Latin Extended-A), Greek and
// Cyrillic upper-case letters, every other character as it is. INI names and package folders compare so.
wchar_t FoldCase(wchar_t ch) noexcept;
// The lines of a text, ended by LF or CR LF; a last line without its end counts.
std::vector<std::string_view> TextLines(std::string_view text);
// The fields of a line of the program's own text files, separated by tabs (one field when there is none).
std::vector<std::string_view> TabFields(std::string_view line);

// The text as it reads after a colon: a first Cyrillic capital followed by a small letter made small; any
// other start (a Latin name, an abbreviation, a word in capitals) as it is.
std::wstring LowerFirst(std::wstring text);
// «text»: how the program's own texts quote a path or a name.
std::wstring Quoted(std::wstring_view text);
// The text with every quoted path below `folder` («<folder>X») written from that folder («X»); the folder
// itself and paths elsewhere stay whole. The progress list names the suite's files so; the run log in full.
std::wstring QuotedPathsBelow(std::wstring_view text, std::wstring_view folder);
// Equal but for letter case.
bool SameText(std::wstring_view a, std::wstring_view b) noexcept;
// Ascending order without regard to letter case.
bool LessText(std::wstring_view a, std::wstring_view b) noexcept;
