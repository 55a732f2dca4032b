#include "core/base/time_format.h"

#include <cstdio>
#include <cwchar>

namespace hourlink {

std::wstring FormatDuration(std::int64_t seconds) {
    const bool negative = seconds < 0;
    // Work on the magnitude as unsigned so even INT64_MIN has one.
    const std::uint64_t s =
        negative ? 0 - static_cast<std::uint64_t>(seconds) : static_cast<std::uint64_t>(seconds);
    wchar_t buffer[48];
    std::swprintf(buffer, 48, L"%ls%llu:%02u:%02u", negative ? L"-" : L"",
                  static_cast<unsigned long long>(s / 3600), static_cast<unsigned>(s / 60 % 60),
                  static_cast<unsigned>(s % 60));
    return buffer;
}

std::wstring FormatDateTime(const std::tm& tm) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%04d/%02d/%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buffer;
}

std::optional<std::tm> ToLocalTime(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
#ifdef _WIN32
    if (localtime_s(&tm, &t) != 0) return std::nullopt;
#else
    if (localtime_r(&t, &tm) == nullptr) return std::nullopt;
#endif
    return tm;
}

std::wstring FormatLocalTime(std::int64_t seconds) {
    const auto tm = ToLocalTime(seconds);
    return tm ? FormatDateTime(*tm) : std::wstring();
}

std::optional<std::int64_t> FromLocalTime(int year, int month, int day, int hour, int minute,
                                          int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(t);
}

}  // namespace hourlink
