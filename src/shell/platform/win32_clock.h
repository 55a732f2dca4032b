// The program's clock on Windows: the calendar time, and a tick count that
// stands still while the machine sleeps or hibernates, so a session's length
// never takes in the time asleep (the performance counter behind the C++
// steady clock goes on counting through standby).
#pragma once

#include "core/base/clock.h"

namespace hourlink {

class Win32Clock final : public Clock {
  public:
    std::int64_t Now() const override;
    // Milliseconds of unbiased interrupt time: time awake since boot.
    std::uint64_t TickCount() const override;
    static Win32Clock& Instance();
};

}  // namespace hourlink
