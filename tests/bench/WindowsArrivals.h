#pragma once

// What another machine's oversized profiles do to the windows: the whole application
// in this process with its mapping and admin windows open, offscreen, while a second
// client of its cloud folder saves a record whose active user profile has a name of
// 1,000,000 characters, then one whose active PACS profile holds 100,000 tools. For each,
// the longest single hold of the window's thread from the look at the folder that finds
// it until the windows have settled (HoldMeter). Then the same for a keystroke in the
// mapping window's tool search over those 100,000 tools, and for a record whose active
// user profile maps 100,000 buttons of the device shown.
//
//   velmor_bench_WindowsBench --arrivals RUNS   prints "name: value" lines (ms)

class QTemporaryDir;

namespace velmor::bench {

// Points the data, settings, cache and cloud folders into `home`, offscreen.
void useTemporaryHome(const QTemporaryDir& home);

int runArrivals(int runs, int argc, char** argv);

} // namespace velmor::bench
