#include "install/SpacePlan.h"

#include <algorithm>

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
