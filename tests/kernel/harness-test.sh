#!/usr/bin/env bash
# The harness's own promises: a VM that cannot be had is a skip (77), never a
# pass; VELMOR_KERNEL_TEST_REQUIRED turns that skip into a failure; inside the
# VM the test gets its arguments unchanged and finds the programs packed with
# --with beside it, its output comes back and its exit status is the harness's.
set -uo pipefail
harness="$(dirname "$0")/../../scripts/kernel-test"
failures=0

expect() { # description, expected status, actual status
  if [[ "$2" != "$3" ]]; then
    echo "FAIL: $1: exit status $3, expected $2"
    failures=$((failures + 1))
  else
    echo "ok: $1"
  fi
}

VELMOR_VM_KERNEL=/nonexistent "$harness" /bin/true >/dev/null
expect "no kernel is a skip" 77 $?
VELMOR_VM_KERNEL=/nonexistent VELMOR_KERNEL_TEST_REQUIRED=1 "$harness" /bin/true >/dev/null
expect "no kernel with VELMOR_KERNEL_TEST_REQUIRED=1 is a failure" 1 $?

# A program packed with --with waits beside the executable.
output=$("$harness" --timeout 120 --with "$(type -P true)" /bin/sh -c '/test/true || exit 9; printf "%s|" "$@"; echo; exit 3' sh "two words" "it's" '$HOME' 2>&1)
status=$?
if ((status == 77)); then
  echo "$output"
  exit 77
fi
expect "the test's exit status comes back" 3 "$status"
if ! grep -qxF "two words|it's|\$HOME|" <<<"$output"; then
  echo "FAIL: arguments or output changed on the way:"
  echo "$output"
  failures=$((failures + 1))
fi
((failures == 0))
