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
