#!/usr/bin/env bash
# Installs what is missing, builds, and tone-maps the built-in example scene.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux -j"$(nproc)"
build/linux/bin/tonemap --example build/example
