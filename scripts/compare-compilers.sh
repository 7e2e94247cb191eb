#!/usr/bin/env bash
# Checks that the portable core paints the same bytes whichever compiler
# built it. The core's digest program (one line per case: the case and a
# hash of its picture, or the error it raised) is built with GCC (preset
# linux) and with Clang (preset clang) and both outputs are compared line
# for line; where the Windows build is configured, its MinGW program is run
# under Wine and compared as well. Exits non-zero on any difference.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
out=build/compare-compilers
mkdir -p "$out"

cmake --preset linux >/dev/null
cmake --build --preset linux --target core_digest >/dev/null
cmake --preset clang >/dev/null
cmake --build --preset clang >/dev/null
build/linux/crosscheck/core_digest >"$out/gcc.txt"
build/clang/crosscheck/core_digest >"$out/clang.txt"

status=0
compare() {
  if cmp -s "$out/gcc.txt" "$out/$1.txt"; then
    echo "compare-compilers: $1 gives GCC's bytes in all $(wc -l <"$out/gcc.txt") cases"
  else
    echo "compare-compilers: $1 differs from GCC in $(diff "$out/gcc.txt" "$out/$1.txt" | grep -c '^>' || true) cases:"
    diff "$out/gcc.txt" "$out/$1.txt" | head -n 40 || true
    status=1
  fi
}
compare clang

if [[ -f build/windows/CMakeCache.txt ]]; then
  cmake --build --preset windows --target core_digest >/dev/null
  # Console output under Wine ends its lines with CR LF.
  scripts/wine-run build/windows/crosscheck/core_digest.exe | tr -d '\r' >"$out/mingw.txt"
  compare mingw
fi
exit $status
