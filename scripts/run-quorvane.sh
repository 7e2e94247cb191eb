#!/usr/bin/env bash
# Builds quorvane.exe and starts it under Wine. The Wine prefix is WINEPREFIX
# when set, else build/windows/wineprefix. Without a display the program runs
# on a virtual one, a screenshot of its window is written to a file named
# below, and the program is then closed.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$(pwd)
source scripts/wine-setup.sh
scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target quorvane
exe="$root/build/windows/app/win32/quorvane.exe"
[[ -f "$exe" ]] || { echo "quorvane.exe was not built" >&2; exit 1; }
qv_wine_find

if [[ -n "${DISPLAY:-}" ]]; then
  qv_prefix_prepare "${WINEPREFIX:-$root/build/windows/wineprefix}"
  exec "$qv_wine" "$exe"
fi

echo "No display (DISPLAY is not set): running Quorvane on a virtual X display."
shot="$root/build/windows/quorvane-screenshot.png"
qv_display_start
if [[ -n "${WINEPREFIX:-}" ]]; then
  qv_prefix_prepare "$WINEPREFIX"  # the user's own prefix keeps its settings
else
  # A prefix-wide virtual desktop gives the window a Windows title bar.
  qv_prefix_prepare "$root/build/windows/wineprefix" --desktop
fi
"$qv_wine" "$exe" &
app_pid=$!
# The window is up once the virtual desktop shows more than its background.
for _ in $(seq 1 60); do
  sleep 0.5
  import -display "$DISPLAY" -window root "$shot" 2>/dev/null || continue
  [[ $(convert "$shot" -format '%k' info:) -gt 2 ]] && break
done
sleep 1  # let the first paint finish
import -display "$DISPLAY" -window root "$shot"
echo "Screenshot of the Quorvane window: $shot"
kill "$app_pid" 2>/dev/null || true
qv_wineserver_stop
