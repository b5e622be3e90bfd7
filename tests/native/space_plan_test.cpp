// The room a run needs on a disk.
#include <gtest/gtest.h>

#include <optional>

#include "install/run/SpacePlan.h"

namespace {
TPlannedFile New(std::uint64_t size) {
    return {size, std::nullopt, false, false};
}
TPlannedFile Replacing(std::uint64_t size, std::uint64_t existing, bool beside = false) {
    return {size, existing, false, beside};
}
} // namespace

TEST(SpacePlan, NewFilesCountWholeAndReplacedOnesOnlyTheirGrowthAndTheLargestCopyBesideIt) {
    EXPECT_EQ(BytesNeeded({}), 0u);
    // First installation: everything is new.
    EXPECT_EQ(BytesNeeded({New(100), New(50), New(7)}), 157u);
    // A reinstall of the same files: nothing grows, but the largest file written beside its old copy is on
    // the disk twice for a moment.
    EXPECT_EQ(BytesNeeded({Replacing(100, 100, true), Replacing(300, 300, true), Replacing(50, 50)}), 300u);
    // A file that grew adds its growth; one that shrank gives nothing back before the end.
    EXPECT_EQ(BytesNeeded({Replacing(120, 100), Replacing(10, 90)}), 20u);
    // The database's old copy is kept beside the new one.
    EXPECT_EQ(BytesNeeded({{1000, 900, true, true}, Replacing(5, 5)}), 1000u);
}
