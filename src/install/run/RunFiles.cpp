#include "install/run/RunFiles.h"

#include <bit>
#include <limits>

namespace {

// Days from 1 January 1970 to the given civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

} // namespace

double DaysSince1899(const TLocalTime& t) {
    const std::int64_t days =
        DaysFromCivil(t.Year, static_cast<unsigned>(t.Month), static_cast<unsigned>(t.Day)) -
        DaysFromCivil(1899, 12, 30);
    const double seconds = t.Hour * 3600.0 + t.Minute * 60.0 + t.Second + t.Milliseconds / 1000.0;
    return static_cast<double>(days) + seconds / 86400.0;
}

std::array<std::uint8_t, LastNumSize> LastNumContent(double days) {
    std::array<std::uint8_t, LastNumSize> bytes{};
    static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(days);
    for (int i = 0; i < 8; ++i)
        bytes[6 + i] = static_cast<std::uint8_t>(bits >> (8 * i));
    return bytes;
}
