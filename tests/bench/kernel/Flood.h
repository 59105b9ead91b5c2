#pragma once

#include "BenchSide.h"

namespace velmor::bench {

// A report flood: presses and releases of K01 at a fixed rate for some seconds.
struct FloodFigures {
    int presses = 0;
    double reportsPerSecond = 0;
    double cpuPercent = -1; // the program's CPU time over the window
    int typed = 0;          // shortcut key presses seen
    int lost = 0;           // presses without a shortcut
    int extra = 0;          // shortcuts nobody pressed for (a repeat that did not stop)
    int stuck = 0;          // keys still down, or released out of order
    int heldUp = 0;         // times the whole machine stood still (the host did not run it)
    bool overflowed = false; // our reader fell behind: the tally is incomplete

    bool flawless() const { return lost == 0 && extra == 0 && stuck == 0 && !overflowed; }
};

FloodFigures flood(Side& side, int seconds, int reportsPerSecond);

} // namespace velmor::bench
