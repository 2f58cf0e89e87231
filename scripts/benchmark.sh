#!/usr/bin/env bash
# Download speed and memory of the installer under Wine against a local
# server, in a private network namespace where one can be had; prints figures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset windows-test >/dev/null
cmake --build --preset windows-test >/dev/null
exec /usr/bin/python3 bench/benchmark.py build/windows-test
