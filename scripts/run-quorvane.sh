#!/usr/bin/env bash
# Builds quorvane.exe and starts it under Wine. The Wine prefix is WINEPREFIX
# when set, else build/windows/wineprefix. Without a display the program runs
# on a virtual one, a screenshot of its window is written to a file named
# below, and the program is then closed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target quorvane
exe="$root/build/windows/app/win32/quorvane.exe"
[[ -f "$exe" ]] || exe=$(find "$root/build/windows" -name quorvane.exe | head -n 1)
[[ -f "$exe" ]] || { echo "quorvane.exe was not built" >&2; exit 1; }
prefix="$root/build/windows/wineprefix"

if [[ -n "${DISPLAY:-}" ]]; then
  exec scripts/wine-run --prefix "$prefix" "$exe"
fi

echo "No display (DISPLAY is not set): running Quorvane on a virtual X display."
shot="$root/build/windows/quorvane-screenshot.png"
display_num=99
while [[ -e /tmp/.X11-unix/X$display_num || -e /tmp/.X$display_num-lock ]]; do display_num=$((display_num + 1)); done
Xvfb ":$display_num" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display_num"
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
sleep 1
if [[ -z "${WINEPREFIX:-}" ]]; then
  # A prefix-wide virtual desktop gives the window a Windows title bar.
  export WINEPREFIX="$prefix"
  scripts/wine-run --prefix "$prefix" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1 || true
  scripts/wine-run --prefix "$prefix" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null 2>&1 || true
  # The desktop setting takes effect when the prefix's processes start afresh.
  "$(dirname "$(command -v wine64 || echo /usr/lib/wine/wine64)")/wineserver" -w || true
fi
scripts/wine-run --prefix "$prefix" "$exe" &
app_pid=$!
sleep 8
import -display "$DISPLAY" -window root "$shot"
echo "Screenshot of the Quorvane window: $shot"
kill "$app_pid" 2>/dev/null || true
wine_dir=$(dirname "$(command -v wine64 || echo /usr/lib/wine/wine64)")
WINEPREFIX="${WINEPREFIX:-$prefix}" "$wine_dir/wineserver" -k 2>/dev/null || true
