#!/usr/bin/env bash
# scripts/bench --compare COMMIT [--pairs N]: the windows bench of this checkout
# (its working tree, in $BENCH_BUILD) beside the same bench built on COMMIT's
# code, run in turns in the same minutes, so that a busy machine slows both
# alike. Both sides run this checkout's bench program (its files are copied over
# COMMIT's before the build), so that they do the same work: the same edits and
# the same other machine writing the same records. COMMIT's tree is exported (git
# archive) to build/compare/<commit>/source and built in
# build/compare/<commit>/build, kept for the next comparison. Each pair runs, on
# each side, velmor_bench_WindowsBench with 5 edits of each kind (idle rows left
# out) and its arrival rows (--arrivals 1: one arrival of each kind); the table
# gives, per row, the median of the runs on each side, their ratio and in how
# many pairs this checkout was the slower. A Markdown table on stdout; the runs'
# figures stay in build/compare/<commit>/runs.tsv.
set -euo pipefail

commit=${1:?a commit}
pairs=${2:-5}
sha=$(git rev-parse --verify "$commit^{commit}")
short=${sha:0:10}
there=build/compare/$short
jobs=${VELMOR_JOBS:-$(nproc)}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

if [[ ! -f $there/source/CMakeLists.txt ]]; then
  rm -rf "$there/source"
  mkdir -p "$there/source"
  git archive "$sha" | tar -x -C "$there/source"
fi
# The bench program's own files, this checkout's on both sides (COMMIT's own are
# put back first, so that a copy left by an earlier comparison is replaced).
bench_files=(tests/bench/WindowsBench.cpp tests/bench/WindowsArrivals.cpp tests/bench/WindowsArrivals.h
  tests/bench/LargeProfiles.h tests/bench/ThreadTime.h tests/bench/EventLoop.h tests/bench/HoldMeter.h)
for file in "${bench_files[@]}"; do
  git show "$sha:$file" >"$there/source/$file" 2>/dev/null || rm -f "$there/source/$file"
  cp "$file" "$there/source/$file"
done
echo "bench: building this checkout's windows bench on $short and on this checkout" >&2
cmake -S "$there/source" -B "$there/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMOR_BUILD_TESTS=ON \
  -DVELMOR_BUILD_BENCHMARKS=ON -DVELMOR_WERROR=OFF "${launcher[@]}" >/dev/null
if ! cmake --build "$there/build" --parallel "$jobs" --target velmor_bench_WindowsBench >"$there/build.log" 2>&1; then
  echo "bench: this checkout's windows bench does not build on $short's code ($there/build.log): the sides" \
    "would not do the same work, so nothing is compared" >&2
  exit 1
fi
cmake --build "$BENCH_BUILD" --parallel "$jobs" --target velmor_bench_WindowsBench >/dev/null

# The runs' rows, kept beside that build: side, pair, "row: value".
results=$there/runs.tsv
: >"$results"
run() { # side binary pair
  {
    QT_QPA_PLATFORM=offscreen "$2" 5 1 2>/dev/null | grep -v '^idle'
    QT_QPA_PLATFORM=offscreen "$2" --arrivals 1 2>/dev/null
  } | sed "s/^/$1\t$3\t/" >>"$results"
}
for ((pair = 1; pair <= pairs; pair++)); do
  # Who goes first alternates, so that a load that grows or fades favours neither.
  if ((pair % 2)); then
    run here "$BENCH_BUILD/tests/bench/velmor_bench_WindowsBench" "$pair"
    run there "$there/build/tests/bench/velmor_bench_WindowsBench" "$pair"
  else
    run there "$there/build/tests/bench/velmor_bench_WindowsBench" "$pair"
    run here "$BENCH_BUILD/tests/bench/velmor_bench_WindowsBench" "$pair"
  fi
  echo "bench: pair $pair of $pairs done (load $(cut -d' ' -f1 /proc/loadavg))" >&2
done

awk -F'\t' -v short="$short" '
  function median(list,    n, v, i, j, t) {
    n = split(list, v, " ")
    for (i = 2; i <= n; i++)
      for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
  }
  {
    split($3, kv, ": ")
    row = kv[1]
    if (!(row in seen)) { seen[row] = 1; order[++rows] = row }
    values[$1, row] = values[$1, row] " " kv[2]
    pair[$1, row, $2] = kv[2]
    pairsOf[row, $2] = 1
  }
  END {
    printf "| window thread (ms) | this checkout | %s | this ÷ %s | this slower |\n", short, short
    print "|---|---:|---:|---:|---|"
    for (r = 1; r <= rows; r++) {
      row = order[r]
      if (!(("here" SUBSEP row) in values) || !(("there" SUBSEP row) in values)) continue
      here = median(values["here", row]); there = median(values["there", row])
      slower = 0; total = 0
      for (key in pairsOf) {
        split(key, part, SUBSEP)
        if (part[1] != row) continue
        if (!(("here" SUBSEP row SUBSEP part[2]) in pair) || !(("there" SUBSEP row SUBSEP part[2]) in pair)) continue
        total++
        if (pair["here", row, part[2]] + 0 > pair["there", row, part[2]] + 0) slower++
      }
      ratio = there > 0 ? here / there : 0
      printf "| %s | %.1f | %.1f | %.2f | %d of %d pairs |\n", row, here, there, ratio, slower, total
    }
  }
' "$results"
