// Which release package of the package store gets installed, and the level that "ReleaseInfo" records
// for it. A package is a folder whose name ends in its release date, DDMMYY.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Ascending order without regard to letter case (Latin and Cyrillic letters).
void SortPackageList(std::vector<std::wstring>& List);

// The release date at the end of a package path, DDMMYY, read as the number YYMMDD, so that a later date
// within one century gives a larger key. Raises TError naming the path when the last six characters are
// not all decimal digits.
std::int32_t PackageDateKey(std::wstring_view Path);

// The index of the newest package of a sorted list; of equal dates the one first in the list wins. Every
// entry's date is checked. Raises TError naming StoreFolder when the list is empty.
std::size_t NewestPackage(const std::vector<std::wstring>& Sorted, std::wstring_view StoreFolder);

// The package folder's own name without its first character ("R010321" records "010321").
std::wstring PackageLevelText(std::wstring_view Path);

// The release a run installed, as deployment tools read it: the release file's Version, then the installed
// level's date (DDMMYY, this century) as year, month and day, "1.2021.03.01", which sorts as releases grow.
// Only the Version where the level is no date ("R000000" of a package never installed, or none).
struct TDisplayVersion {
    std::wstring Text;
    std::uint32_t Major = 0; // the Version
    std::uint32_t Minor = 0; // the date as YYYYMMDD, 0 without one
};
TDisplayVersion ReleaseDisplayVersion(std::wstring_view Version, std::wstring_view Level);
