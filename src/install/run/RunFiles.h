// The small files the installation run writes itself, as bytes and dates: portable, so their layout is
// fixed by the code and not by a compiler's packing, and the same from every build.
#pragma once

#include <array>
#include <cstdint>

#include "common/LocalTime.h"

// Days since 30 December 1899 00:00, the fraction being the time of day (the suite's date format).
double DaysSince1899(const TLocalTime& time);

// "Settings\lastnum.dta": 2 zero bytes, a 32-bit zero, then the date of writing as a little-endian double.
inline constexpr std::size_t LastNumSize = 14;
std::array<std::uint8_t, LastNumSize> LastNumContent(double days);
