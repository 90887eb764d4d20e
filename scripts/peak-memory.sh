#!/usr/bin/env bash
# Peak memory (resident set) of tonemap against the speed work's goal: at most
# the input + the output + the plug-in's three work buffers + 10 %, for a
# photograph enlarged to each width given (default 4200 and 6000 pixels: 12
# and 24 megapixels, Radiance HDR) and written as JPEG, 32-bit TIFF and
# 16-bit PNG. Also prints what the tool holds before its first pixel: the
# image library with its ~260 shared libraries (bench/MemoryBudget.cpp).
#   scripts/peak-memory.sh [WIDTH...]     (photograph: TM_PHOTO, default
#                                          ../shared/images/oexr_GoldenGate.exr)
set -euo pipefail
cd "$(dirname "$0")/.."
photo=${TM_PHOTO:-../shared/images/oexr_GoldenGate.exr}
widths=("$@")
[ ${#widths[@]} -eq 0 ] && widths=(4200 6000)
[ -f "$photo" ] || { echo "no photograph $photo" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)" >&2; exit 1; }

cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux -j"${TM_JOBS:-$(nproc)}" --target tonemap memory_budget >/dev/null

work=build/peak-memory
mkdir -p "$work"
mb() { awk "BEGIN { printf \"%.0f\", $1 / 1e6 }"; }
printf '%-24s %-5s %8s %8s %8s %8s %9s %8s %s\n' image format input output buffers budget "tonemap" margin ""
for width in "${widths[@]}"; do
  image=$work/photo-$width.hdr
  [ -f "$image" ] || oiiotool "$photo" --ch R,G,B --resize:filter=triangle "${width}x0" -o "$image"
  size=$(oiiotool --info "$image" | sed -n 's/.*: *\([0-9]*\) x \([0-9]*\),.*/\1x\2/p')
  outputs=("$work/out.jpg" "$work/out.tif" "$work/out.png")
  while read -r output input out buffers budget; do
    [ "$output" = libraries ] && { libraries=$input; continue; }
    /usr/bin/time -f %M -o "$work/memory" build/linux/bin/tonemap --quiet "$image" "$output" >/dev/null
    peak=$(( $(tail -n1 "$work/memory") * 1024 ))
    verdict=$([ "$peak" -le "$budget" ] && echo within || echo over)
    printf '%-24s %-5s %8s %8s %8s %8s %9s %8s %s\n' "$size" "${output##*.}" "$(mb "$input")" "$(mb "$out")" \
      "$(mb "$buffers")" "$(mb "$budget")" "$(mb "$peak")" "$(mb $((budget - peak)))" "$verdict"
  done < <(build/linux/bin/memory_budget "$image" "${outputs[@]}")
done
echo
echo "MB = 10^6 bytes. Before its first pixel the tool already holds about $(mb "$libraries") MB:"
echo "the image library (OpenImageIO with its shared libraries) and the C++ runtime."
