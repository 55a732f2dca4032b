// The program's two ways of showing time: a moment in local time and a duration
// in hours, minutes and seconds (hours not wrapped at 24).
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace hourlink {

// "%d:%02d:%02d", e.g. 27:03:09; a negative duration gets a leading minus.
std::wstring FormatDuration(std::int64_t seconds);

// "%Y/%m/%d %H:%M:%S" of a broken-down time.
std::wstring FormatDateTime(const std::tm& tm);

// The broken-down local time of a count of seconds since 1970, or nothing when
// the C library cannot represent it.
std::optional<std::tm> ToLocalTime(std::int64_t seconds);

// "%Y/%m/%d %H:%M:%S" of a count of seconds since 1970 in local time; an
// unrepresentable time gives an empty text.
std::wstring FormatLocalTime(std::int64_t seconds);

// Seconds since 1970 of a local date and time, fields out of range carried
// over as mktime does (day 32 is the 1st of the next month), summer time
// decided by the C library; nothing when it cannot be represented.
std::optional<std::int64_t> FromLocalTime(int year, int month, int day, int hour, int minute,
                                          int second);

}  // namespace hourlink
