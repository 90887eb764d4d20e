#!/usr/bin/env bash
# Converts an image OpenImageIO reads (EXR, HDR, ...) into a float PFM of its
# red, green and blue, the format the Windows test and try-out programs read:
#   scripts/exr-to-pfm.sh IN OUT.pfm [WIDTH]
# WIDTH scales the image to that width first. oiiotool writes no PFM; its
# dump of the pixels becomes one (rows bottom first).
set -euo pipefail
in=$1
out=$2
resize=()
[ $# -ge 3 ] && resize=(--resize "$3x0")
rgb=$(mktemp --suffix=.exr)
trap 'rm -f "$rgb"' EXIT
oiiotool "$in" --ch R,G,B "${resize[@]}" -o "$rgb"
oiiotool --dumpdata "$rgb" | perl -ne '
  if (/:\s+(\d+)\s+x\s+(\d+),/) { ($w, $h) = ($1, $2) }
  elsif (/Pixel \((\d+), (\d+)\): (\S+) (\S+) (\S+)/) { $rows[$2] .= pack("f<3", $3, $4, $5) }
  END { print "PF\n$w $h\n-1.0\n"; print $rows[$_] for reverse 0 .. $h - 1 }' >"$out"
