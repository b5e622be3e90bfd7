#include "common/LocalTime.h"

#include <cstdio>
#include <iterator>

std::wstring DateStamp(const TLocalTime& Time) {
    wchar_t text[16];
    std::swprintf(text, std::size(text), L"%04d%02d%02d", Time.Year, Time.Month, Time.Day);
    return text;
}

std::wstring DateTimeStamp(const TLocalTime& Time) {
    wchar_t text[32];
    std::swprintf(text, std::size(text), L"%04d%02d%02d-%02d%02d%02d", Time.Year, Time.Month, Time.Day,
                  Time.Hour, Time.Minute, Time.Second);
    return text;
}
