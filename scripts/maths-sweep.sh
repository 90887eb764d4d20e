#!/usr/bin/env bash
# Compares the engine's expf, logf, powf, exp, log and pow with the C
# library's over every argument of each use in the engine (all 2^32 floats
# per single-argument use and per fixed exponent, a 2^32 random sample where
# both arguments vary). Takes hours on two cores. Arguments: case names to
# run only those (see tests/maths_sweep/MathsSweep.cpp); none runs all.
# TM_MATHS_PATH=avx2 (or portable) sweeps that path instead of the widest.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build/linux -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/linux --target maths_sweep -j"$(nproc)" >/dev/null
exec build/linux/bin/maths_sweep "$@"
