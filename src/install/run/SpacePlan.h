// How much room a run takes on a disk, from what it will copy there and what is there already; portable, so
// that the arithmetic is tested natively.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TPlannedFile {
    std::uint64_t Size = 0;                // what arrives
    std::optional<std::uint64_t> Existing; // what it replaces, where a file of that name is there
    bool KeepsExisting = false; // the old file stays beside it (the database is kept, not replaced)
    bool WrittenBeside = false; // written to a temporary file first, which then takes its place
};

// The most the copies add to their disk at any moment: a new file (or one whose old copy is kept) whole, a
// file replaced in place only its growth, and on top the largest file written beside the one it replaces,
// since both are on the disk until the new one takes its place.
std::uint64_t BytesNeeded(const std::vector<TPlannedFile>& files);

// Megabytes to one decimal place, with the comma a Russian reader expects: "12,5 МБ".
std::wstring Megabytes(std::uint64_t bytes);
// The box and the line of a disk without room: "Недостаточно места на диске «C:\»: нужно
// 12,5 МБ, свободно 3,1 МБ." The disk is named: the fonts may go to another than the suite's folder.
std::wstring NoSpaceText(const std::wstring& disk, std::uint64_t needed, std::uint64_t free);
