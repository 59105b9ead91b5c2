#!/usr/bin/env bash
# Section "icons" of scripts/bench (see there for BENCH_*): the icon picker over an
# Icons folder of 100 distinct 1 MB icons that cannot be drawn (velmor_bench_IconPickerBench:
# the picker offscreen on the real Qt event loop, the real velmor-icon-render drawing, a
# cache of its own). Medians of the window thread's CPU time, once every icon's outcome is
# known: opening the picker on its custom icons, one keystroke in its search, and Reload.
# Then a first start over an icon cache (velmor_bench_IconCacheStartBench, a process per
# start): the longest hold of the window thread while seven icons are looked up and drawn,
# with an empty cache and with seven planted bomb entries; the median of five starts each
# (--quick: one). Last, the picker over 2,000 new icons while they are drawn
# (velmor_bench_IconPickerDrawBench): the picker's longest hold of the window thread from
# the click on "Custom" until all are drawn, the drawing service's own apart, then, all
# drawn, the longest hold of a key typed into its search and of opening it again; each
# with the CPU time inside it (--quick: 100 icons).
set -euo pipefail
source scripts/bench.d/common.bash

bench_build velmor_bench_IconPickerBench velmor_bench_IconCacheStartBench velmor_bench_IconPickerDrawBench velmor-icon-render
runs=9
starts=5
((BENCH_QUICK)) && runs=2 && starts=1
output=$(bench_run "$BENCH_BUILD/tests/bench/velmor_bench_IconPickerBench" "$runs")
for cache in empty bombs; do
  holds=$(for ((i = 0; i < starts; i++)); do
    bench_run "$BENCH_BUILD/tests/bench/velmor_bench_IconCacheStartBench" "$cache" | sed -n 's/^hold: //p'
  done | sort -g)
  echo "cache $cache holds (ms): $(echo $holds)" >&2
  output+=$'\n'"start $cache: $(sed -n "$(((starts + 1) / 2))p" <<<"$holds")"
done
drawn=2000
((BENCH_QUICK)) && drawn=100
output+=$'\n'"$(bench_run "$BENCH_BUILD/tests/bench/velmor_bench_IconPickerDrawBench" "$drawn" | sed -n 's/^/drawing /p')"
echo "$output" >&2

awk -f scripts/bench.d/ms-rows.awk -f <(cat <<'AWK'
  BEGIN { printf "{\"section\": \"icons\", \"title\": \"Icon picker over failed icons and while new icons draw, icon cache at start (offscreen, this machine; medians)\", \"rows\": [" }
  /^open:/      { row("icon picker over 100 failed 1 MB icons: open", $2, "≤ 100", $2 <= 100) }
  /^keystroke:/ { row("icon picker over 100 failed 1 MB icons: keystroke", $2, "≤ 30", $2 <= 30) }
  /^reload:/    { row("icon picker over 100 failed 1 MB icons: Reload", $2, "", 0) }
  /^start empty:/ { row("icon cache, empty: window thread held at start", $3, "≤ 50", $3 <= 50) }
  /^start bombs:/ { row("icon cache with 7 bomb entries: window thread held at start", $3, "≤ 50", $3 <= 50) }
  function cpu(measure, value) { row(measure ", CPU time inside the longest hold", value, "", 0) }
  /^drawing held:/ { row("the custom icon picker over 2,000 icons while they draw: window thread held", $3, "≤ 50", $3 <= 50) }
  /^drawing held cpu:/ { cpu("the custom icon picker over 2,000 icons while they draw: window thread held", $4) }
  /^drawing service held:/ { row("the custom icon picker over 2,000 icons while they draw: the drawing service's own holds", $4, "", 0) }
  /^drawing service held cpu:/ { cpu("the custom icon picker over 2,000 icons while they draw: the drawing service's own holds", $5) }
  /^drawing keystroke held:/ { row("a keystroke in the custom icon picker's search over 2,000 icons: window thread held", $4, "≤ 50", $4 <= 50) }
  /^drawing keystroke held cpu:/ { cpu("a keystroke in the custom icon picker's search over 2,000 icons: window thread held", $5) }
  /^drawing reopen held:/ { row("the custom icon picker over 2,000 drawn icons, opened again: window thread held", $4, "≤ 50", $4 <= 50) }
  /^drawing reopen held cpu:/ { cpu("the custom icon picker over 2,000 drawn icons, opened again: window thread held", $5) }
  END { print "]}" }
AWK
) <<<"$output" >"$BENCH_SECTION/icons.json"
