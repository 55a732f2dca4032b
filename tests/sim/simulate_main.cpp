// hourlink-simulate: the month simulation for as long as asked.
//   hourlink-simulate [DAYS [SEED [ZONE]]]     defaults: 365 days, seed 1, CET
// Prints what it lived through, or the failure with its seed and the events
// that led there; exit 1 on a failure.
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "month_simulation.h"

int main(int argc, char** argv) {
    hourlink::sim::SimulationOptions options;
    options.days = argc > 1 ? std::atoi(argv[1]) : 365;
    options.seed = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 1;
    const std::string zone = argc > 3 ? argv[3] : "CET-1CEST,M3.5.0,M10.5.0/3";
    setenv("TZ", zone.c_str(), 1);
    tzset();
    const hourlink::sim::SimulationResult result = hourlink::sim::RunSimulation(options);
    std::printf("%d days, seed %llu, TZ=%s: %d events, %d sessions, %d ticks, %d starts\n",
                options.days, static_cast<unsigned long long>(options.seed), zone.c_str(),
                result.events, result.sessions, result.ticks, result.restarts);
    if (!result.ok) {
        std::printf("%s", result.failure.c_str());
        return 1;
    }
    std::printf("the program matched the reference at every step\n");
    return 0;
}
