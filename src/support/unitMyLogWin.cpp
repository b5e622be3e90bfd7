// Windows side of the log: local time, the user's date and time separators, the application event log.
#include "support/unitMyLog.h"
#include "support/unitMyLogWin.h"

#include <iterator>
#include <string>

namespace {

std::wstring LocaleText(LCTYPE item, const wchar_t* fallback) {
    wchar_t buffer[16] = {};
    if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, static_cast<int>(std::size(buffer))) <= 1)
        return fallback;
    return buffer;
}

// The source handle goes back through the same table it came from.
class TEventSource {
public:
    explicit TEventSource(const TEventLogApi& api)
        : FApi(api), FHandle(api.Register(nullptr, std::wstring(EventSourceName).c_str())) {}
    TEventSource(const TEventSource&) = delete;
    TEventSource& operator=(const TEventSource&) = delete;
    ~TEventSource() {
        if (FHandle)
            FApi.Deregister(FHandle);
    }
    HANDLE Get() const noexcept { return FHandle; }

private:
    const TEventLogApi& FApi;
    HANDLE FHandle;
};

void ReportEntry(const std::wstring& insertion) {
    const TEventLogApi api = EventLogApi();
    TEventSource source(api);
    if (!source.Get())
        return;
    const wchar_t* strings[] = {insertion.c_str()};
    api.Report(source.Get(), EVENTLOG_INFORMATION_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
}

} // namespace

TEventLogApi& EventLogApi() noexcept {
    static TEventLogApi api;
    return api;
}

TLogSystem PlatformLogSystem() {
    TLogSystem system;
    system.Now = LocalNow;
    system.DateSeparator = [] { return LocaleText(LOCALE_SDATE, L"/"); };
    system.TimeSeparator = [] { return LocaleText(LOCALE_STIME, L":"); };
    system.ReportToEventLog = ReportEntry;
    return system;
}
