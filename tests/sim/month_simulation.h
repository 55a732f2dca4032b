// A month of use in a minute: a deterministic simulation of the program as a
// tray program lives through weeks, checked against a reference written apart
// from the code.
//
// The world is a simulated clock (the caller sets the time zone), an in-memory
// file system, a scripted network and the settings. The program is the real
// core: the record file, its maintenance, the connection watcher, the session
// core with its history model, limits and traffic, and the backup, driven as
// the Windows shell drives them (the watcher's passes, its posted and sent
// events, the session tick at every full minute of a session, the day timer).
// A seeded generator throws events at it: LAN and RAS connections coming up
// and dropping, crashes and restarts, Windows shutdowns, sleeps, clock
// changes, the user browsing months and filters, new start days and limits.
//
// The reference is a plain list of the records the file must hold, kept from
// what happened in the world. After every event the file, the table, the
// current month and its figures are held against it, and at every tick the
// limits' decisions.
#pragma once

#include <cstdint>
#include <string>

namespace hourlink::sim {

struct SimulationOptions {
    std::uint64_t seed = 1;
    int days = 90;
    // Local date the run begins on (in the caller's time zone).
    int year = 2026;
    int month = 2;
    int day = 20;
};

struct SimulationResult {
    bool ok = true;
    // What broke, the seed, and the events that led there.
    std::string failure;
    int events = 0;
    int ticks = 0;
    int sessions = 0;
    int restarts = 0;
};

SimulationResult RunSimulation(const SimulationOptions& options);

}  // namespace hourlink::sim
