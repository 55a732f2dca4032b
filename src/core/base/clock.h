// The clock seam: wall-clock seconds and a monotonic millisecond counter.
#pragma once

#include <cstdint>

namespace hourlink {

class Clock {
  public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 00:00 UTC, as the C library's time() gives them.
    virtual std::int64_t Now() const = 0;
    // Milliseconds from an arbitrary origin; never goes backwards.
    virtual std::uint64_t TickCount() const = 0;
};

// The real clock: time() and a steady clock.
class SystemClock final : public Clock {
  public:
    std::int64_t Now() const override;
    std::uint64_t TickCount() const override;
    static SystemClock& Instance();
};

// A clock that tests set by hand.
class ManualClock final : public Clock {
  public:
    explicit ManualClock(std::int64_t now = 0, std::uint64_t ticks = 0)
        : now_(now), ticks_(ticks) {}
    std::int64_t Now() const override { return now_; }
    std::uint64_t TickCount() const override { return ticks_; }
    void Set(std::int64_t now) { now_ = now; }
    void Advance(std::int64_t seconds) {
        now_ += seconds;
        ticks_ += static_cast<std::uint64_t>(seconds) * 1000;
    }

  private:
    std::int64_t now_;
    std::uint64_t ticks_;
};

}  // namespace hourlink
