// hourlink-simulate: the month simulation and the connection control's for as
// long as asked.
//   hourlink-simulate [DAYS [SEED [ZONE [month|control]]]]
// defaults: 365 days, seed 1, CET, both simulations
// Prints what each lived through, or the failure with its seed and the events
// that led there; exit 1 on a failure.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "automation_simulation.h"
#include "month_simulation.h"

int main(int argc, char** argv) {
    using namespace hourlink::sim;
    SimulationOptions options;
    options.days = argc > 1 ? std::atoi(argv[1]) : 365;
    options.seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const std::string zone = argc > 3 ? argv[3] : "CET-1CEST,M3.5.0,M10.5.0/3";
    const std::string which = argc > 4 ? argv[4] : "both";
    setenv("TZ", zone.c_str(), 1);
    tzset();
    if (which != "control") {
        const SimulationResult month = RunSimulation(options);
        std::printf(
            "month, %d days, seed %llu, TZ=%s: %d events, %d sessions, %d ticks, %d starts\n",
            options.days, static_cast<unsigned long long>(options.seed), zone.c_str(), month.events,
            month.sessions, month.ticks, month.restarts);
        if (!month.ok) {
            std::printf("%s", month.failure.c_str());
            return 1;
        }
    }
    if (which != "month") {
        const AutomationResult control = RunAutomationSimulation({.seed = options.seed,
                                                                  .days = options.days,
                                                                  .year = options.year,
                                                                  .month = options.month,
                                                                  .day = options.day});
        std::printf(
            "connection control, %d days: %d events, %d dials, %d connections, %d hung up "
            "by the plan, %d shutdown countdowns, %d power-offs, %d starts\n",
            options.days, control.events, control.dials, control.connections, control.planHangUps,
            control.countdowns, control.powerOffs, control.restarts);
        if (!control.ok) {
            std::printf("%s", control.failure.c_str());
            return 1;
        }
    }
    std::printf("the program kept to the rules at every step\n");
    return 0;
}
