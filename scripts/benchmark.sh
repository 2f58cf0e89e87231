#!/usr/bin/env bash
# Download speed and memory of the installer under Wine against a local
# server, in a private network namespace where one can be had; prints figures.
# The 32-bit build, as shipped, where this host executes 32-bit code; else
# its x86-64 twin under Wine's 64-bit half (KORVANE_WINE_ARCH overrides).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
source scripts/i386.sh

korvane_choose_wine_arch "the benchmark runs"
preset=$(korvane_wine_preset)
cmake --preset $preset >/dev/null
cmake --build --preset $preset >/dev/null
exec /usr/bin/python3 bench/benchmark.py build/$preset "$KORVANE_WINE_ARCH"
