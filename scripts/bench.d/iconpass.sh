#!/usr/bin/env bash
# Section "iconpass" of scripts/bench (see there for BENCH_*): two machines on one cloud
# folder (the folder database in a temporary folder, the real velmor-icon-render drawing
# program): A uploads 2,000 icons of real sizes (up to 1 MB), B downloads them, A looks at
# them again with nothing changed. velmor_bench_IconPassBench gives the medians of its runs:
# the longest single hold of the main thread (wall time of one event, blocking calls
# included) in the worst of the three passes and the CPU time inside it, and each pass's
# wall time.
set -euo pipefail
source scripts/bench.d/common.bash

bench_build velmor_bench_IconPassBench velmor-icon-render
runs=3
((BENCH_QUICK)) && runs=1
output=$(bench_run "$BENCH_BUILD/tests/bench/velmor_bench_IconPassBench" "$runs")
echo "$output" >&2

awk -f scripts/bench.d/ms-rows.awk -f <(cat <<'AWK'
  BEGIN { printf "{\"section\": \"iconpass\", \"title\": \"Icon passes over 2,000 icons (real event loop, folder database, drawing program; this machine; medians)\", \"rows\": [" }
  /^held:/           { row("an icon pass over 2,000 icons: window thread held", $2, "≤ 50", $2 <= 50) }
  /^held cpu:/       { row("an icon pass over 2,000 icons: window thread held, CPU time inside the longest hold", $3, "", 0) }
  /^upload wall:/    { row("an icon pass over 2,000 icons: uploads, until done", $3, "", 0) }
  /^download wall:/  { row("an icon pass over 2,000 icons: downloads, until done", $3, "", 0) }
  /^unchanged wall:/ { row("an icon pass over 2,000 icons: nothing changed, until done", $3, "", 0) }
  END { print "]}" }
AWK
) <<<"$output" >"$BENCH_SECTION/iconpass.json"
