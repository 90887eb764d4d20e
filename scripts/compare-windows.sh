#!/usr/bin/env bash
# Times the Windows module (ToneMapping.8bf under wine) against the Linux
# module (ToneMapping.so) on the same document: full_run_timing, built for
# both targets, runs the full run through our host with the clock alone.
# The rounds alternate the two, so that both see the same machine; the
# medians of all runs and their ratio (Windows over Linux) are printed.
#   scripts/compare-windows.sh [PHOTOGRAPH]   (default ../shared/images/oexr_GoldenGate.exr)
# TM_ROUNDS sets the rounds (default 3) of TM_RUNS runs each (default 3).
# The document is the photograph enlarged to 4200 pixels wide (12 megapixels
# for the default one), 32-bit, as build/peer/photo12.pfm (made once; about
# half a minute). Runs on a wine prefix and server of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)
photo=${1:-../shared/images/oexr_GoldenGate.exr}
rounds=${TM_ROUNDS:-3}
runs=${TM_RUNS:-3}
jobs=${TM_JOBS:-$(nproc)}
[ -f "$photo" ] || { echo "no photograph $photo" >&2; exit 1; }
scripts/install-deps.sh

cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux -j"$jobs" --target full_run_timing >/dev/null
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/windows -j"$jobs" --target full_run_timing ToneMapping >/dev/null

work=$root/build/peer
mkdir -p "$work"
document=$work/photo12.pfm
if [ ! -f "$document" ] || [ "$photo" -nt "$document" ]; then
  scripts/exr-to-pfm.sh "$photo" "$document" 4200
fi

export WINEPREFIX=$root/build/windows-timing/wine-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
mkdir -p "$WINEPREFIX"
trap '"$wineserver" -k 2>/dev/null || true' EXIT
"$wineserver" -k 2>/dev/null || true
"$wineserver" -p
"$wine" cmd /c exit >/dev/null 2>&1 || true  # creates the prefix outside the timed runs

rm -f "$work"/windows-runs-*
linux() { build/linux/bin/full_run_timing --runs "$runs" "$document" | tee -a "$work/windows-runs-linux"; }
# The program starts in the current folder on wine's drive Z: (the file
# system's root), so the absolute Unix path names the file on that drive.
windows() {
  "$wine" build/windows/bin/full_run_timing.exe --runs "$runs" "$document" | tr -d '\r' |
    tee -a "$work/windows-runs-windows"
}
for round in $(seq "$rounds"); do
  if [ $((round % 2)) -eq 1 ]; then linux; windows; else windows; linux; fi
done

# The median of every run's figure in column `field` (1: the whole run).
median() {
  grep '^run ' "$work/windows-runs-$1" |
    sed 's/^run [0-9]*: \([0-9.]*\) ms (get_image \([0-9.]*\), tm1 \([0-9.]*\), tm2 \([0-9.]*\), output \([0-9.]*\))/\1 \2 \3 \4 \5/' |
    cut -d' ' -f"$2" | sort -n |
    awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
echo
printf '%-22s %10s %10s %8s\n' "median of $((rounds * runs)) runs" Linux Windows ratio
field=1
for part in "full run" get_image tm1 tm2 output; do
  l=$(median linux $field)
  w=$(median windows $field)
  printf '%-22s %8.1f ms %8.1f ms %8.3f\n' "$part" "$l" "$w" "$(awk "BEGIN { print $w / $l }")"
  field=$((field + 1))
done
echo "goal: the full run's ratio at most 1.3"
