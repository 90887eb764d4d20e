#!/usr/bin/env bash
# Photographs the plug-in's dialog as the try-out program shows it under wine,
# on a real photograph: dialog-small.png as the dialog opens, and
# dialog-large.png after the "Large" preview size, both in docs/help beside
# the help page that shows them (the README shows them too). Builds the
# Windows target when needed; runs on an X server and a wine prefix of its own.
#   scripts/dialog-screenshots.sh [PHOTOGRAPH.exr]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)
photo=${1:-../shared/images/oexr_GoldenGate.exr}
[ -f "$photo" ] || { echo "no photograph $photo" >&2; exit 1; }
scripts/install-deps.sh

cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  >/dev/null
cmake --build build/windows -j"${TM_JOBS:-$(nproc)}" --target tonemap-dialog

work=$root/build/screenshots
mkdir -p "$work" docs/help
scripts/exr-to-pfm.sh "$photo" "$work/photo.pfm"

export WINEPREFIX=$work/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
display_file=$(mktemp)
xvfb_pid=""
tryout_pid=""
cleanup() {
  [ -n "$tryout_pid" ] && kill "$tryout_pid" 2>/dev/null || true
  "$wineserver" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")

# A fresh prefix: the dialog opens on the first-run settings. Without a
# window manager wine draws the windows' frames itself.
rm -rf "$WINEPREFIX"
"$wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
"$wine" build/windows/bin/tonemap-dialog.exe "$work/photo.pfm" "$work/result.pfm" &
tryout_pid=$!
window=$(timeout 120 xdotool search --sync --name '^Tone Mapping 1\.2$' | head -n1)

# The dialog's rectangle on the screen, cut out of a picture of the screen.
shoot() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$window")"
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$1"
  echo "$1: ${WIDTH} x ${HEIGHT}"
}
width() { xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p'; }

sleep 3  # the first preview is computed before the dialog shows; let it paint
shoot docs/help/dialog-small.png
small_width=$(width)

# The keyboard focus starts on OK; four tabs reach the size buttons, on
# "Small", and two steps down select "Large".
xdotool windowfocus --sync "$window"
xdotool key Tab Tab Tab Tab Down Down
for _ in $(seq 120); do [ "$(width)" != "$small_width" ] && break; sleep 0.5; done
sleep 3
shoot docs/help/dialog-large.png

xdotool key Escape
status=0
wait "$tryout_pid" || status=$?
tryout_pid=""
[ "$status" -eq 2 ] || { echo "tonemap-dialog ended with $status, not 2 (cancelled)" >&2; exit 1; }
