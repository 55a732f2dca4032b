// Local times and session records for the tests of both trees.
#pragma once

#include <cstdint>
#include <ctime>

#include "core/base/session_record.h"

namespace hourlink::test {

// Seconds since 1970 of a local date and time.
inline std::uint32_t At(int year, int month, int day, int hour = 0, int minute = 0,
                        int second = 0) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return static_cast<std::uint32_t>(std::mktime(&tm));
}

// A finished session as the watcher completes it.
inline SessionRecord Finished(std::uint32_t start, std::int32_t seconds, int type = 2,
                              const char* name = "ADSL", std::uint8_t continuation = 0) {
    SessionRecord r;
    r.marker = kRecordMarker;
    r.start = start;
    r.type = static_cast<std::uint8_t>(type);
    r.SetName(name);
    r.SetClientIp("10.0.0.2");
    r.continuation = continuation;
    r.Complete(seconds);
    return r;
}

}  // namespace hourlink::test
