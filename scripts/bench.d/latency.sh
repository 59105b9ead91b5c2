#!/usr/bin/env bash
# Section "latency" of scripts/bench (see there for BENCH_*): Velmor's pipeline
# (udev HID backend, HID device source, AppModel dispatch, uinput output)
# against a minimal C forwarder, side by side in one kernel VM
# (scripts/kernel-test): press-to-key latency, a report flood, memory; and the
# application's start-up on this machine.
#
# Start-up on this machine is the application's (velmor, with VELMOR_READY=quit,
# offscreen, in fresh XDG folders): program start to its "velmor ready" line,
# printed once the profiles are loaded and the tray menu is ready, and its
# resident memory then. VELMOR_BENCH_APP=PATH measures another program that
# prints that line or "ready <CLOCK_MONOTONIC nanoseconds>". In the VM, which
# has no display libraries, the start-up rows measure velmor_bench_pipeline,
# which builds the application's model the way the application does.
#
# VELMOR_BENCH_SYSCALLS=1 counts system calls by kind instead of timing fairly.
# VELMOR_BENCH_PERF=1 also profiles the pipeline in the VM with perf and prints
# the report.
set -euo pipefail
source scripts/bench.d/common.bash

bench_build velmor_bench_latency velmor_bench_pipeline velmor_bench_forwarder velmor
bin="$BENCH_BUILD/tests/bench/kernel"

counts=()
if ((BENCH_QUICK)); then
  counts=(--presses 40 --warmup 4 --flood-seconds 1 --flood-rate 200 --startups 2)
fi

result() { sed -n 's/^velmor-bench-result: //p'; }

# Start-up on this machine, no VM: the application meets this machine's devices
# as it always does (a keypad attached is seized for a moment).
bench_run "$bin/velmor_bench_latency" --startup-only --startup-command "${VELMOR_BENCH_APP:-$BENCH_BUILD/src/app/velmor}" \
  "${counts[@]}" | result >"$BENCH_SECTION/1-startup.json"

# The kernel VM.
vm=(--with "$bin/velmor_bench_pipeline" --with "$bin/velmor_bench_forwarder")
args=("${counts[@]}")
if [[ "${VELMOR_BENCH_PERF:-}" == 1 ]]; then
  vm+=(--with "$(command -v perf)")
  args+=(--perf /test/perf)
fi
# VELMOR_BENCH_SYSCALLS=1 counts both sides' system calls by kind through the
# latency presses (under strace: that run's figures are not comparable).
if [[ "${VELMOR_BENCH_SYSCALLS:-}" == 1 ]]; then
  vm+=(--with "$(command -v strace)")
  args+=(--strace /test/strace)
fi
# Two processors: the programs measured get one to themselves, the benchmark
# (the devices' side) takes the other.
set +e
output=$(VELMOR_VM_CPUS=2 scripts/kernel-test --timeout 1200 "${vm[@]}" "$bin/velmor_bench_latency" "${args[@]}" 2>&1)
status=$?
set -e
# What the benchmark says besides its result (the flood's tallies, perf).
grep -v '^velmor-bench-result: ' <<<"$output" >&2 || true
if ((status == 0)); then
  result <<<"$output" >"$BENCH_SECTION/2-kernel-vm.json"
else
  reason=$(grep -m1 -oE 'kernel-test: .*' <<<"$output" || echo "exit status $status")
  printf '{"section": "kernel-vm", "title": "Keypad to keystroke in a kernel VM", "rows": [{"measure": "not measured: %s", "met": false}]}\n' \
    "${reason//\"/\'}" >"$BENCH_SECTION/2-kernel-vm.json"
fi
