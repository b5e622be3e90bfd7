// The event-log functions the log calls, as a table that tests may point at their own fakes.
#pragma once

#include <windows.h>

struct TEventLogApi {
    decltype(&::RegisterEventSourceW) Register = &::RegisterEventSourceW;
    decltype(&::ReportEventW) Report = &::ReportEventW;
    decltype(&::DeregisterEventSource) Deregister = &::DeregisterEventSource;
};

TEventLogApi& EventLogApi() noexcept;
