#!/usr/bin/env bash
# Builds everything and runs every test: the portable core natively, the same
# under AddressSanitizer + UndefinedBehaviorSanitizer, and the Windows program
# with its tests under Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/install-deps.sh

passed=0
failed=0
run_suite() {
  local preset=$1
  echo "== $preset: configure and build"
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset"; }; then
    echo "== $preset: build FAILED"
    failed=$((failed + 1))
    return 1
  fi
  echo "== $preset: tests"
  local log
  log=$(mktemp)
  local status=0
  "${@:2}" ctest --preset "$preset" 2>&1 | tee "$log" || status=$?
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [[ -n "$line" ]]; then
    local f t
    f=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    t=$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")
    passed=$((passed + t - f))
    failed=$((failed + f))
  else
    failed=$((failed + 1))
  fi
  rm -f "$log"
  return $status
}

overall=0
run_suite linux || overall=1
run_suite asan || overall=1
# The Windows tests that open windows prepare their display and Wine prefix
# themselves (scripts/e2e-display).
run_suite windows || overall=1

# The same bytes from the portable core whichever compiler built it.
echo "== compilers: GCC, Clang and MinGW"
if scripts/compare-compilers.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); overall=1; fi

echo "Quorvane tests: $passed passed, $failed failed"
exit $overall
