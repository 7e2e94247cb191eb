# Prepares Wine for Quorvane: sourced by every script that runs a Windows
# program (wine-run, e2e-display, run-quorvane.sh), so that a prefix and a
# display are set up one way only.
#
#   qv_wine_find                 sets qv_wine and qv_wineserver, quiet Wine output
#   qv_display_start             a private Xvfb when DISPLAY is not set (stopped on exit)
#   qv_prefix_prepare PREFIX [--dpi N] [--desktop]
#                                WINEPREFIX=PREFIX, initialised once, with Wine's
#                                fonts; --dpi sets the pixels per inch, --desktop
#                                the prefix-wide virtual desktop
#   qv_wineserver_stop           ends the prefix's processes

# One size for the virtual desktop and the screen that holds it: room for the
# main window and the file dialogs at 144 pixels per inch.
qv_desktop_size=1920x1440

qv_wine_find() {
  qv_wine=$(command -v wine64 || true)
  [[ -n "$qv_wine" ]] || qv_wine=/usr/lib/wine/wine64
  [[ -x "$qv_wine" ]] || { echo "wine64 is not installed (apt-get install wine64)" >&2; return 2; }
  qv_wineserver="$(dirname "$(readlink -f "$qv_wine")")/wineserver"
  [[ -x "$qv_wineserver" ]] || qv_wineserver=/usr/lib/wine/wineserver
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No .NET or Gecko installer prompts in a fresh prefix.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
}

qv_display_start() {
  [[ -z "${DISPLAY:-}" ]] || return 0
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed (apt-get install xvfb)" >&2; return 2; }
  local n=99 attempt tries
  for attempt in 1 2 3 4 5; do
    while [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 "${qv_desktop_size}x24" -nolisten tcp >/dev/null 2>&1 &
    qv_xvfb_pid=$!
    trap 'kill "$qv_xvfb_pid" 2>/dev/null && wait "$qv_xvfb_pid" 2>/dev/null || true' EXIT
    # Ready once its socket is there; a server started on the same number at
    # the same moment makes ours exit, and the next number is tried.
    tries=0
    while [[ ! -S /tmp/.X11-unix/X$n ]] && kill -0 "$qv_xvfb_pid" 2>/dev/null && ((tries++ < 100)); do
      sleep 0.1
    done
    if [[ -S /tmp/.X11-unix/X$n ]] && kill -0 "$qv_xvfb_pid" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
    kill "$qv_xvfb_pid" 2>/dev/null || true
    n=$((n + 1))
  done
  echo "No virtual display could be started" >&2
  return 1
}

qv_wineserver_stop() { "$qv_wineserver" -k 2>/dev/null || true; }

qv_prefix_prepare() {
  local prefix=$1 dpi="" desktop=""
  shift
  while (($#)); do
    case $1 in
      --dpi) dpi=$2; shift 2 ;;
      --desktop) desktop=1; shift ;;
      *) echo "qv_prefix_prepare: unknown option $1" >&2; return 2 ;;
    esac
  done
  export WINEPREFIX="$prefix"
  mkdir -p "$prefix"
  (
    # ctest may start several programs in one prefix at the same time.
    flock 9
    if [[ ! -f "$prefix/.quorvane-ready" ]]; then
      "$qv_wine" wineboot -i >/dev/null 2>&1 || true
      "$qv_wineserver" -w || true
      touch "$prefix/.quorvane-ready"
    fi
    # This Wine does not find its own fonts (Tahoma, Marlett for the caption
    # buttons) in its data folder; the prefix gets copies, as on a real system.
    local fonts_dir=/usr/share/wine/fonts font
    if [[ -d "$fonts_dir" ]]; then
      mkdir -p "$prefix/drive_c/windows/Fonts"
      for font in "$fonts_dir"/*.ttf; do
        [[ -f "$prefix/drive_c/windows/Fonts/$(basename "$font")" ]] || cp "$font" "$prefix/drive_c/windows/Fonts/"
      done
    fi
  ) 9>"$prefix.lock"
  [[ -n "$dpi$desktop" ]] || return 0

  # A prefix-wide virtual desktop keeps every process of the prefix on one
  # desktop (an outside test driver finds the windows) and gives windows
  # Windows-style frames without a window manager.
  local reg="$prefix/qv-settings.reg"
  printf 'REGEDIT4\n\n' >"$reg"
  if [[ -n "$desktop" ]]; then
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]\n"Desktop"="Default"\n\n' >>"$reg"
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]\n"Default"="%s"\n\n' "$qv_desktop_size" >>"$reg"
  fi
  if [[ -n "$dpi" ]]; then
    printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n\n' "$dpi" >>"$reg"
  fi
  "$qv_wine" regedit /S "$reg" >/dev/null 2>&1 || true
  # The settings take effect when the prefix's processes start afresh.
  "$qv_wineserver" -w || true
}
