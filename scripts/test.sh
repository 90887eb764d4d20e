#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test: the Linux
# build natively, the Windows build under wine64. Fails when a build or any
# test fails; the tests of both builds run before that verdict.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd -P)
scripts/install-deps.sh
jobs=${TM_JOBS:-$(nproc)}
failed=()

echo "== Linux build and tests"
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release -DTM_WERROR=ON >/dev/null
cmake --build build/linux -j"$jobs"
ctest --test-dir build/linux --output-on-failure -j"$jobs" || failed+=(linux)

echo "== Linux build and tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# Every native test program, the module and the tool they start, instrumented:
# any memory error, leak or undefined operation ends the program and fails its
# test. No benchmarks here. The slow unwinder lets leaks be told apart by the
# library they come from (scripts/lsan-suppressions.txt).
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTM_SANITIZE=ON -DTM_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs"
ASAN_OPTIONS=fast_unwind_on_malloc=0 \
  LSAN_OPTIONS=suppressions=$root/scripts/lsan-suppressions.txt \
  UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan --output-on-failure -j"$jobs" || failed+=(sanitizers)

echo "== A real photograph for the Windows layout and try-out tests"
# The Windows tests cannot read EXR: they get a small copy of a photograph as
# PFM, the Linux tool's result on it and the settings the tool's host kept,
# and a settings file with the tool's result on those settings, in one folder
# named by TM_LAYOUT_PHOTO_DIR. Without the photographs they skip those cases.
photo_source=../shared/images/oexr_Desk.exr
photo_dir=$root/build/linux/layout-photo
if [ -f "$photo_source" ]; then
  rm -rf "$photo_dir"
  mkdir -p "$photo_dir"
  if scripts/exr-to-pfm.sh "$photo_source" "$photo_dir/photo.pfm" 256 &&
    XDG_CONFIG_HOME=$photo_dir/config build/linux/bin/tonemap --quiet \
      "$photo_dir/photo.pfm" "$photo_dir/photo-tonemapped.pfm" &&
    XDG_CONFIG_HOME=$photo_dir/settings-config build/linux/bin/tonemap --quiet --strength 85 --luminosity 3 \
      --white-clip 0.5 --gamma 1.3 --smoothing medium --color-temperature -2 --shadows-smoothing 20 \
      --save-settings "$photo_dir/settings.xmp" &&
    XDG_CONFIG_HOME=$photo_dir/settings-config build/linux/bin/tonemap --quiet --settings "$photo_dir/settings.xmp" \
      "$photo_dir/photo.pfm" "$photo_dir/photo-settings.pfm"; then
    export TM_LAYOUT_PHOTO_DIR=$photo_dir
  else
    failed+=(photo)
  fi
else
  echo "no $photo_source: the Windows layout test skips the photograph"
fi

echo "== Settings file reader under the fuzzer"
JOBS=$jobs scripts/fuzz.sh "${TM_FUZZ_SECONDS:-60}" || failed+=(fuzz)

echo "== Windows build and tests (wine64)"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTM_WERROR=ON >/dev/null
cmake --build build/windows -j"$jobs"

# The prefix the tests' wine runner uses (CMAKE_CROSSCOMPILING_EMULATOR).
export WINEPREFIX=$root/build/windows/wine-prefix
export WINEDEBUG=-all
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
xvfb_pid=""
display_file=$(mktemp)

cleanup() {
  "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -f "$display_file"
}
trap cleanup EXIT

# One persistent server for all test programs: without it every wine start
# pays about 2.5 s for a server of its own. A server left behind by an
# interrupted run would refuse the new one, so it goes first. The first test
# program creates the prefix itself.
mkdir -p "$WINEPREFIX"
"$wineserver" -k 2>/dev/null || true
"$wineserver" -p

# A display for the tests that open windows; Xvfb picks a free one itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$display_file" ] || { echo "Xvfb gave no display" >&2; exit 1; }
export DISPLAY=:$(head -n1 "$display_file")

# One program at a time: windows of two test programs on one display would
# meet each other.
ctest --test-dir build/windows --output-on-failure || failed+=(windows)

if [ ${#failed[@]} -ne 0 ]; then
  echo "== Tests failed: ${failed[*]}" >&2
  exit 1
fi
echo "== All tests passed"
