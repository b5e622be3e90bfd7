// Outside Windows there is no event log to copy messages to, and no per-user separators to ask for: the
// log writes with the separators of the product's Russian systems.
#include "support/unitMyLog.h"

TLogSystem PlatformLogSystem() {
    TLogSystem system;
    system.Now = LocalNow;
    system.DateSeparator = [] { return std::wstring(L"."); };
    system.TimeSeparator = [] { return std::wstring(L":"); };
    system.ReportToEventLog = [](const std::wstring&) {};
    return system;
}
