#!/usr/bin/env bash
# Section "merge" of scripts/bench (see there for BENCH_*): two machines on one
# cloud folder (in a temporary folder) both change all 1,000 user profiles while
# apart (running, the folder away), so that each profile conflicts and 1,000
# losing versions are kept as files; then, the folder back, one of them starts and
# merges. velmor_bench_MergeBench gives the medians of its runs, from that sync's
# start until the merge is uploaded: the longest single hold of the main thread
# (wall time of one event, blocking calls included) and the time until the record
# holds the merge (its upload waits out the sync's one-second debounce).
set -euo pipefail
source scripts/bench.d/common.bash

bench_build velmor_bench_MergeBench
runs=5
((BENCH_QUICK)) && runs=1
output=$(bench_run "$BENCH_BUILD/tests/bench/velmor_bench_MergeBench" "$runs")
echo "$output" >&2

awk -f scripts/bench.d/ms-rows.awk -f <(cat <<'AWK'
  BEGIN { printf "{\"section\": \"merge\", \"title\": \"Merge of changes made apart (real event loop, folder database, this machine; medians)\", \"rows\": [" }
  /^held:/     { row("merge of 1,000 user profiles changed on both sides: window thread held", $2, "≤ 50", $2 <= 50) }
  /^uploaded:/ { row("merge of 1,000 user profiles changed on both sides: until uploaded", $2, "", 0) }
  END { print "]}" }
AWK
) <<<"$output" >"$BENCH_SECTION/merge.json"
