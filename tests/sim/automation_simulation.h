// Weeks of connection control in seconds: the dialer on a scripted RAS, the
// weekly plan and the shutdown plan, driven as the frame drives them, with a
// user who dials, hangs up, edits the plan, restarts the program, changes the
// clock and puts the machine to sleep, and lines that fail and drop.
//
// The dial threads are real; they wait on the simulation's clock, and the
// simulation moves on only once every thread is waiting or gone, so a run is
// the same every time. At every step the program is held against rules kept
// apart from its code:
//  - the plan dials only inside a window, never after the user hung up in it,
//    never while connected, and each window's dials stay within the retry
//    count until something starts it afresh (a line drop, a plan saved, a
//    clock change, a new run);
//  - the plan hangs up only a connection its own dial made in this run, and
//    only from its window's stop on, and it does hang it up then;
//  - a window that opens while the program waits offline is dialled;
//  - every RAS handle is hung up at most once, none is left dialling or
//    failed, and a connection is ended only when someone asked for it;
//  - "连接..." is off while a dial runs, "挂断" off with nothing to end;
//  - a shutdown countdown comes only when an armed moment or hour is due,
//    once for it, and an armed moment that falls due does bring it.
#pragma once

#include <cstdint>
#include <string>

namespace hourlink::sim {

struct AutomationOptions {
    std::uint64_t seed = 1;
    int days = 30;
    // Local date the run begins on (in the caller's time zone).
    int year = 2026;
    int month = 3;
    int day = 20;
};

struct AutomationResult {
    bool ok = true;
    // What broke, the seed, and the events that led there.
    std::string failure;
    int events = 0;
    int dials = 0;
    int connections = 0;
    int planHangUps = 0;
    int countdowns = 0;
    int powerOffs = 0;
    int restarts = 0;
};

AutomationResult RunAutomationSimulation(const AutomationOptions& options);

}  // namespace hourlink::sim
