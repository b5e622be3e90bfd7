// A moment of the local clock, as the logs and the suite's files write it.
#pragma once

struct TLocalTime {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Milliseconds = 0;
};

// The local clock now, to the millisecond where the system tells it.
TLocalTime LocalNow();
