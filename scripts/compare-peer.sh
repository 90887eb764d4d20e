#!/usr/bin/env bash
# Times tonemap against a peer, luminance-hdr-cli's gradient-domain operator
# (--tmo fattal: FFT solver, OpenMP), end to end on the same 12-megapixel
# Radiance HDR file, to TIFF and to JPEG, each program with its defaults.
# The rounds alternate the programs (and which goes first), so that both see
# the same machine; the medians, their ratios and the peak memory (resident
# set) are printed at the end.
#   scripts/compare-peer.sh [PHOTOGRAPH]      (default ../shared/images/oexr_GoldenGate.exr)
# TM_ROUNDS sets the rounds (default 5). Installs luminance-hdr (Debian
# package luminance-hdr) when luminance-hdr-cli is missing. The test image is
# the photograph enlarged by oiiotool to 4200 pixels wide with a triangle
# (bilinear) filter, which makes no value negative, and written as Radiance
# HDR: build/peer/photo12.hdr (4200 x 2862 for the default photograph).
set -euo pipefail
cd "$(dirname "$0")/.."
photo=${1:-../shared/images/oexr_GoldenGate.exr}
rounds=${TM_ROUNDS:-5}
[ -f "$photo" ] || { echo "no photograph $photo" >&2; exit 1; }
scripts/install-deps.sh
missing=()
command -v luminance-hdr-cli >/dev/null || missing+=(luminance-hdr)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux -j"${TM_JOBS:-$(nproc)}" --target tonemap >/dev/null

work=build/peer
mkdir -p "$work"
image=$work/photo12.hdr
if [ ! -f "$image" ] || [ "$photo" -nt "$image" ]; then
  oiiotool "$photo" --ch R,G,B --resize:filter=triangle 4200x0 -o "$image"
fi
size=$(oiiotool --info "$image" | sed -n 's/.*: *\([0-9]*\) x \([0-9]*\),.*/\1 \2/p')
read -r width height <<<"$size"

# One timed run: wall seconds and peak kilobytes appended to $work/times-NAME.
timed() {
  local name=$1
  shift
  local start=$EPOCHREALTIME
  /usr/bin/time -f %M -o "$work/memory" "$@" >/dev/null 2>"$work/stderr" ||
    { echo "$name failed:" >&2; cat "$work/stderr" >&2; exit 1; }
  local end=$EPOCHREALTIME
  echo "$end $start $(tail -n1 "$work/memory")" | awk '{ print $1 - $2, $3 }' >>"$work/times-$name"
}
ours() { timed "tonemap-$1" build/linux/bin/tonemap --quiet "$image" "$work/tonemap.$1"; }
peer() { timed "peer-$1" luminance-hdr-cli -l "$image" --tmo fattal -o "$work/peer.$1"; }

rm -f "$work"/times-*
echo "$image: $width x $height; $rounds rounds"
for round in $(seq "$rounds"); do
  for format in tif jpg; do
    if [ $((round % 2)) -eq 1 ]; then ours $format; peer $format; else peer $format; ours $format; fi
  done
  echo "round $round done"
done

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
seconds() { cut -d' ' -f1 "$work/times-$1" | median; }
megabytes() { cut -d' ' -f2 "$work/times-$1" | median | awk '{ printf "%.0f", $1 / 1024 }'; }

echo
printf '%-6s %12s %12s %8s %6s %16s %16s\n' format tonemap peer ratio goal "tonemap peak" "peer peak"
for format in tif jpg; do
  ours_s=$(seconds "tonemap-$format")
  peer_s=$(seconds "peer-$format")
  goal=$([ $format = tif ] && echo 0.35 || echo 0.25)
  printf '%-6s %11.2fs %11.2fs %8.3f %6s %13s MB %13s MB\n' $format "$ours_s" "$peer_s" \
    "$(awk "BEGIN { print $ours_s / $peer_s }")" $goal "$(megabytes "tonemap-$format")" "$(megabytes "peer-$format")"
done
echo
echo "The image's pixels as 32-bit floats: $(( width * height * 12 / 1048576 )) MB."
echo "tonemap writes a 32-bit floating-point TIFF (uncompressed) and a JPEG of quality 95;"
echo "luminance-hdr-cli an 8-bit TIFF (deflated) and a JPEG of its default quality:"
ls -l "$work"/tonemap.tif "$work"/peer.tif "$work"/tonemap.jpg "$work"/peer.jpg | awk '{ printf "  %-28s %10d bytes\n", $9, $5 }'
