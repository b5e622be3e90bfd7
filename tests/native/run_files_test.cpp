// The files the installation run writes itself: dates in the suite's format and the counter file's bytes.
#include <gtest/gtest.h>

#include <cstring>

#include "install/run/RunFiles.h"

TEST(RunFiles, DaysSince1899CountsFromTheSuitesEpoch) {
    EXPECT_DOUBLE_EQ(DaysSince1899({1899, 12, 30, 0, 0, 0, 0}), 0.0);
    EXPECT_DOUBLE_EQ(DaysSince1899({1900, 1, 1, 6, 0, 0, 0}), 2.25);
    EXPECT_DOUBLE_EQ(DaysSince1899({2020, 1, 1, 12, 0, 0, 0}), 43831.5);
    // 2000 is a leap year, 1900 is not: both rules of the calendar are met.
    EXPECT_DOUBLE_EQ(DaysSince1899({2000, 3, 1, 0, 0, 0, 0}) - DaysSince1899({2000, 2, 28, 0, 0, 0, 0}), 2.0);
    EXPECT_DOUBLE_EQ(DaysSince1899({1900, 3, 1, 0, 0, 0, 0}) - DaysSince1899({1900, 2, 28, 0, 0, 0, 0}), 1.0);
    EXPECT_NEAR(DaysSince1899({2026, 12, 9, 23, 59, 59, 999}) - DaysSince1899({2026, 12, 9, 0, 0, 0, 0}),
                1.0 - 0.001 / 86400, 1e-9);
}

TEST(RunFiles, LastNumHoldsZeroesAndTheDateAsLittleEndianDouble) {
    const auto bytes = LastNumContent(43831.5);
    ASSERT_EQ(bytes.size(), 14u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(bytes[i], 0) << i;
    // 43831.5 = 0x40E566F000000000
    const unsigned char expected[8] = {0x00, 0x00, 0x00, 0x00, 0xF0, 0x66, 0xE5, 0x40};
    EXPECT_EQ(std::memcmp(bytes.data() + 6, expected, 8), 0);
}
