// The room a run needs on a disk.
#include <gtest/gtest.h>

#include "install/SpacePlan.h"

TEST(SpacePlan, NewFilesCountWholeAndReplacedOnesOnlyTheirGrowthAndTheLargestCopyBesideIt) {
    EXPECT_EQ(BytesNeeded({}), 0u);
    // First installation: everything is new.
    EXPECT_EQ(BytesNeeded({{100}, {50}, {7}}), 157u);
    // A reinstall of the same files: nothing grows, but the largest file written beside its old copy is on
    // the disk twice for a moment.
    EXPECT_EQ(BytesNeeded({{100, 100, false, true}, {300, 300, false, true}, {50, 50}}), 300u);
    // A file that grew adds its growth; one that shrank gives nothing back before the end.
    EXPECT_EQ(BytesNeeded({{120, 100}, {10, 90}}), 20u);
    // The database's old copy is kept beside the new one.
    EXPECT_EQ(BytesNeeded({{1000, 900, true}, {5, 5}}), 1000u);
}
