// Outside Windows there is no event log to copy messages to, and no per-user separators to ask for: the
// log writes with the separators of the product's Russian systems.
#include "support/unitMyLog.h"

#include <ctime>

TLogSystem PlatformLogSystem() {
    TLogSystem system;
    system.Now = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        return TLocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                          local.tm_hour,        local.tm_min,     local.tm_sec};
    };
    system.DateSeparator = [] { return std::wstring(L"."); };
    system.TimeSeparator = [] { return std::wstring(L":"); };
    system.ReportToEventLog = [](const std::wstring&) {};
    return system;
}
