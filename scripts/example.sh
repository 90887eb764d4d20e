#!/usr/bin/env bash
# Installs what is missing, builds, and tone-maps the built-in example scene.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux -j"$(nproc)"
if [ -x build/linux/bin/tonemap ]; then
  build/linux/bin/tonemap --example build/example
else
  echo "Built the plug-in module: build/linux/bin/ToneMapping.so (the command-line tool is not part of this build yet)"
fi
