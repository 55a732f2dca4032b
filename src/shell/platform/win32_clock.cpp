#include "shell/platform/win32_clock.h"

#include <windows.h>

#include <ctime>

namespace hourlink {

std::int64_t Win32Clock::Now() const {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::uint64_t Win32Clock::TickCount() const {
    ULONGLONG units = 0;  // 100-nanosecond units
    QueryUnbiasedInterruptTime(&units);
    return units / 10000;
}

Win32Clock& Win32Clock::Instance() {
    static Win32Clock clock;
    return clock;
}

}  // namespace hourlink
