#!/usr/bin/env bash
# Section "windows" of scripts/bench (see there for BENCH_*): the windows on the
# 50 × 1,000 profiles document (a 15 MB profiles.json). velmor_bench_WindowsBench
# runs the whole application in its process, offscreen, and gives the medians of
# its runs: the window thread's CPU time per edit (the input, the repaint, the
# save's outcome and the upload it asks for), per change another machine put into
# the cloud folder, and the process's CPU time idle with a text field focused and
# with nothing focused. Start-up memory is the real velmor's, restarted on the same
# document and on a cloud folder that already holds its record (the first sync then
# fetches it): the peak (VmHWM) against the settled size (VmRSS) 8 s after its
# "velmor ready" line. Then the longest single hold of the window's thread while a
# record whose active user profile has a name of 1,000,000 characters, one whose
# active PACS profile holds 100,000 tools and one whose active user profile maps
# 100,000 buttons arrive, and for a keystroke in the search over those tools
# (WindowsArrivals.h).
set -euo pipefail
source scripts/bench.d/common.bash

bench_build velmor_bench_WindowsBench velmor
bench="$BENCH_BUILD/tests/bench/velmor_bench_WindowsBench"
app="$BENCH_BUILD/src/app/velmor"
runs=5 idle=30 settle=8
((BENCH_QUICK)) && runs=5 idle=2 settle=3

output=$(QT_QPA_PLATFORM=offscreen "$bench" "$runs" "$idle" 2>/dev/null)
echo "$output" >&2
# What another machine's oversized records do: the window thread's longest hold
# while each arrives (the application's own fresh install, its windows open).
arrivals=$(QT_QPA_PLATFORM=offscreen "$bench" --arrivals "$runs" 2>/dev/null)
echo "$arrivals" >&2

# Start-up memory: a first run leaves the record in the cloud folder; each
# measured run is a restart of that install, on a copy of its whole data folder
# (dates kept: profiles.json as its last save dated it, the memory of the cloud
# folders it synced with) and of that cloud folder. A start after profiles.json
# changed behind the sync's back (an offline edit, a data folder without that
# memory) fetches, compares and uploads: it is measured beside, on stderr.
work=$(mktemp -d "${TMPDIR:-/tmp}/velmor-windows.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$bench" --write-data "$work/seed/data"
mkdir -p "$work/seed/cloud"
start_app() { # folder → prints "peak settled" in MB
  local folder=$1
  XDG_DATA_HOME="$folder/data" XDG_CONFIG_HOME="$folder/config" XDG_CACHE_HOME="$folder/cache" \
    XDG_RUNTIME_DIR="$folder/runtime" VELMOR_CLOUD_FOLDER="$folder/cloud" VELMOR_READY=print \
    QT_QPA_PLATFORM=offscreen "$app" >"$folder/out" 2>/dev/null &
  local pid=$!
  for _ in $(seq 600); do grep -q ready "$folder/out" 2>/dev/null && break; sleep 0.05; done
  sleep "$settle"
  awk '/^VmHWM:/ { peak = $2 } /^VmRSS:/ { rss = $2 } END { printf "%.1f %.1f\n", peak / 1024, rss / 1024 }' \
    "/proc/$pid/status"
  kill -TERM "$pid"
  wait "$pid" || true
}
mkdir -p "$work/seed/runtime" && chmod 700 "$work/seed/runtime"
start_app "$work/seed" >/dev/null
start_copy() { # folder restart|changed → prints "peak settled" in MB
  local folder=$1 kind=$2
  mkdir -p "$folder/runtime" && chmod 700 "$folder/runtime"
  cp -r "$work/seed/cloud" "$folder/cloud"
  if [[ $kind == restart ]]; then
    cp -a "$work/seed/data" "$folder/data"
  else # only profiles.json, dated now
    mkdir -p "$folder/data/Velmor" && cp "$work/seed/data/Velmor/profiles.json" "$folder/data/Velmor/"
  fi
  start_app "$folder"
  rm -rf "$folder"
}
peaks=() settled=()
for run in $(seq "$runs"); do
  read -r peak rss < <(start_copy "$work/run$run" restart)
  echo "start-up run $run: peak $peak MB, settled $rss MB" >&2
  peaks+=("$peak") settled+=("$rss")
done
read -r peak rss < <(start_copy "$work/changed" changed)
echo "start-up with profiles.json changed since its upload: peak $peak MB, settled $rss MB" >&2
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
peak=$(median "${peaks[@]}")
rss=$(median "${settled[@]}")

{
  echo "$output"
  echo "$arrivals"
  echo "peak: $peak"
  echo "settled: $rss"
} | awk '
  function row(measure, value, unit, goal, met) {
    printf "%s{\"measure\": \"%s\", \"velmor\": %s, \"unit\": \"%s\", \"goal\": \"%s\", \"met\": %s}", \
      sep, measure, value, unit, goal, met ? "true" : "false"
    sep = ", "
  }
  BEGIN { printf "{\"section\": \"windows\", \"title\": \"Windows on 50 × 1,000 profiles (offscreen, this machine; medians)\", \"rows\": [" }
  /^switch user:/         { row("edit: window thread, switch user (ms)", $3, "ms", "≤ 30", $3 <= 30) }
  /^map a button:/        { row("edit: window thread, map a button (ms)", $4, "ms", "≤ 30", $4 <= 30) }
  /^tool name keystroke:/ { row("edit: window thread, tool name keystroke (ms)", $4, "ms", "≤ 30", $4 <= 30) }
  /^remote change:/       { row("remote change: window thread (ms)", $3, "ms", "≤ 50", $3 <= 50) }
  /^idle focused:/        { row("idle CPU, text field focused (% of a core)", $3, "% of a core", "≤ 0.3", $3 <= 0.3) }
  /^idle unfocused:/      { row("idle CPU, nothing focused (% of a core)", $3, "% of a core", "0", $3 < 0.05) }
  /^name arrival held:/   { row("a name of 1,000,000 characters arrives from the shared folder: window thread held", $4, "ms", "≤ 50", $4 <= 50) }
  /^tools arrival held:/  { row("a record of 100,000 tools arrives from the shared folder: window thread held", $4, "ms", "≤ 50", $4 <= 50) }
  /^mappings arrival held:/ { row("a record of 100,000 mappings on the active user arrives: window thread held", $4, "ms", "≤ 50", $4 <= 50) }
  /^search keystroke held:/ { row("a keystroke in the search over 100,000 tools: window thread held", $4, "ms", "≤ 50", $4 <= 50) }
  /^settled:/             { settled = $2 }
  /^peak:/                { peak = $2 }
  END {
    row("start-up settled RSS (MB)", settled, "MB", "", 1)
    row("start-up peak RSS (MB)", peak, "MB", "≤ 1.5 × settled", peak <= 1.5 * settled)
    print "]}"
  }
' >"$BENCH_SECTION/windows.json"
