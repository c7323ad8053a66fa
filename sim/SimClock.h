#pragma once

#include <chrono>

// Every time in the simulator is taken from one monotonic clock, so that
// schedules computed from earlier events never drift against the wall.
using SimClock = std::chrono::steady_clock;
using SimTime = SimClock::time_point;
