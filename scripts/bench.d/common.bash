# What scripts/bench and its sections share (sourced, not a section).

# bench_build TARGET...: builds them in $BENCH_BUILD with $VELMOR_JOBS jobs,
# saying how far a long build has got; the build's own output only when it fails.
bench_build() {
  local log status
  log=$(mktemp "${TMPDIR:-/tmp}/velmor-bench-build.XXXXXX")
  set +e
  cmake --build "$BENCH_BUILD" --parallel "${VELMOR_JOBS:-$(nproc)}" --target "$@" 2>&1 | tee "$log" |
    awk -v what="$*" '
      # Ninja counts "[done/total]": a line at every tenth of a build of some size.
      /^\[[0-9]+\/[0-9]+\]/ {
        split(substr($1, 2, length($1) - 2), count, "/")
        tenth = int(10 * count[1] / count[2])
        if (count[2] >= 20 && tenth > shown) {
          shown = tenth
          printf "bench: building %s: %d of %d steps\n", what, count[1], count[2] > "/dev/stderr"
        }
      }'
  status=${PIPESTATUS[0]}
  set -e
  if ((status != 0)); then
    tail -n 40 "$log" >&2
    echo "bench: the build of $* failed" >&2
  fi
  rm -f "$log"
  return "$status"
}

# bench_run COMMAND...: runs it offscreen, without the lines Qt writes for what
# its offscreen platform cannot do for a window (raise it, pass on its size hints)
# and for a session without XDG_RUNTIME_DIR, which say nothing about the run.
bench_run() {
  QT_QPA_PLATFORM=offscreen "$@" 2> >(grep -v -E '^(This plugin does not support [a-zA-Z]+\(\)|QStandardPaths: XDG_RUNTIME_DIR not set, .*)$' >&2)
}
