#!/usr/bin/env bash
# Fuzzes the settings file reader for a bounded time and fails on any crash,
# sanitizer report, hang or broken promise of the reader.
#   scripts/fuzz.sh [seconds]      (default 60, or $FUZZ_SECONDS)
# The seed corpus is every sample file the settings file tests write; inputs
# the fuzzer finds are kept in build/fuzz/corpus, crashes in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-${FUZZ_SECONDS:-60}}"
jobs="${JOBS:-$(nproc)}"
scripts/install-deps.sh

echo "== Seed corpus from the settings file tests"
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release -DTM_WERROR=ON >/dev/null
cmake --build build/linux -j"$jobs" --target settings_files_tests
seeds="$PWD/build/fuzz/seeds"
rm -rf "$seeds"
TM_XMP_CORPUS_DIR="$seeds" build/linux/bin/settings_files_tests --gtest_brief=1 >/dev/null

echo "== Fuzz target (clang, libFuzzer, ASan, UBSan)"
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTM_WERROR=ON \
  -DTM_BUILD_FUZZ=ON -DTM_BUILD_TESTS=OFF -DTM_BUILD_BENCH=OFF -DTM_BUILD_TOOL=OFF >/dev/null
cmake --build build/fuzz -j"$jobs" --target xmp_reader_fuzz

echo "== Fuzzing the reader for ${seconds} s"
mkdir -p build/fuzz/corpus build/fuzz/artifacts
build/fuzz/bin/xmp_reader_fuzz -max_total_time="$seconds" -timeout=5 -max_len=4096 \
  -dict=fuzz/xmp.dict -artifact_prefix=build/fuzz/artifacts/ -print_final_stats=1 \
  build/fuzz/corpus "$seeds"
