#include "core/accounting/session_clock.h"
#include "time_zone.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace hourlink {
namespace {

TEST(SessionClock, CountsFromTheTrueStartAndIgnoresTheWallClock) {
    SessionClock clock;
    // A session that began ten minutes before the frame heard of it.
    clock.Start(1'765'000'600, 1'765'000'000, 5'000);
    EXPECT_EQ(clock.Elapsed(5'000), 600u);
    EXPECT_EQ(clock.Elapsed(5'999), 600u);
    EXPECT_EQ(clock.Elapsed(6'000), 601u);
    EXPECT_EQ(clock.Elapsed(5'000 + 3'600'000), 4200u);

    // The tick counter wraps around after 49.7 days; the length goes on.
    clock.Start(100, 100, 0xFFFFF000u);
    EXPECT_EQ(clock.Elapsed(0xFFFFF000u + 10'000u), 10u);

    // A start in the future (the clock was set back) counts from zero.
    clock.Start(100, 500, 0);
    EXPECT_EQ(clock.ElapsedAtConnect(), 0u);
}

TEST(SessionStartText, ShowsTheStartOrNowWhenNoRealStartIsKnown) {
    const test::ScopedTimeZone utc("UTC");
    EXPECT_EQ(SessionStartText(1'765'000'000, 1'765'009'999), L"2025/12/06 05:46:40");
    EXPECT_EQ(SessionStartText(0, 1'765'000'000), L"2025/12/06 05:46:40");
    EXPECT_EQ(SessionStartText(378'691'199, 1'765'000'000), L"2025/12/06 05:46:40");  // 1981
    EXPECT_EQ(SessionStartText(378'691'200, 1'765'000'000), L"1982/01/01 00:00:00");
}

TEST(WindowPlacementOnScreen, KeepsAnIconsWorthVisible) {
    const WindowPlacement inside{1, 100, 50, 600, 850};
    auto r = PlaceOnScreen(inside, 1024, 768, 32, 32);
    EXPECT_EQ(r.x, 50);
    EXPECT_EQ(r.y, 100);
    EXPECT_EQ(r.width, 800);
    EXPECT_EQ(r.height, 500);

    const WindowPlacement beyond{1, 5000, 3000, 5400, 3600};
    r = PlaceOnScreen(beyond, 1024, 768, 32, 32);
    EXPECT_EQ(r.x, 1024 - 32);
    EXPECT_EQ(r.y, 768 - 32);
    EXPECT_EQ(r.width, 600);
    EXPECT_EQ(r.height, 400);
}

TEST(WindowPlacementOnScreen, ASizeBeyondAnIntIsNone) {
    const WindowPlacement huge{1, INT_MIN, INT_MIN, INT_MAX, INT_MAX};
    const auto r = PlaceOnScreen(huge, 1024, 768, 32, 32);
    EXPECT_EQ(r.width, 0);
    EXPECT_EQ(r.height, 0);
}

}  // namespace
}  // namespace hourlink
