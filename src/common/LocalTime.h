// A moment of the local clock, as the logs and the suite's files write it.
#pragma once

#include <string>

struct TLocalTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
};

// The local clock now, to the millisecond where the system tells it.
TLocalTime LocalNow();

// The moment as the suite's file names and the registry carry it: "20240305", and "20240305-070809".
std::wstring DateStamp(const TLocalTime& Time);
std::wstring DateTimeStamp(const TLocalTime& Time);
