#!/usr/bin/env bash
# Section "icons" of scripts/bench (see there for BENCH_*): the icon picker over an
# Icons folder of 100 distinct 1 MB icons that cannot be drawn (velmor_bench_IconPickerBench:
# the picker offscreen on the real Qt event loop, the real velmor-icon-render drawing, a
# cache of its own). Medians of the window thread's CPU time, once every icon's outcome is
# known: opening the picker on its custom icons, one keystroke in its search, and Reload.
set -euo pipefail

cmake --build "$BENCH_BUILD" --parallel "${VELMOR_JOBS:-$(nproc)}" \
  --target velmor_bench_IconPickerBench velmor-icon-render >/dev/null
runs=9
((BENCH_QUICK)) && runs=2
output=$(QT_QPA_PLATFORM=offscreen "$BENCH_BUILD/tests/bench/velmor_bench_IconPickerBench" "$runs")
echo "$output" >&2

awk '
  function row(measure, value, goal, met) {
    printf "%s{\"measure\": \"%s\", \"velmor\": %s, \"unit\": \"ms\"%s}", sep, measure, value, \
      goal == "" ? "" : ", \"goal\": \"" goal "\", \"met\": " (met ? "true" : "false")
    sep = ", "
  }
  BEGIN { printf "{\"section\": \"icons\", \"title\": \"Icon picker over failed icons (offscreen, this machine; medians)\", \"rows\": [" }
  /^open:/      { row("icon picker over 100 failed 1 MB icons: open", $2, "≤ 100", $2 <= 100) }
  /^keystroke:/ { row("icon picker over 100 failed 1 MB icons: keystroke", $2, "≤ 30", $2 <= 30) }
  /^reload:/    { row("icon picker over 100 failed 1 MB icons: Reload", $2, "", 0) }
  END { print "]}" }
' <<<"$output" >"$BENCH_SECTION/icons.json"
