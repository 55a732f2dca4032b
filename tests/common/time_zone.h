// Sets the process's time zone (a POSIX TZ text) for the lifetime of the
// object and puts back what was there before, set or not.
#pragma once

#include <time.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace hourlink::test {

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* tz = std::getenv("TZ")) saved_ = tz;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (saved_) {
            setenv("TZ", saved_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> saved_;
};

}  // namespace hourlink::test
