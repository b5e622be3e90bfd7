#include "install/run/SpacePlan.h"

#include <algorithm>

#include "common/StrUtils.h"

std::uint64_t BytesNeeded(const std::vector<TPlannedFile>& files) {
    std::uint64_t total = 0;
    std::uint64_t largestBeside = 0;
    for (const TPlannedFile& file : files) {
        if (!file.Existing || file.KeepsExisting) {
            total += file.Size;
            continue;
        }
        total += file.Size > *file.Existing ? file.Size - *file.Existing : 0;
        if (file.WrittenBeside)
            largestBeside = std::max(largestBeside, file.Size);
    }
    return total + largestBeside;
}

std::wstring Megabytes(std::uint64_t bytes) {
    const std::uint64_t tenths = (bytes * 10 + 512 * 1024) / (1024 * 1024);
    return std::to_wstring(tenths / 10) + L"," + std::to_wstring(tenths % 10) + L" МБ";
}

std::wstring NoSpaceText(const std::wstring& disk, std::uint64_t needed, std::uint64_t free) {
    return L"Недостаточно места на диске " + Quoted(disk) + L": нужно " + Megabytes(needed) + L", свободно " +
           Megabytes(free) + L".";
}
