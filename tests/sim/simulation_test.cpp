// Ninety simulated days of use, with a fixed seed, in a time zone with summer
// time in Europe, one in America and one without: every step is held against
// the reference (tests/sim/month_simulation.h).
#include <gtest/gtest.h>

#include "automation_simulation.h"
#include "month_simulation.h"
#include "time_zone.h"

namespace hourlink::sim {
namespace {

struct Zone {
    const char* zone;
    std::uint64_t seed;
    int year, month, day;
};

TEST(MonthSimulation, NinetyDaysInThreeTimeZonesMatchTheReference) {
    // Each run crosses month ends, a change of summer time where there is
    // one, and (in Shanghai) a year end.
    const Zone runs[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", 20261208, 2026, 2, 20},
        {"EST5EDT,M3.2.0,M11.1.0", 20261209, 2026, 9, 25},
        {"CST-8", 20261210, 2026, 11, 15},
    };
    for (const Zone& run : runs) {
        test::ScopedTimeZone zone(run.zone);
        const SimulationResult result = RunSimulation(
            {.seed = run.seed, .days = 90, .year = run.year, .month = run.month, .day = run.day});
        EXPECT_TRUE(result.ok) << run.zone << "\n" << result.failure;
        // The run did live through something.
        EXPECT_GT(result.sessions, 100) << run.zone;
        EXPECT_GT(result.restarts, 10) << run.zone;
    }
}

TEST(AutomationSimulation, WeeksOfDialsPlansAndShutdownsKeepEveryRule) {
    // Three weeks each over a change of summer time (Europe, America) and
    // over a year end (Shanghai).
    const Zone runs[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", 20261208, 2026, 3, 20},
        {"EST5EDT,M3.2.0,M11.1.0", 20261209, 2026, 10, 25},
        {"CST-8", 20261210, 2026, 12, 20},
    };
    AutomationResult lived;
    for (const Zone& run : runs) {
        test::ScopedTimeZone zone(run.zone);
        const AutomationResult result = RunAutomationSimulation(
            {.seed = run.seed, .days = 21, .year = run.year, .month = run.month, .day = run.day});
        EXPECT_TRUE(result.ok) << run.zone << "\n" << result.failure;
        lived.connections += result.connections;
        lived.planHangUps += result.planHangUps;
        lived.countdowns += result.countdowns;
        lived.powerOffs += result.powerOffs;
    }
    // The runs did live through what the rules are about.
    EXPECT_GT(lived.connections, 60);
    EXPECT_GT(lived.planHangUps, 10);
    EXPECT_GT(lived.countdowns, 5);
    EXPECT_GT(lived.powerOffs, 2);
}

}  // namespace
}  // namespace hourlink::sim
