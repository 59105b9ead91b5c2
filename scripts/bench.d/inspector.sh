#!/usr/bin/env bash
# Section "inspector" of scripts/bench (see there for BENCH_*): the HID inspector under the keypad's flood,
# 1,000 reports a second of two raw samples each (velmor_bench_HIDInspectorBench, on the real Qt event loop): CPU time
# of the feed alone and with the inspector's parts added.
set -euo pipefail
source scripts/bench.d/common.bash

bench_build velmor_bench_HIDInspectorBench
seconds=10
((BENCH_QUICK)) && seconds=1
output=$(bench_run "$BENCH_BUILD/tests/bench/velmor_bench_HIDInspectorBench" "$seconds")
echo "$output" >&2

# "model alone:      1.23 % of one core" and the like become rows.
awk '
  function row(measure, value, goal, met) {
    printf "%s{\"measure\": \"%s\", \"velmor\": %s, \"unit\": \"%% of a core\"%s}", sep, measure, value, goal
    sep = ", "
  }
  /^model alone:/      { row("2,000 samples/s (1,000 reports/s) into the model", $3, "") }
  /^controller only:/  { row("… with the inspector controller", $3, "") }
  /^inspector hidden:/ { row("… with the inspector built, hidden", $3, "") }
  /^inspector open:/   { row("… with the inspector open", $3, "") }
  /^the open inspector adds/ {
    row("what the open inspector adds", $5, ", \"goal\": \"< 5\", \"met\": " ($5 < 5 ? "true" : "false"))
  }
  BEGIN { printf "{\"section\": \"inspector\", \"title\": \"HID inspector under a busy device (offscreen, this machine)\", \"rows\": [" }
  END { print "]}" }
' <<<"$output" >"$BENCH_SECTION/inspector.json"
