#!/usr/bin/env bash
# Installs what is missing, builds both targets and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

echo "== Linux build and tests"
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release -DTM_WERROR=ON >/dev/null
cmake --build build/linux -j"$jobs"
ctest --test-dir build/linux --output-on-failure -j"$jobs"
